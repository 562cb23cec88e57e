// Reads every contact of a vCard or CSV file into a list on a worker
// thread. It only reads: storing the contacts or sending them to a phone is
// the caller's business, after the thread has ended.
#pragma once

#include "records/contact.h"

#include <QList>
#include <QThread>

class JobReport;

// The format code of the import job.
enum ContactImportFormat { ImportVCard = 1, ImportCSV = 2 };

class ImportContactsToLocalThread : public QThread {
    Q_OBJECT
public:
    ImportContactsToLocalThread(const QString& path, int format, JobReport* progress, QObject* parent = nullptr);
    ~ImportContactsToLocalThread() override;

    // The contacts read (those with a full name); read only after the thread
    // has ended, and only when the job succeeded.
    QList<pim::_Contact>& contacts() { return m_contacts; }

protected:
    void run() override;

private:
    QString m_path;
    int m_format;
    JobReport* m_progress;
    QList<pim::_Contact> m_contacts;
};
