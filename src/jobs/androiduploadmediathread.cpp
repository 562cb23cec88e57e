#include "androiduploadmediathread.h"

#include "jobs/fileblocksender.h"
#include "jobs/mediaitemdialogue.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/recordtime.h"
#include "shell/core/jobreport.h"

#include <QFileInfo>
#include <QTcpSocket>

QString mediaUploadFields(const QFileInfo& file)
{
    return simpleprotocol::encodeField(file.fileName()) + QLatin1Char(',')
        + QString::number(records::secsSinceEpoch(file.lastModified()));
}

AndroidUploadMediaThread::AndroidUploadMediaThread(int nodeType, AndroidDeviceInfo* device,
                                                   const QStringList& localPaths, JobReport* progress, QObject* parent)
    : QThread(parent)
    , nodeType(nodeType)
    , m_device(device)
    , m_localPaths(localPaths)
    , m_progress(progress)
{
}

AndroidUploadMediaThread::~AndroidUploadMediaThread()
{
    // run() releases the socket on its own thread; this only covers a run
    // that never got there.
    if (m_socket)
        m_socket.release()->deleteLater();
}

void AndroidUploadMediaThread::run()
{
    simpleprotocol::CancelScope cancel(m_progress);
    m_offered = 0;
    m_taken = 0;
    try {
        const QString url
            = QStringLiteral("restore://127.0.0.1:%1/%2").arg(simpleprotocol::nextLocalPort()).arg(serviceName());
        m_socket.reset(m_device->connect(url, kConnectTimeoutMs));
        // Every block waits for the phone's answer: its tail must not wait
        // for an acknowledgement of the bytes before it.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        simpleprotocol::sendCommand(m_socket.get(), QStringLiteral("$uid:"), QString(), false, -1);
        simpleprotocol::sendCommand(m_socket.get(), QStringLiteral("$device:"), QString(), true, -1);
        FileBlockSender sender(FileBlockSender::Progress::AfterAck);
        for (int i = 0; i < m_localPaths.size(); ++i) {
            jobreport::checkCanceled(m_progress);
            const QString& path = m_localPaths.at(i);
            const QFileInfo file(path);
            ++m_offered;
            m_progress->postUpdateProgress(tr("IDS_UPLOADING_%1").arg(file.fileName()),
                                           jobreport::percent(m_offered, m_localPaths.size()),
                                           tr("Files:%1/%2").arg(m_offered).arg(m_localPaths.size()));
            if (mediadialogue::offer(m_socket.get(), itemCommand(), mediaUploadFields(file) + emptyTail())) {
                sender.open(m_socket.get(), path, path);
                simpleprotocol::sendCommand(m_socket.get(), QStringLiteral("$file:"), QString(), true, -1);
                sender.send(m_socket.get(), m_progress, QString());
                mediadialogue::endFile(m_socket.get());
                ++m_taken;
            }
            mediadialogue::endItem(m_socket.get(), itemCommand());
        }
        simpleprotocol::sendCommand(m_socket.get(), QStringLiteral("$bye:"), QString(), true, -1);
        m_progress->postSucceed(resultText(m_taken));
    } catch (int) {
        if (m_socket)
            m_socket->abort();
        m_device->forceStopAgent();
    } catch (const std::exception& e) {
        if (m_socket)
            m_socket->abort();
        m_device->forceStopAgent();
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    // Made on this thread, which has no event loop for a deleteLater.
    m_socket.reset();
}
