#include "attachmentfiles.h"

#include "shell/core/fileutils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <stdexcept>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kCopyChunk = 1 << 20;

const QLatin1String kTemporaryPrefix(".part-");

// A hidden name that no store path uses, short enough for any folder.
QString temporaryBeside(const QString& target)
{
    return QFileInfo(target).absolutePath() + QLatin1Char('/') + kTemporaryPrefix
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool isTemporaryName(const QString& name)
{
    return name.startsWith(kTemporaryPrefix)
        && !QUuid::fromString(QStringView(name).mid(kTemporaryPrefix.size())).isNull()
        && name.size() == kTemporaryPrefix.size() + 36;
}

bool sameFolder(const QString& a, const QString& b)
{
    return QFileInfo(a).absolutePath() == QFileInfo(b).absolutePath();
}

// Removes folder and its parents up to and including stop, each only while
// it is empty.
void removeEmptyFolders(QString folder, const QString& stop)
{
    while (folder == stop || folder.startsWith(stop + QLatin1Char('/'))) {
        if (!QDir().rmdir(folder) || folder == stop)
            return;
        folder = QFileInfo(folder).absolutePath();
    }
}

} // namespace

AttachmentFiles::AttachmentFiles(const QString& root)
    : m_root(root)
{
}

AttachmentFiles::~AttachmentFiles()
{
    rollback();
}

bool AttachmentFiles::makeFolderOf(const QString& path, QString* made)
{
    const QString folder = QFileInfo(path).absolutePath();
    *made = firstMissingFolder(folder);
    if (made->isEmpty() || QDir().mkpath(folder))
        return true;
    removeEmptyFolders(folder, *made);
    made->clear();
    return false;
}

QString AttachmentFiles::stage(const QString& target)
{
    Entry entry;
    if (!makeFolderOf(target, &entry.madeFolder))
        return QString();
    entry.path = temporaryBeside(target);
    m_entries.append(entry);
    return entry.path;
}

AttachmentFiles::Result AttachmentFiles::place(const QString& source, const QString& target, bool take, QString* error)
{
    if (QFileInfo::exists(target))
        return Result::TargetExists;
    Entry entry;
    if (!makeFolderOf(target, &entry.madeFolder)) {
        *error = QStringLiteral("cannot make the folder");
        return Result::Failed;
    }
    entry.path = target;
    entry.placed = true;
    m_dirty = true;
    // QFile::rename never replaces an existing file; within one folder it is
    // one rename on the same file system.
    if (take && sameFolder(source, target) && QFile::rename(source, target)) {
        // A staged file becomes the placed one where it stands, so that the
        // entries stay in the order their folders were made.
        for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
            Entry& staged = m_entries[i];
            if (!staged.placed && staged.path == source) {
                staged.path = target;
                staged.placed = true;
                return Result::Placed;
            }
        }
    } else if (!copyBeside(source, target, error)) {
        const bool exists = QFileInfo::exists(target);
        if (!entry.madeFolder.isEmpty())
            removeEmptyFolders(QFileInfo(target).absolutePath(), entry.madeFolder);
        return exists ? Result::TargetExists : Result::Failed;
    }
    m_entries.append(entry);
    return Result::Placed;
}

bool AttachmentFiles::copyBeside(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    const QString temp = temporaryBeside(target);
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = out.errorString();
        return false;
    }
    QByteArray chunk(kCopyChunk, Qt::Uninitialized);
    qint64 copied = 0;
    bool ok = true;
    for (;;) {
        const qint64 n = in.read(chunk.data(), kCopyChunk);
        if (n == 0)
            break;
        if (n < 0 || out.write(chunk.constData(), n) != n) {
            *error = n < 0 ? in.errorString() : out.errorString();
            ok = false;
            break;
        }
        copied += n;
    }
    out.close();
    if (ok && (out.error() != QFileDevice::NoError || copied != in.size())) {
        *error = out.error() != QFileDevice::NoError ? out.errorString() : QStringLiteral("the source changed size");
        ok = false;
    }
    // Like QFile::copy, the copy gets the source's permissions.
    if (ok)
        out.setPermissions(in.permissions());
    if (ok && !QFile::rename(temp, target)) {
        *error = QStringLiteral("cannot rename %1 to the target").arg(temp);
        ok = false;
    }
    if (!ok)
        QFile::remove(temp);
    return ok;
}

void AttachmentFiles::sync()
{
    if (!m_dirty)
        return;
#if defined(Q_OS_LINUX)
    // One flush of the store's file system instead of one per file.
    const int fd = ::open(QFile::encodeName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ::sync(); // every file system, then
    } else {
        const int rc = ::syncfs(fd);
        const int err = errno;
        ::close(fd);
        if (rc != 0)
            throw std::runtime_error("cannot write the attachment files to disk: " + std::string(std::strerror(err)));
    }
#elif defined(Q_OS_UNIX)
    ::sync();
#endif
    // Elsewhere the system writes the files back on its own.
    m_dirty = false;
}

void AttachmentFiles::commit()
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (!m_entries.at(i).placed)
            removeWithFolders(m_entries.at(i));
    }
    m_entries.clear();
    m_dirty = false;
}

void AttachmentFiles::rollback()
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i)
        removeWithFolders(m_entries.at(i));
    m_entries.clear();
    m_dirty = false;
}

int AttachmentFiles::removeUnnamed(const QString& folder, const QSet<QString>& named)
{
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString below = root + QLatin1Char('/');
    int removed = 0;
    QSet<QString> emptied;
    const auto remove = [&](const QString& path) {
        if (!QFile::remove(path)) {
            qWarning("message store: cannot remove %s", qUtf8Printable(path));
            return;
        }
        ++removed;
        emptied.insert(QFileInfo(path).absolutePath());
    };
    // A file system that ignores case holds a row's file under any case.
    QSet<QString> namedAnyCase;
    for (const QString& path : named)
        namedAnyCase.insert(path.toCaseFolded());
    const auto isNamed
        = [&](const QString& path) { return named.contains(path) || namedAnyCase.contains(path.toCaseFolded()); };
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    if (QFileInfo(root).isDir() && !QFileInfo(root).isSymLink()) {
        // Links to folders are neither listed nor followed: what lies there
        // stays.
        QDirIterator it(root, files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir::cleanPath(it.next());
            if (!isNamed(path))
                remove(path);
        }
    }
    QSet<QString> elsewhere;
    for (const QString& path : named) {
        if (!path.startsWith(below))
            elsewhere.insert(QFileInfo(path).absolutePath());
    }
    for (const QString& dir : std::as_const(elsewhere)) {
        const QStringList names = QDir(dir).entryList({kTemporaryPrefix + QLatin1Char('*')}, files);
        for (const QString& name : names) {
            const QString path = dir + QLatin1Char('/') + name;
            if (isTemporaryName(name) && !isNamed(path))
                remove(path);
        }
    }
    // Each emptied folder, and its parents while empty, up to (not
    // including) root.
    for (const QString& dir : std::as_const(emptied)) {
        if (dir.startsWith(below))
            removeEmptyFolders(dir, below + dir.mid(below.size()).section(QLatin1Char('/'), 0, 0));
    }
    return removed;
}

void AttachmentFiles::removeWithFolders(const Entry& entry)
{
    QFile::remove(entry.path);
    if (!entry.madeFolder.isEmpty())
        removeEmptyFolders(QFileInfo(entry.path).absolutePath(), entry.madeFolder);
}
