// Writes calls to one file: CSV when the path ends in ".csv" (any case),
// otherwise a fixed-width text table. UTF-8 without byte-order mark, lines
// ended by a line feed.
#pragma once

#include "records/callrecord.h"

#include <QList>
#include <QThread>

class JobReport;

class ExportCallHistoryThread : public QThread {
    Q_OBJECT

public:
    ExportCallHistoryThread(const QList<CallRecord>& calls, const QString& path, JobReport* progress,
                            QObject* parent = nullptr);

protected:
    void run() override;

private:
    QList<CallRecord> calls;
    QString path;
    JobReport* progress;
};
