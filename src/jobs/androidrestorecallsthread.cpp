#include "androidrestorecallsthread.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcallhistorydb.h"

AndroidRestoreCallsThread::AndroidRestoreCallsThread(AndroidDeviceInfo* target, LocalCallHistoryDb* targetCacheDb,
                                                     const QList<CallRecord>& calls, JobReport* progress,
                                                     QObject* parent)
    : AndroidRestoreThread(target, targetCacheDb, progress, parent)
    , cacheDb(targetCacheDb)
    , items(calls)
{
}

QString AndroidRestoreCallsThread::typeWord(int flags)
{
    switch (flags) {
    case CALL_FLAG_INCOMING:
        return QStringLiteral("incoming");
    case CALL_FLAG_OUTGOING:
        return QStringLiteral("outgoing");
    case CALL_FLAG_MISSED:
        return QStringLiteral("rejected");
    default:
        return QStringLiteral("missed");
    }
}

QString AndroidRestoreCallsThread::callLine(const CallRecord& call)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(restoreLineSecs(call.date))
        .arg(typeWord(call.flags), simpleprotocol::encodeField(call.address))
        .arg(call.duration);
}

QString AndroidRestoreCallsThread::serviceName() const
{
    return QStringLiteral("calls");
}

int AndroidRestoreCallsThread::itemCount() const
{
    return int(items.size());
}

void AndroidRestoreCallsThread::sendItem(int index)
{
    sendRecord(QStringLiteral("$call:"), callLine(items.at(index)));
}

void AndroidRestoreCallsThread::storeItem(int index)
{
    // Skips a call the cache holds already.
    cacheDb->addCall(items.at(index));
}

QString AndroidRestoreCallsThread::progressText(int done, int total) const
{
    return tr("Calls:%1 / %2").arg(done).arg(total);
}

QString AndroidRestoreCallsThread::resultText(int done) const
{
    return tr("IDS_EXPORT_CALLS_TO_ANDROID_SUC_%1").arg(done);
}
