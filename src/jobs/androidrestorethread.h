// What every restore job shares: a "restore://" session with the Phone
// Agent that sends the records in batches of at most 100, and a mirror of
// every record the phone acknowledged in that phone's cache database.
//
// The whole run is one cache transaction: a cancel or any failure rolls it
// back, so the cache never keeps a batch of a run that did not finish (the
// phone keeps what it already acknowledged). Subclasses give the service,
// the record lines, the cache operation and their texts.
#pragma once

#include <QThread>

class AbsLocalDb;
class AndroidDeviceInfo;
class JobReport;
class QTcpSocket;

class AndroidRestoreThread : public QThread {
    Q_OBJECT

public:
    // Records per batch.
    static constexpr int kBatchSize = 100;

protected:
    // None of the pointers is owned.
    AndroidRestoreThread(AndroidDeviceInfo* target, AbsLocalDb* cacheDb, JobReport* progress, QObject* parent);

    void run() override;

    // The service name in "restore://127.0.0.1:%1/<service>".
    virtual QString serviceName() const = 0;
    virtual int itemCount() const = 0;
    // Sends the record line(s) of one item, not flushed.
    virtual void sendItem(int index) = 0;
    // Stores one acknowledged item in the cache database.
    virtual void storeItem(int index) = 0;
    virtual QString progressText(int done, int total) const = 0;
    virtual QString resultText(int done) const = 0;

    // One line of the session, not flushed.
    void sendRecord(const QString& command, const QString& argument);

    AndroidDeviceInfo* target;
    AbsLocalDb* targetCacheDb;
    JobReport* progress;
    QTcpSocket* socket = nullptr; // the session's, only during run()

private:
    void restore();
};

// Seconds since 1970 of a record date as the restore lines carry them:
// milliseconds / 1000 toward zero, 0 for an invalid date.
qint64 restoreLineSecs(const class QDateTime& date);
