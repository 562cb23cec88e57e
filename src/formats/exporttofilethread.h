// Writes a list of contacts to a file in one of five formats on a worker
// thread. The outcome reaches the user through the job report; on failure or
// cancel only what the job created is removed, and an earlier file of the
// target's name stays as it was.
#pragma once

#include "records/contact.h"

#include <QList>
#include <QThread>

class JobReport;

// The format code of the contact export job.
enum ContactExportFormat { ExportVCard = 1, ExportCSV = 2, ExportTXT = 3, ExportHTML = 4, ExportPDF = 5 };

class ExportToFileThread : public QThread {
    Q_OBJECT
public:
    // For HTML the path names a folder (created when missing) that receives
    // the page of the same name and its "photos" folder.
    ExportToFileThread(const QList<pim::_Contact>& contacts, int format, const QString& path, JobReport* progress,
                       QObject* parent = nullptr);
    ~ExportToFileThread() override;

protected:
    void run() override;

private:
    QList<pim::_Contact> m_contacts;
    int m_format;
    QString m_path;
    JobReport* m_progress;
};
