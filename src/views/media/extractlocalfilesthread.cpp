#include "extractlocalfilesthread.h"

#include "records/remotefile.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"
#include "shell/core/outputfile.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

constexpr qint64 kChunkBytes = 1024 * 1024;

[[noreturn]] void fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

} // namespace

ExtractLocalFilesThread::ExtractLocalFilesThread(const QList<_RemoteFile*>& entries, const QDir& target,
                                                 JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_entries(entries)
    , m_target(target)
    , m_progress(progress)
{
}

void ExtractLocalFilesThread::run()
{
    m_total = 0;
    m_done = 0;
    for (const _RemoteFile* entry : std::as_const(m_entries))
        m_total += entry->countFiles();
    try {
        for (const _RemoteFile* entry : std::as_const(m_entries))
            copyItem(entry, m_target);
        m_progress->postSucceed(tr("IDS_SUC_DOWNLOAD_%1_FILES").arg(m_done));
    } catch (int) {
        // Cancelled: the dialog has ended already.
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}

void ExtractLocalFilesThread::copyItem(const _RemoteFile* entry, const QDir& folder)
{
    jobreport::checkCanceled(m_progress);
    const QString localPath = pathUnder(folder.absolutePath(), entry->name);
    if (localPath.isEmpty())
        fail(QStringLiteral("Can not create %1 in %2.").arg(entry->name, folder.absolutePath()));
    if (!entry->isDir) {
        copyFile(entry, localPath);
        return;
    }
    const QFileInfo info(localPath);
    if (info.exists() && !info.isDir())
        fail(QStringLiteral("%1 is not a folder.").arg(localPath));
    if (!info.exists() && !folder.mkdir(entry->name))
        fail(QStringLiteral("Can not create folder %1.").arg(localPath));
    const QDir sub(localPath);
    for (const _RemoteFile* child : entry->children)
        copyItem(child, sub);
}

void ExtractLocalFilesThread::copyFile(const _RemoteFile* entry, const QString& localPath)
{
    ++m_done;
    m_progress->postUpdateProgress(tr("IDS_DOWNLOADING_FILE_%1").arg(entry->name), jobreport::percent(m_done, m_total),
                                   tr("Files:%1/%2").arg(m_done).arg(m_total));
    QFile in(entry->path);
    if (!in.open(QIODevice::ReadOnly))
        fail(QStringLiteral("open %1 failed. %2").arg(entry->path, in.errorString()));
    // Leaving without the commit below discards the temporary file.
    OutputFile out(localPath);
    if (!out.open())
        fail(QStringLiteral("create %1 error. %2").arg(localPath, out.errorString()));
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        jobreport::checkCanceled(m_progress);
        const qint64 n = in.read(chunk.data(), chunk.size());
        if (n < 0)
            fail(QStringLiteral("read %1 failed. %2").arg(entry->path, in.errorString()));
        if (n == 0)
            break;
        if (!out.write(chunk.constData(), n))
            fail(QStringLiteral("write file %1 failed. %2").arg(localPath, out.errorString()));
    }
    if (!out.commit())
        fail(QStringLiteral("write file %1 failed. %2").arg(localPath, out.errorString()));
}
