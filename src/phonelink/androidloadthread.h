// The common frame of the loader jobs: one "backup://" exchange with the
// Phone Agent, records received in acknowledged batches, the cache database
// (when the loader has one) written inside one transaction, progress and
// cancel through a JobReport, and the two ways out of a failure.
//
// A subclass implements load(): it opens its service, reads the header and
// the batches (readBatches does the generic part) and ends with finish().
// run() guards it: a cancel (int -1, also thrown by a blocked read once the
// report is cancelled) and a std::exception roll the transaction back and
// end the run's PhoneSession as failed (the connection dropped, the Phone
// Agent force-stopped); only the exception posts its text. A load that
// succeeds leaves the agent running and its connection is closed.
#pragma once

#include "platform/transaction.h"

#include <QStringList>
#include <QThread>

#include <functional>

class AbsLocalDb;
class AndroidDeviceInfo;
class JobReport;
class PhoneSession;
class QTcpSocket;

class AndroidLoadThread : public QThread {
    Q_OBJECT
protected:
    AndroidLoadThread(AndroidDeviceInfo* device, AbsLocalDb* cacheDb, JobReport* progress, QObject* parent);
    ~AndroidLoadThread() override;

    void run() final;

    // The whole exchange. Throws on failure, int -1 on cancel.
    virtual void load() = 0;
    // Runs after a cancel or failure, before an error is posted. The default
    // rolls back a begun transaction and ends the session as failed.
    virtual void cleanupAfterFailure();

    // Opens "backup://127.0.0.1:<port>/<service>" into socket; a connection
    // of an exchange this run finished before is closed first.
    void openService(const QString& service);
    // Begins the transaction on the cache database (held in tran).
    void beginTran();
    // Commits a begun transaction and posts success with an empty text.
    void finish();
    // Expects "$count:" and returns its number (0 when it is not one).
    qint64 readCount();
    // Throws int -1 when the report was cancelled.
    void checkCanceled() const;
    // Progress with an empty status, the percent of done / total (the bar
    // is kept while the total is unknown) and the text.
    void postRecordProgress(qint64 done, qint64 total, const QString& text) const;
    // Throws LocalException (telling the phone first) or std::runtime_error.
    [[noreturn]] void fail(bool tellPhone, const QString& text) const;

    struct BatchRules {
        QStringList recordCommands; // accepted inside a batch
        std::function<QString(const QString&)> topError; // text for a bad top-level line
        std::function<QString(const QString&)> batchError;
        bool tellPhone = true; // LocalException rather than runtime_error
        bool cancelBeforeEveryRead = false; // else the record handler tests it
        std::function<void()> beforeBatchRead; // runs before each line of a batch is read
        std::function<void()> onBatchStart;
        std::function<void()> onBatchAcknowledged;
    };
    // Reads batches until the top-level "$end:", acknowledging each batch
    // with "$batch:", and sends "$bye:" at the end. onRecord gets the record
    // command and the text after it.
    void readBatches(const BatchRules& rules,
                     const std::function<void(const QString& command, const QString& rest)>& onRecord);

    AndroidDeviceInfo* device;
    AbsLocalDb* cacheDb;
    JobReport* progress;
    QTcpSocket* socket = nullptr; // the session's, only during run()
    Transaction<AbsLocalDb> tran; // the cache's, from beginTran()

private:
    PhoneSession* m_session = nullptr; // run()'s
};

namespace loaderfields {
// A field as a number; 0 when missing or not a number.
qint64 int64At(const QStringList& fields, int index);
int intAt(const QStringList& fields, int index);
// A Base64 text field decoded; empty when missing.
QString textAt(const QStringList& fields, int index);
} // namespace loaderfields
