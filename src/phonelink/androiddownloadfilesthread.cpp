#include "phonelink/androiddownloadfilesthread.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/remotefile.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"
#include "shell/core/outputfile.h"

#include <QDebug>
#include <QFileInfo>
#include <QLocale>
#include <QTcpSocket>

#include <stdexcept>

namespace {

// Bytes moved from the socket to the file per step: a phone block of up to
// 512 KiB goes in one step, a larger one never sits in memory whole.
constexpr qint64 kChunkBytes = 512 * 1024;

[[noreturn]] void fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

} // namespace

AndroidDownloadFilesThread::AndroidDownloadFilesThread(AndroidDeviceInfo* device, const QList<_RemoteFile*>& items,
                                                       const QDir& target, JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_device(device)
    , m_items(items)
    , m_target(target)
    , m_progress(progress)
{
}

AndroidDownloadFilesThread::~AndroidDownloadFilesThread() = default;

void AndroidDownloadFilesThread::run()
{
    simpleprotocol::CancelScope cancel(m_progress);
    filesDone = 0;
    filesWritten = 0;
    filesTotal = 0;
    m_refused.clear();
    m_received.reset();
    for (const _RemoteFile* item : std::as_const(m_items))
        filesTotal += item->countFiles();
    try {
        PhoneSession session(*m_device);
        m_socket = session.open(PhoneSession::Scheme::Backup, QStringLiteral("download"));
        for (_RemoteFile* item : std::as_const(m_items))
            downloadItem(item, m_target);
        commitReceived();
        simpleprotocol::sendCommand(m_socket, QStringLiteral("$bye:"), QString(), true, -1);
        m_progress->postSucceed(tr("IDS_SUC_DOWNLOAD_%1_FILES").arg(filesWritten));
    } catch (int) {
        keepReceived();
    } catch (const std::exception& e) {
        keepReceived();
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    m_socket = nullptr;
}

void AndroidDownloadFilesThread::commitReceived()
{
    if (!m_received)
        return;
    const std::unique_ptr<OutputFile> file = std::move(m_received);
    if (!file->commit())
        fail(QStringLiteral("write file %1 failed. %2").arg(file->fileName(), file->errorString()));
    ++filesWritten;
}

void AndroidDownloadFilesThread::keepReceived()
{
    try {
        commitReceived();
    } catch (const std::exception& e) {
        qWarning("AndroidDownloadFilesThread: %s", e.what());
    }
}

void AndroidDownloadFilesThread::downloadItem(_RemoteFile* node, const QDir& folder)
{
    jobreport::checkCanceled(m_progress);
    if (!node->exportable) {
        qWarning("AndroidDownloadFilesThread: %s is out of reach", qUtf8Printable(node->path));
        m_refused.append(node->path);
        return;
    }
    const QString phoneName = node->path.mid(node->path.lastIndexOf(QLatin1Char('/')) + 1);
    const QString name = phoneNameToPathComponent(phoneName);
    const QString localPath = name.isEmpty() ? QString() : pathUnder(folder.absolutePath(), name);
    if (localPath.isEmpty() || QFileInfo(localPath).isSymLink()) {
        qWarning("AndroidDownloadFilesThread: name of %s refused", qUtf8Printable(node->path));
        m_refused.append(node->path);
        return;
    }

    if (node->isDir) {
        const QFileInfo info(localPath);
        if (info.exists() && !info.isDir())
            fail(QStringLiteral("%1 is not a folder.").arg(localPath));
        if (!info.exists() && !folder.mkdir(name))
            fail(QStringLiteral("Can not create folder %1.").arg(localPath));
        const QDir sub(localPath);
        for (_RemoteFile* child : std::as_const(node->children))
            downloadItem(child, sub);
        return;
    }
    downloadFile(node, name, localPath);
}

void AndroidDownloadFilesThread::downloadFile(_RemoteFile* node, const QString& name, const QString& localPath)
{
    ++filesDone;
    m_progress->postUpdateProgress(tr("IDS_DOWNLOADING_FILES"), int(double(filesDone) / double(filesTotal) * 100),
                                   tr("Files:%1/%2").arg(filesDone).arg(filesTotal));
    QTcpSocket* s = m_socket;
    try {
        simpleprotocol::sendCommand(s, QStringLiteral("$dload:"), node->path, true, -1);
    } catch (const simpleprotocol::ArgumentException&) {
        // Nothing was sent; the session goes on with the next file.
        m_refused.append(node->path);
        return;
    }
    // The file before is put in place while the phone answers.
    commitReceived();
    // Leaving this function before it is handed on discards the temporary
    // file and leaves an earlier copy at localPath as it was.
    auto file = std::make_unique<OutputFile>(localPath);
    if (!file->open())
        fail(QStringLiteral("create %1 error. %2").arg(localPath, file->errorString()));
    const QString head = simpleprotocol::expectCommand(s, QStringLiteral("$file:"), -1);
    bool announced = false;
    const qint64 size = head.mid(6).toLongLong(&announced);
    const QString sizeError = QStringLiteral("download %1 failed: %2 bytes announced, %3 received.");
    qint64 received = 0;
    m_progress->postUpdateProgress(tr("IDS_DOWNLOADING_FILE_%1").arg(name), -1, QString());

    QByteArray chunk;
    for (;;) {
        jobreport::checkCanceled(m_progress);
        const QString line = simpleprotocol::readCommand(s, -1);
        if (line == QLatin1String(".")) {
            if (announced && received != size)
                throw simpleprotocol::LocalException(s, sizeError.arg(node->path).arg(size).arg(received));
            // Received whole: it replaces its target once the next request
            // is out (or the job ends). The acknowledgement is not flushed:
            // it goes out with that request, so the phone wakes once for both.
            m_received = std::move(file);
            simpleprotocol::sendCommand(s, QStringLiteral("$file:"), QString(), false, -1);
            return;
        }
        if (!line.startsWith(QLatin1String("$block:")))
            throw simpleprotocol::LocalException(s, QStringLiteral("invalid command(.,$block:), %1").arg(line));
        const qint64 n = simpleprotocol::blockSize(s, line);
        if (announced && received + n > size)
            throw simpleprotocol::LocalException(s, sizeError.arg(node->path).arg(size).arg(received + n));
        // The block goes to the file in bounded steps; the buffer never
        // takes the size the phone names. The block is acknowledged once it
        // is all read, so the phone sends the next while the last step is
        // written (a failed write still fails the file).
        if (n == 0)
            simpleprotocol::sendCommand(s, QStringLiteral("."), QString(), true, -1);
        chunk.resize(int(std::min(n, kChunkBytes)));
        for (qint64 left = n; left > 0;) {
            const qint64 step = std::min<qint64>(left, chunk.size());
            simpleprotocol::readData(s, chunk.data(), step, -1);
            left -= step;
            if (left == 0)
                simpleprotocol::sendCommand(s, QStringLiteral("."), QString(), true, -1);
            if (!file->write(chunk.constData(), step))
                fail(QStringLiteral("write file %1 failed. %2").arg(localPath, file->errorString()));
        }
        received += n;
        m_progress->postUpdateProgress(QString(), -1,
                                       QStringLiteral("%L1KB / %L2KB").arg(received / 1024).arg(size / 1024));
    }
}
