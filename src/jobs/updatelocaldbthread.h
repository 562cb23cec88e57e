// The start-up job that converts the old single-file message databases
// ("mms.db") of local backup folders into the folders' message stores.
#pragma once

#include <QDir>
#include <QString>
#include <QThread>

class JobReport;

class UpdateLocalDbThread : public QThread {
    Q_OBJECT

public:
    // progress is not owned; the job reports only through it.
    explicit UpdateLocalDbThread(JobReport* progress, QObject* parent = nullptr);
    ~UpdateLocalDbThread() override;

    // True when a sub-folder of the local backups folder still holds "mms.db".
    static bool hasOldDatabase(const QDir& localDatabases);

    // Converts source's "mms.db" into target's message store (one transaction);
    // does nothing when the file is missing. The old file is opened read-only.
    // Throws std::exception subclasses on database failures.
    static void convertOldMessageDb(const QDir& source, const QDir& target, JobReport* progress = nullptr);

    // The name the converted "mms.db" of the folder is renamed to:
    // "mms.db-bak", or the first free "mms.db-bak<n>" (n = 1, 2, ...) when an
    // earlier conversion already left one.
    static QString backupFileName(const QDir& folder);

protected:
    void run() override;

private:
    JobReport* progress;
};
