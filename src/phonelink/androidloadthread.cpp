#include "phonelink/androidloadthread.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/phonesession.h"
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

AndroidLoadThread::~AndroidLoadThread() = default;

void AndroidLoadThread::run()
{
    simpleprotocol::CancelScope cancel(progress);
    PhoneSession session(*device);
    m_session = &session;
    try {
        load();
    } catch (int) {
        cleanupAfterFailure();
    } catch (const std::exception& e) {
        cleanupAfterFailure();
        progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    m_session = nullptr;
    socket = nullptr;
}

void AndroidLoadThread::cleanupAfterFailure()
{
    tran.rollback();
    m_session->fail();
}

void AndroidLoadThread::openService(const QString& service)
{
    if (m_session->isOpen())
        m_session->close();
    socket = m_session->open(PhoneSession::Scheme::Backup, service);
}

void AndroidLoadThread::beginTran()
{
    tran = Transaction(*cacheDb);
}

void AndroidLoadThread::finish()
{
    tran.commit();
    progress->postSucceed(QString());
}

qint64 AndroidLoadThread::readCount()
{
    const QString line = simpleprotocol::expectCommand(socket, QStringLiteral("$count:"), -1);
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
        throw simpleprotocol::LocalException(socket, text);
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
        const QString line = simpleprotocol::readCommand(socket, -1);
        if (line.startsWith(end)) {
            simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
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
            const QString record = simpleprotocol::readCommand(socket, -1);
            if (record.startsWith(end))
                break;
            const auto command = std::find_if(rules.recordCommands.begin(), rules.recordCommands.end(),
                                              [&](const QString& c) { return record.startsWith(c); });
            if (command == rules.recordCommands.end())
                fail(rules.tellPhone, rules.batchError(record));
            onRecord(*command, record.mid(command->size()));
        }
        simpleprotocol::sendCommand(socket, batch, QString(), true, -1);
        if (rules.onBatchAcknowledged)
            rules.onBatchAcknowledged();
    }
}
