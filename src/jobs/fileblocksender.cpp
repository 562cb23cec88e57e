#include "fileblocksender.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/jobreport.h"

#include <QTcpSocket>

FileBlockSender::FileBlockSender(Progress when)
    : m_when(when)
{
}

void FileBlockSender::open(QTcpSocket* socket, const QString& path, const QString& shownPath)
{
    m_file.close();
    m_file.setFileName(path);
    m_shownPath = shownPath;
    if (!m_file.open(QIODevice::ReadOnly))
        throw simpleprotocol::LocalException(socket,
                                             QStringLiteral("open %1 failed. %2").arg(shownPath, m_file.errorString()));
}

qint64 FileBlockSender::send(QTcpSocket* socket, JobReport* progress, const QString& status)
{
    const qint64 size = m_file.size();
    qint64 sent = 0;
    const auto post = [&](const QString& statusText) {
        if (progress)
            progress->postUpdateProgress(statusText, -1,
                                         QStringLiteral("%L1KB / %L2KB").arg(sent / 1024).arg(size / 1024));
    };
    if (m_buffer.size() < kBlockBytes)
        m_buffer.resize(kBlockBytes);
    qint64 n = readBlock(socket);
    while (n > 0) {
        jobreport::checkCanceled(progress);
        sent += n;
        if (m_when == Progress::BeforeSend)
            post(status);
        simpleprotocol::sendCommand(socket, QStringLiteral("$block:"), QString::number(n), false, -1);
        simpleprotocol::writeData(socket, QByteArray::fromRawData(m_buffer.constData(), n), true, -1);
        // The block is with the system now: the next one is read while the
        // phone takes this one.
        const qint64 next = readBlock(socket);
        simpleprotocol::expectCommand(socket, QStringLiteral("."), -1);
        if (m_when == Progress::AfterAck)
            post(QString());
        n = next;
    }
    m_file.close();
    return sent;
}

qint64 FileBlockSender::readBlock(QTcpSocket* socket)
{
    if (m_file.atEnd())
        return 0;
    const qint64 n = m_file.read(m_buffer.data(), kBlockBytes);
    if (n < 1)
        throw simpleprotocol::LocalException(
            socket, QStringLiteral("read %1 failed. %2").arg(m_shownPath, m_file.errorString()));
    return n;
}
