// Writes calls to one file: CSV when the path ends in ".csv" (any case),
// otherwise a fixed-width text table. UTF-8 without byte-order mark, lines
// ended by a line feed.
#pragma once

#include "formats/absfileexportthread.h"
#include "records/callrecord.h"

#include <QList>

class ExportCallHistoryThread : public AbsFileExportThread {
    Q_OBJECT

public:
    ExportCallHistoryThread(const QList<CallRecord>& calls, const QString& path, JobReport* progress,
                            QObject* parent = nullptr);

protected:
    QString write(Stream& out) override;

private:
    QList<CallRecord> calls;
};
