#include "attachmentextractthread.h"

#include "formats/messageassets.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

// The error names at most this many files; the count covers the rest.
constexpr int kMaxNamedFailures = 20;

void setFileTimes(const QString& path, const QDateTime& when)
{
    QFile f(path);
    // Times are set through the open file; a failure is of no consequence.
    if (!f.open(QIODevice::Append))
        return;
    f.setFileTime(when, QFileDevice::FileModificationTime);
    f.setFileTime(when, QFileDevice::FileAccessTime);
}

} // namespace

AttachmentExtractThread::AttachmentExtractThread(JobReport* progress, const MsgMessageList& messages,
                                                 const QString& targetDir, QObject* parent)
    : QThread(parent)
    , m_progress(progress)
    , m_messages(messages)
    , m_targetDir(targetDir)
{
}

AttachmentExtractThread::~AttachmentExtractThread()
{
    wait();
}

QString AttachmentExtractThread::targetName(const _MsgAttachment* att)
{
    // Only the last component counts: the recorded path is the phone's.
    QString name = sanitizeFileName(att->filename.section(QLatin1Char('/'), -1));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name = QStringLiteral("attachment") + name;
    return fitFileName(name);
}

void AttachmentExtractThread::run()
{
    m_copied = 0;
    m_failed.clear();
    m_created.clear();
    try {
        extract();
    } catch (int) {
        // Cancelled: what this run made goes, and nothing is said.
        if (!m_created.isEmpty())
            removeDir(m_created);
        return;
    } catch (const std::exception& e) {
        // The folder could not be made: nothing was copied.
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
        return;
    }

    const QString where = QDir::toNativeSeparators(m_usedDir);
    if (m_failed.isEmpty()) {
        m_progress->postSucceed(tr("IDS_SUC_EXTRACT_%1_MEDIA_FILES_TO_%2").arg(m_copied).arg(where));
        return;
    }
    const QString named = jobreport::namesShown(m_failed, kMaxNamedFailures,
                                                tr("IDS_AND_%1_MORE").arg(m_failed.size() - kMaxNamedFailures));
    m_progress->postErrorOccurred(tr("IDS_EXTRACT_%1_MEDIA_FILES_TO_%2_FAILED_%3").arg(m_copied).arg(where, named));
}

void AttachmentExtractThread::extract()
{
    // A folder of its own: never one that was there before (a cancel
    // removes it with everything inside).
    m_usedDir = uniqueFilePath(QDir::cleanPath(QFileInfo(m_targetDir).absoluteFilePath()));
    const QString created = firstMissingFolder(m_usedDir);
    if (!QDir().mkpath(m_usedDir) || !QFileInfo(m_usedDir).isDir()) {
        if (!created.isEmpty())
            removeDir(created);
        throw std::runtime_error(
            tr("IDS_CREATE_FOLDER_%1_FAILED").arg(QDir::toNativeSeparators(m_usedDir)).toStdString());
    }
    m_created = created;
    const QDir target(m_usedDir);

    const qsizetype total = m_messages.size();
    qsizetype done = 0;
    for (const _MsgMessage* m : std::as_const(m_messages)) {
        jobreport::checkCanceled(m_progress);
        ++done;
        m_progress->postUpdateProgress(tr("IDS_EXTRACTING_MEDIA_FILES"), jobreport::percent(done, total), QString());
        const QDateTime when = dateFromIosTime(m->date);
        for (const _MsgAttachment* att : getAttachments(m)) {
            jobreport::checkCanceled(m_progress);
            if (att->localPath.isEmpty() || !QFileInfo(att->localPath).isFile())
                continue;
            const QString name = targetName(att);
            const QString path = pathUnder(target.absolutePath(), name);
            const QString copy = path.isEmpty() ? QString() : uniqueFilePath(path);
            if (copy.isEmpty() || !messageassets::copyNewFile(att->localPath, copy)) {
                m_failed << name;
                continue;
            }
            ++m_copied;
            setFileTimes(copy, when);
        }
    }
}
