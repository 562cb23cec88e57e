// What the six backup jobs share: one transaction on the backup folder's
// database, the records added one by one through the database's own add
// operation (which skips or merges what the folder holds), a progress post
// per record, and one result or error text.
#pragma once

#include <QString>
#include <QThread>

class AbsLocalDb;
class JobReport;

class BackupThread : public QThread {
    Q_OBJECT

protected:
    // Neither pointer is owned; the database stays open after the run.
    BackupThread(AbsLocalDb* db, JobReport* progress, QObject* parent);

    void run() override;

    virtual int recordCount() const = 0;
    // What one record adds to the counter (a bookmark folder: its bookmarks).
    virtual int weight(int index) const;
    // The counter's total; the sum of the weights.
    virtual int totalCount() const;
    virtual void addRecord(int index) = 0;
    // Empty keeps the dialog's status line.
    virtual QString statusText() const { return QString(); }
    virtual QString counterText(int done, int total) const = 0;
    virtual QString resultText(int done) const = 0;
    // True: a cancel keeps what was added so far and reports it as done.
    virtual bool keepOnCancel() const { return false; }

    JobReport* progress;

private:
    // Throws when the file is damaged, before anything of the run (the
    // open's schema update included) is written to it.
    void checkBeforeWriting();

    AbsLocalDb* m_db;
};
