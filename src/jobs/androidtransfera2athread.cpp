#include "androidtransfera2athread.h"

#include "jobs/mediaitemdialogue.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/recordtime.h"
#include "shell/core/jobreport.h"

#include <QTcpSocket>

namespace {

// The "$error:" that abandons a file is not worth waiting for longer.
constexpr int kAbandonTimeoutMs = 2000;

bool holdsLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

AndroidTransferA2AThread::AndroidTransferA2AThread(AndroidDeviceInfo* source, AndroidDeviceInfo* target,
                                                   JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_source(source)
    , m_target(target)
    , m_progress(progress)
{
}

void AndroidTransferA2AThread::run()
{
    simpleprotocol::CancelScope cancel(m_progress);
    m_offered = 0;
    m_taken = 0;
    m_refused.clear();
    m_current = nullptr;
    m_targetAwaitsFile = false;
    // Ended by hand on a failure: the target may first have to be told that
    // its file will not come.
    PhoneSession source(*m_source);
    PhoneSession target(*m_target);
    try {
        m_sourceSocket = source.open(PhoneSession::Scheme::Backup, QStringLiteral("download"));
        m_targetSocket = target.open(PhoneSession::Scheme::Restore, serviceName());
        simpleprotocol::sendCommand(m_targetSocket, QStringLiteral("$uid:"), m_source->uid, false, -1);
        simpleprotocol::sendCommand(m_targetSocket, QStringLiteral("$device:"),
                                    simpleprotocol::encodeField(m_source->displayName()), true, -1);
        for (int i = 0; i < m_items.size(); ++i)
            transfer(m_items.at(i), i + 1);
        simpleprotocol::sendCommand(m_sourceSocket, QStringLiteral("$bye:"), QString(), true, -1);
        simpleprotocol::sendCommand(m_targetSocket, QStringLiteral("$bye:"), QString(), true, -1);
        if (m_refused.isEmpty()) {
            m_progress->postSucceed(resultText(m_taken));
        } else {
            QStringList names;
            for (const QString& path : std::as_const(m_refused))
                names.append(simpleprotocol::showLineBreaks(path));
            m_progress->postErrorOccurred(tr("IDS_TRANSFER_INCOMPLETE_%1_OF_%2_NOT_SENT_%3")
                                              .arg(m_taken)
                                              .arg(m_items.size())
                                              .arg(names.join(QLatin1Char('\n'))));
        }
    } catch (int) {
        abandonFile(QStringLiteral("canceled"));
        source.fail();
        target.fail();
    } catch (const std::exception& e) {
        const QString reason = QString::fromUtf8(e.what());
        abandonFile(reason);
        source.fail();
        target.fail();
        m_progress->postErrorOccurred(
            m_current ? tr("IDS_TRANSFER_FAILED_%1_%2").arg(simpleprotocol::showLineBreaks(m_current->path), reason)
                      : reason);
    }
    m_sourceSocket = nullptr;
    m_targetSocket = nullptr;
}

void AndroidTransferA2AThread::transfer(const Item& item, int number)
{
    jobreport::checkCanceled(m_progress);
    // "$dload:" carries the path as plain text: a line break would end it
    // early and make the rest a request of its own.
    if (holdsLineBreak(item.path)) {
        m_refused.append(item.path);
        return;
    }
    m_current = &item;
    ++m_offered;
    m_progress->postUpdateProgress(tr("IDS_UPLOADING_%1").arg(item.shown), jobreport::percent(number, m_items.size()),
                                   QStringLiteral("Files:%1/%2").arg(number).arg(m_items.size()));
    QString fields = simpleprotocol::encodeField(mediadialogue::fileNameOf(item.path)) + QLatin1Char(',')
        + QString::number(records::secsSinceEpoch(item.date)) + QLatin1Char(',')
        + simpleprotocol::encodeField(item.path);
    if (hasAlbum())
        fields += QLatin1Char(',') + simpleprotocol::encodeField(item.album);
    if (mediadialogue::offer(m_targetSocket, itemCommand(), fields)) {
        m_targetAwaitsFile = true;
        relay(item);
        m_targetAwaitsFile = false;
        ++m_taken;
    }
    mediadialogue::endItem(m_targetSocket, itemCommand());
    m_current = nullptr;
}

void AndroidTransferA2AThread::relay(const Item& item)
{
    QTcpSocket* source = m_sourceSocket;
    QTcpSocket* target = m_targetSocket;
    simpleprotocol::sendCommand(source, QStringLiteral("$dload:"), item.path, true, -1);
    const QString head = simpleprotocol::expectCommand(source, QStringLiteral("$file:"), -1);
    bool ok = false;
    const qint64 size = head.mid(6).toLongLong(&ok);
    if (!ok || size < 0)
        throw simpleprotocol::LocalException(source, QStringLiteral("invalid file size, %1").arg(head));
    fromTarget(
        [&] { simpleprotocol::sendCommand(target, QStringLiteral("$file:"), QString::number(size), false, -1); });

    // A block goes to the target whole, and the target's "." for it is
    // awaited only once the next block has come from the source: the two
    // phones work at the same time, and the target still never gets a block
    // before it answered the one before.
    qint64 relayed = 0; // bytes sent to the target
    qint64 unanswered = -1; // the block the target has not answered yet
    const auto awaitTarget = [&] {
        if (unanswered < 0)
            return;
        fromTarget([&] { simpleprotocol::expectCommand(target, QStringLiteral("."), -1); });
        unanswered = -1;
        jobreport::checkCanceled(m_progress);
        m_progress->postUpdateProgress(QString(), -1,
                                       QStringLiteral("%L1KB / %L2KB").arg(relayed / 1024).arg(size / 1024));
    };
    for (;;) {
        const QString line = simpleprotocol::readCommand(source, -1);
        if (line == QLatin1String("."))
            break;
        if (!line.startsWith(QLatin1String("$block:")))
            throw simpleprotocol::LocalException(source, QStringLiteral("invalid command(.,$block:), ") + line);
        const qint64 n = simpleprotocol::blockSize(source, line);
        if (n > size - relayed)
            throw simpleprotocol::LocalException(source, QStringLiteral("%1 bytes announced, more sent").arg(size));
        if (m_buffer.size() < n)
            m_buffer.resize(n);
        simpleprotocol::readData(source, m_buffer.data(), n, -1);
        simpleprotocol::sendCommand(source, QStringLiteral("."), QString(), true, -1);
        awaitTarget();
        fromTarget([&] {
            simpleprotocol::sendCommand(target, QStringLiteral("$block:"), QString::number(n), n == 0, -1);
            // Flushed: the socket is done with the buffer before it is filled again.
            simpleprotocol::writeData(target, QByteArray::fromRawData(m_buffer.constData(), n), true, -1);
        });
        relayed += n;
        unanswered = n;
    }
    awaitTarget();
    if (relayed != size)
        throw simpleprotocol::LocalException(source,
                                             QStringLiteral("%1 bytes announced, %2 sent").arg(size).arg(relayed));
    simpleprotocol::sendCommand(source, QStringLiteral("$file:"), QString(), true, -1);
    fromTarget([&] { mediadialogue::endFile(target); });
}

template <typename Step> void AndroidTransferA2AThread::fromTarget(Step step)
{
    try {
        step();
    } catch (const std::exception&) {
        // The target failed itself: it sent "$error:", broke the dialogue
        // (a line refused here was answered with "$error:" already) or is
        // gone. It is not sent another "$error:".
        m_targetAwaitsFile = false;
        throw;
    }
}

void AndroidTransferA2AThread::abandonFile(const QString& reason)
{
    if (!m_targetAwaitsFile || !m_targetSocket)
        return;
    m_targetAwaitsFile = false;
    // Also after a cancel, which would otherwise end this send at once.
    simpleprotocol::CancelScope uncancelable {std::function<bool()>()};
    try {
        simpleprotocol::sendCommand(m_targetSocket, QStringLiteral("$error:"), simpleprotocol::encodeField(reason),
                                    true, kAbandonTimeoutMs);
    } catch (const std::exception&) {
        // The target is gone already; it drops the file all the same.
    }
}
