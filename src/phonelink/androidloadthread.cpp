#include "phonelink/androidloadthread.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/absdb.h"
#include "shell/core/jobreport.h"

#include <QDebug>
#include <QTcpSocket>

#include <stdexcept>

namespace loaderfields {

qint64 int64At(const QStringList& fields, int index)
{
    return index < fields.size() ? fields.at(index).toLongLong() : 0;
}

int intAt(const QStringList& fields, int index)
{
    return index < fields.size() ? fields.at(index).toInt() : 0;
}

QString textAt(const QStringList& fields, int index)
{
    return index < fields.size() ? simpleprotocol::decodeField(fields.at(index)) : QString();
}

} // namespace loaderfields

AndroidLoadThread::AndroidLoadThread(AndroidDeviceInfo* device, AbsLocalDb* cacheDb, JobReport* progress,
                                     QObject* parent)
    : QThread(parent)
    , device(device)
    , cacheDb(cacheDb)
    , progress(progress)
{
}

AndroidLoadThread::~AndroidLoadThread()
{
    // run() deletes the socket on its own thread; one is left only when the
    // thread never ran to its end.
    if (socket)
        socket.release()->deleteLater();
}

void AndroidLoadThread::run()
{
    simpleprotocol::CancelScope cancel(progress);
    try {
        load();
    } catch (int) {
        cleanupAfterFailure();
    } catch (const std::exception& e) {
        cleanupAfterFailure();
        progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    // The socket belongs to this thread, which has no event loop: a
    // deleteLater would never run.
    socket.reset();
}

void AndroidLoadThread::cleanupAfterFailure()
{
    if (socket)
        socket->abort();
    if (tranBegun) {
        tranBegun = false;
        try {
            cacheDb->endTran(false);
        } catch (const std::exception& e) {
            qWarning("loader: rollback failed: %s", e.what());
        }
    }
    device->forceStopAgent();
}

void AndroidLoadThread::openService(const QString& service)
{
    const QString url = QStringLiteral("backup://127.0.0.1:%1/").arg(simpleprotocol::nextLocalPort()) + service;
    socket.reset(device->connect(url, kConnectTimeoutMs));
    // Requests and acknowledgements are single short lines: sent at once,
    // they do not wait for the peer's delayed acknowledgement.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void AndroidLoadThread::beginTran()
{
    cacheDb->beginTran();
    tranBegun = true;
}

void AndroidLoadThread::finish()
{
    if (tranBegun) {
        cacheDb->endTran(true);
        tranBegun = false;
    }
    progress->postSucceed(QString());
}

qint64 AndroidLoadThread::readCount()
{
    const QString line = simpleprotocol::expectCommand(socket.get(), QStringLiteral("$count:"), -1);
    return line.mid(7).toLongLong();
}

void AndroidLoadThread::checkCanceled() const
{
    jobreport::checkCanceled(progress);
}

void AndroidLoadThread::postRecordProgress(qint64 done, qint64 total, const QString& text) const
{
    progress->postUpdateProgress(QString(), jobreport::percent(done, total), text);
}

void AndroidLoadThread::fail(bool tellPhone, const QString& text) const
{
    if (tellPhone)
        throw simpleprotocol::LocalException(socket.get(), text);
    throw std::runtime_error(text.toStdString());
}

void AndroidLoadThread::readBatches(const BatchRules& rules,
                                    const std::function<void(const QString&, const QString&)>& onRecord)
{
    static const QString end = QStringLiteral("$end:");
    static const QString batch = QStringLiteral("$batch:");
    for (;;) {
        if (rules.cancelBeforeEveryRead)
            checkCanceled();
        const QString line = simpleprotocol::readCommand(socket.get(), -1);
        if (line.startsWith(end)) {
            simpleprotocol::sendCommand(socket.get(), QStringLiteral("$bye:"), QString(), true, -1);
            return;
        }
        if (!line.startsWith(batch))
            fail(rules.tellPhone, rules.topError(line));
        if (rules.onBatchStart)
            rules.onBatchStart();
        for (;;) {
            if (rules.cancelBeforeEveryRead)
                checkCanceled();
            if (rules.beforeBatchRead)
                rules.beforeBatchRead();
            const QString record = simpleprotocol::readCommand(socket.get(), -1);
            if (record.startsWith(end))
                break;
            const auto command = std::find_if(rules.recordCommands.begin(), rules.recordCommands.end(),
                                              [&](const QString& c) { return record.startsWith(c); });
            if (command == rules.recordCommands.end())
                fail(rules.tellPhone, rules.batchError(record));
            onRecord(*command, record.mid(command->size()));
        }
        simpleprotocol::sendCommand(socket.get(), batch, QString(), true, -1);
        if (rules.onBatchAcknowledged)
            rules.onBatchAcknowledged();
    }
}
