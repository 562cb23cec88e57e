#include "androiduploadmediathread.h"

#include "jobs/fileblocksender.h"
#include "jobs/mediaitemdialogue.h"
#include "phonelink/phonesession.h"
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

void AndroidUploadMediaThread::run()
{
    simpleprotocol::CancelScope cancel(m_progress);
    m_offered = 0;
    m_taken = 0;
    try {
        PhoneSession session(*m_device);
        QTcpSocket* socket = session.open(PhoneSession::Scheme::Restore, serviceName());
        simpleprotocol::sendCommand(socket, QStringLiteral("$uid:"), QString(), false, -1);
        simpleprotocol::sendCommand(socket, QStringLiteral("$device:"), QString(), true, -1);
        FileBlockSender sender(FileBlockSender::Progress::AfterAck);
        for (int i = 0; i < m_localPaths.size(); ++i) {
            jobreport::checkCanceled(m_progress);
            const QString& path = m_localPaths.at(i);
            const QFileInfo file(path);
            ++m_offered;
            m_progress->postUpdateProgress(tr("IDS_UPLOADING_%1").arg(file.fileName()),
                                           jobreport::percent(m_offered, m_localPaths.size()),
                                           tr("Files:%1/%2").arg(m_offered).arg(m_localPaths.size()));
            if (mediadialogue::offer(socket, itemCommand(), mediaUploadFields(file) + emptyTail())) {
                sender.open(socket, path, path);
                simpleprotocol::sendCommand(socket, QStringLiteral("$file:"), QString(), true, -1);
                sender.send(socket, m_progress, QString());
                mediadialogue::endFile(socket);
                ++m_taken;
            }
            mediadialogue::endItem(socket, itemCommand());
        }
        simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
        m_progress->postSucceed(resultText(m_taken));
    } catch (int) {
        // The dialog is closed already.
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}
