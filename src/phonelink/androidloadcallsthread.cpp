#include "phonelink/androidloadcallsthread.h"

#include "records/callrecord.h"
#include "records/localcallhistorydb.h"
#include "records/recordtime.h"

AndroidLoadCallsThread::AndroidLoadCallsThread(AndroidDeviceInfo* device, LocalCallHistoryDb* cacheDb,
                                               JobReport* progress, QObject* parent)
    : AndroidLoadThread(device, cacheDb, progress, parent)
    , m_db(cacheDb)
{
}

CallRecord AndroidLoadCallsThread::parseCall(const QString& fields)
{
    const QStringList f = fields.split(QLatin1Char(','));
    CallRecord call;
    if (f.size() > 0)
        call.date = records::dateTimeFromSecs(f.at(0).toLongLong());
    if (f.size() > 1) {
        // An unknown word stores no flags: the call shows as none of the three.
        const QString& word = f.at(1);
        if (word == QLatin1String("incoming"))
            call.flags = CALL_FLAG_INCOMING;
        else if (word == QLatin1String("outgoing"))
            call.flags = CALL_FLAG_OUTGOING;
        else if (word == QLatin1String("rejected") || word == QLatin1String("missed"))
            call.flags = CALL_FLAG_MISSED;
    }
    if (f.size() > 2)
        call.address = loaderfields::textAt(f, 2);
    if (f.size() > 3)
        call.person = loaderfields::textAt(f, 3);
    if (f.size() > 4)
        call.duration = f.at(4).toInt();
    return call;
}

void AndroidLoadCallsThread::load()
{
    openService(QStringLiteral("calls"));
    beginTran();
    const qint64 total = readCount();
    qint64 done = 0;

    BatchRules rules;
    rules.recordCommands = {QStringLiteral("$call:")};
    rules.topError = [](const QString& line) { return QStringLiteral("invalid command($end:,$batch:), ") + line; };
    rules.batchError = [](const QString& line) { return QStringLiteral("invalid command($end:,$call:), ") + line; };
    readBatches(rules, [&](const QString&, const QString& rest) {
        checkCanceled();
        ++done;
        postRecordProgress(done, total, tr("Calls:%1 / %2").arg(done).arg(total));
        m_db->addCall(parseCall(rest));
    });
    finish();
}
