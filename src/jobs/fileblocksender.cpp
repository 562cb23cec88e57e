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
    while (!m_file.atEnd()) {
        jobreport::checkCanceled(progress);
        const qint64 n = m_file.read(m_buffer.data(), kBlockBytes);
        if (n < 1)
            throw simpleprotocol::LocalException(
                socket, QStringLiteral("read %1 failed. %2").arg(m_shownPath, m_file.errorString()));
        sent += n;
        if (m_when == Progress::BeforeSend)
            post(status);
        simpleprotocol::sendCommand(socket, QStringLiteral("$block:"), QString::number(n), false, -1);
        simpleprotocol::writeData(socket, m_buffer.constData(), n, true, -1);
        simpleprotocol::expectCommand(socket, QStringLiteral("."), -1);
        if (m_when == Progress::AfterAck)
            post(QString());
    }
    m_file.close();
    return sent;
}
