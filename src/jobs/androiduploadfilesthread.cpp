#include "androiduploadfilesthread.h"

#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/folderwalk.h"
#include "shell/core/jobreport.h"

#include <QTcpSocket>

AndroidUploadFilesThread::AndroidUploadFilesThread(AndroidDeviceInfo* device, const QString& targetFolder,
                                                   const QList<QFileInfo>& entries, JobReport* progress,
                                                   QObject* parent)
    : QThread(parent)
    , m_device(device)
    , m_targetFolder(targetFolder)
    , m_entries(entries)
    , m_progress(progress)
{
}

QString AndroidUploadFilesThread::joinPhonePath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

void AndroidUploadFilesThread::collect(const QString& phoneFolder, const QFileInfo& entry, FolderWalk& walk)
{
    jobreport::checkCanceled(m_progress);
    if (entry.isDir()) {
        const FolderWalk::Step step(walk, entry);
        if (!step.entered())
            return;
        const QString sub = joinPhonePath(phoneFolder, entry.fileName());
        for (const QFileInfo& child : FolderWalk::entries(entry.absoluteFilePath()))
            collect(sub, child, walk);
    } else if (entry.isFile()) {
        m_items.append({joinPhonePath(phoneFolder, entry.fileName()), entry.absoluteFilePath(), entry.fileName()});
    }
}

void AndroidUploadFilesThread::run()
{
    simpleprotocol::CancelScope cancel(m_progress);
    m_items.clear();
    m_refused.clear();
    m_sent = 0;
    try {
        // A failure or cancel from here on stops the Phone Agent.
        PhoneSession session(*m_device);
        FolderWalk walk;
        for (const QFileInfo& entry : std::as_const(m_entries))
            collect(m_targetFolder, entry, walk);

        QTcpSocket* socket = session.open(PhoneSession::Scheme::Restore, QStringLiteral("upload"));
        for (int i = 0; i < m_items.size(); ++i)
            upload(socket, m_items.at(i), i + 1);
        simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
        if (m_refused.isEmpty()) {
            m_progress->postSucceed(tr("IDS_SUC_UPLOAD_%1_FILES_TO_ANDROID").arg(m_sent));
        } else {
            QStringList names;
            for (const QString& path : std::as_const(m_refused))
                names.append(simpleprotocol::showLineBreaks(path));
            m_progress->postErrorOccurred(tr("IDS_UPLOAD_INCOMPLETE_%1_OF_%2_FILES_NOT_SENT_%3")
                                              .arg(m_sent)
                                              .arg(m_items.size())
                                              .arg(names.join(QLatin1Char('\n'))));
        }
    } catch (int) {
        // The dialog is closed already.
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}

void AndroidUploadFilesThread::upload(QTcpSocket* s, const Item& item, int number)
{
    jobreport::checkCanceled(m_progress);
    m_progress->postUpdateProgress(QString(), jobreport::percent(number, m_items.size()),
                                   tr("Files:%1 / %2").arg(number).arg(m_items.size()));
    try {
        simpleprotocol::sendCommand(s, QStringLiteral("$file:"), item.phonePath, true, -1);
    } catch (const simpleprotocol::ArgumentException&) {
        // Nothing was sent; the session goes on with the next file.
        m_refused.append(item.localPath);
        return;
    }
    m_sender.open(s, item.localPath, item.localPath);
    m_sender.send(s, m_progress, tr("IDS_UPLOADING_FILE_%1").arg(item.name));
    simpleprotocol::sendCommand(s, QStringLiteral("."), QString(), true, -1);
    simpleprotocol::expectCommand(s, QStringLiteral("$file:"), -1);
    ++m_sent;
}
