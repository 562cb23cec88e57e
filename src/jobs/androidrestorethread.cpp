#include "androidrestorethread.h"

#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "platform/transaction.h"
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
    try {
        restore();
    } catch (int) {
        // The user cancelled: the dialog is closed already, nothing to post.
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    socket = nullptr;
}

void AndroidRestoreThread::restore()
{
    // Rolled back unless committed, after the session has ended.
    Transaction<AbsLocalDb> tran;
    // Closed when the restore returns; a failure or cancel stops the Phone
    // Agent.
    PhoneSession session(*target);
    socket = session.open(PhoneSession::Scheme::Restore, serviceName());

    tran = Transaction(*targetCacheDb);

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
    tran.commit();
    if (progress)
        progress->postSucceed(resultText(done));
}

qint64 restoreLineSecs(const QDateTime& date)
{
    return records::secsSinceEpoch(date);
}
