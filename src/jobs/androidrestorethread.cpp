#include "androidrestorethread.h"

#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/absdb.h"
#include "records/recordtime.h"
#include "shell/core/jobreport.h"

#include <QDateTime>

AndroidRestoreThread::AndroidRestoreThread(AndroidDeviceInfo* target, AbsLocalDb* cacheDb, JobReport* progress,
                                           QObject* parent)
    : QThread(parent)
    , target(target)
    , targetCacheDb(cacheDb)
    , progress(progress)
{
}

void AndroidRestoreThread::sendRecord(const QString& command, const QString& argument)
{
    simpleprotocol::sendCommand(socket, command, argument, false, -1);
}

void AndroidRestoreThread::run()
{
    // Blocking waits on the phone also end when the user cancels.
    simpleprotocol::CancelScope cancelScope(progress);
    bool inTransaction = false;
    try {
        restore(&inTransaction);
    } catch (int) {
        // The user cancelled: the dialog is closed already, nothing to post.
        rollBack(inTransaction);
    } catch (const std::exception& e) {
        rollBack(inTransaction);
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    socket = nullptr;
}

void AndroidRestoreThread::restore(bool* inTransaction)
{
    // Closed when the restore returns; a failure or cancel stops the Phone
    // Agent.
    PhoneSession session(*target);
    socket = session.open(PhoneSession::Scheme::Restore, serviceName());

    targetCacheDb->beginTran();
    *inTransaction = true;

    const int total = itemCount();
    int done = 0;
    while (done < total) {
        const int first = done;
        const int n = qMin(kBatchSize, total - done);
        simpleprotocol::sendCommand(socket, QStringLiteral("$batch:"), QString(), true, -1);
        for (int i = 0; i < n; ++i) {
            jobreport::checkCanceled(progress);
            sendItem(done);
            ++done;
        }
        simpleprotocol::sendCommand(socket, QStringLiteral("$end:"), QString(), true, -1);
        if (progress)
            progress->postUpdateProgress(QString(), jobreport::percent(done, total), progressText(done, total));
        simpleprotocol::expectCommand(socket, QStringLiteral("$batch:"), -1);
        // Only what the phone acknowledged goes into its cache.
        for (int i = first; i < done; ++i)
            storeItem(i);
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);

    // An inner operation that rolled its part back leaves the unit unable to
    // commit; say so instead of reporting a success that stored nothing.
    if (targetCacheDb->connection().isRollbackOnly())
        throw std::runtime_error("The cache database rolled the restore back.");
    targetCacheDb->endTran(true);
    *inTransaction = false;
    if (progress)
        progress->postSucceed(resultText(done));
}

void AndroidRestoreThread::rollBack(bool inTransaction)
{
    if (!inTransaction)
        return;
    try {
        targetCacheDb->endTran(false);
    } catch (const std::exception& e) {
        qWarning("restore: rollback failed: %s", e.what());
    }
}

qint64 restoreLineSecs(const QDateTime& date)
{
    return records::secsSinceEpoch(date);
}
