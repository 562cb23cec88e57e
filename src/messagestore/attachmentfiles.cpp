#include "attachmentfiles.h"

#include "shell/core/fileutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// The journal's lines, each ended by a line feed, with paths below the
// attachment folder: the store mark first; then one per temporary before it
// is made (with the outermost folder made for it, or nothing), one per file
// before it is renamed into place (with its inode), and one per file whose
// attachment row the unit deleted (before the commit).
const QByteArray kMarkLine("B");
const QByteArray kTemporaryLine("T");
const QByteArray kPlacedLine("P");
const QByteArray kReleasedLine("D");

// The inode of the file at path itself (not of what a link points to); 0
// when unknown.
quint64 inodeOf(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        return quint64(st.st_ino);
#else
    Q_UNUSED(path)
#endif
    return 0;
}

// A path below a folder that names no folder above it.
bool isPlainRelative(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return std::none_of(parts.cbegin(), parts.cend(), [](const QString& part) {
        return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
    });
}

struct Journal {
    bool valid = false;
    qint64 storeMark = 0;
    QList<AttachmentFiles::Noted> noted;
};

// The complete lines of a journal: a line cut short by a kill is left out,
// and so is any line that is not as this class writes it.
Journal readJournal(const QString& path)
{
    using Kind = AttachmentFiles::Noted::Kind;
    Journal journal;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return journal;
    QByteArray bytes = file.readAll();
    bytes.truncate(bytes.lastIndexOf('\n') + 1);
    for (const QByteArray& line : bytes.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (!journal.valid) {
            if (fields.size() == 2 && fields.at(0) == kMarkLine)
                journal.storeMark = fields.at(1).toLongLong(&journal.valid);
            if (!journal.valid)
                return journal;
            continue;
        }
        AttachmentFiles::Noted noted;
        noted.path = QString::fromUtf8(fields.value(1));
        if (fields.size() == 3 && fields.at(0) == kTemporaryLine) {
            noted.made = QString::fromUtf8(fields.at(2));
            if (!noted.made.isEmpty()
                && (!isPlainRelative(noted.made) || !noted.path.startsWith(noted.made + QLatin1Char('/'))))
                continue;
        } else if (fields.size() == 3 && fields.at(0) == kPlacedLine) {
            noted.kind = Kind::Placed;
            bool ok = false;
            noted.inode = fields.at(2).toULongLong(&ok);
            if (!ok || noted.inode == 0)
                continue;
        } else if (fields.size() == 2 && fields.at(0) == kReleasedLine) {
            noted.kind = Kind::Released;
            noted.made = noted.path.section(QLatin1Char('/'), 0, 0);
        } else {
            continue;
        }
        if (isPlainRelative(noted.path))
            journal.noted.append(noted);
    }
    return journal;
}

#ifdef Q_OS_UNIX
// An open file descriptor, closed with the object.
struct Fd {
    int fd;
    explicit Fd(int fd)
        : fd(fd)
    {
    }
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// The folder parts below the open folder base, opened one by one without
// following a symbolic link; -1 when one is missing or is no folder.
int openBelow(int base, const QStringList& parts)
{
    int fd = base < 0 ? -1 : ::dup(base);
    for (const QString& part : parts) {
        if (fd < 0)
            return -1;
        const int next
            = ::openat(fd, QFile::encodeName(part).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

// Removes the noted file when it is still the one noted: a regular file, a
// temporary by its name, a file put in place by its inode.
bool removeNotedFile(int attachments, const AttachmentFiles::Noted& noted)
{
    using Kind = AttachmentFiles::Noted::Kind;
    QStringList parts = noted.path.split(QLatin1Char('/'));
    const QString name = parts.takeLast();
    if (noted.kind == Kind::Temporary && !isTemporaryName(name))
        return false;
    const Fd folder(openBelow(attachments, parts));
    if (folder.fd < 0)
        return false;
    const QByteArray local = QFile::encodeName(name);
    struct stat st {};
    if (::fstatat(folder.fd, local.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (noted.kind == Kind::Placed && quint64(st.st_ino) != noted.inode)
        return false;
    if (::unlinkat(folder.fd, local.constData(), 0) != 0) {
        qWarning("message store: cannot remove %s: %s", qUtf8Printable(noted.path), std::strerror(errno));
        return false;
    }
    return true;
}

// Removes the folder (below the attachment folder) when it is empty and no
// link.
void removeEmptyFolderBelow(int attachments, const QString& folder)
{
    QStringList parts = folder.split(QLatin1Char('/'));
    const QByteArray name = QFile::encodeName(parts.takeLast());
    const Fd parent(openBelow(attachments, parts));
    if (parent.fd >= 0)
        ::unlinkat(parent.fd, name.constData(), AT_REMOVEDIR);
}
#endif

} // namespace

AttachmentFiles::AttachmentFiles(const QString& root, const QString& attachments, const QString& journalPrefix)
    : m_root(QDir::cleanPath(root))
    , m_attachments(QDir::cleanPath(attachments))
    , m_journalPrefix(journalPrefix)
{
}

AttachmentFiles::~AttachmentFiles()
{
    rollback();
}

QString AttachmentFiles::belowAttachments(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(m_attachments + QLatin1Char('/')))
        return QString();
    return clean.mid(m_attachments.size() + 1);
}

bool AttachmentFiles::appendToJournal(const QByteArray& line)
{
    if (!m_journal.isOpen()) {
        // Unbuffered: each line is in the file before the file it names is
        // made, whatever happens to this process afterwards; the flush
        // before the commit makes it durable.
        m_journal.setFileName(m_journalPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (!m_journal.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            qWarning("message store: cannot make the journal %s: %s", qUtf8Printable(m_journal.fileName()),
                     qUtf8Printable(m_journal.errorString()));
            return false;
        }
        m_dirty = true;
        const QByteArray head = kMarkLine + '\t' + QByteArray::number(m_storeMark) + '\n';
        if (m_journal.write(head) != head.size()) {
            endJournal();
            return false;
        }
    }
    return m_journal.write(line) == line.size();
}

bool AttachmentFiles::noteTemporary(const QString& temp, const QString& made)
{
    const QString rel = belowAttachments(temp);
    if (rel.isEmpty())
        return true;
    // The folders made for it, from the outermost one below the attachment
    // folder (that folder itself stays).
    QString madeRel;
    if (!made.isEmpty()) {
        madeRel = belowAttachments(made);
        if (madeRel.isEmpty())
            madeRel = rel.section(QLatin1Char('/'), 0, 0);
    }
    return appendToJournal(kTemporaryLine + '\t' + rel.toUtf8() + '\t' + madeRel.toUtf8() + '\n');
}

bool AttachmentFiles::notePlacing(const QString& target, quint64 inode)
{
    const QString rel = belowAttachments(target);
    // (Without an inode nothing could show later that the file is the one
    // placed: it is not noted, and stays.)
    return rel.isEmpty() || inode == 0
        || appendToJournal(kPlacedLine + '\t' + rel.toUtf8() + '\t' + QByteArray::number(inode) + '\n');
}

bool AttachmentFiles::noteReleased(const QString& path)
{
    const QString rel = belowAttachments(path);
    if (rel.isEmpty() || !appendToJournal(kReleasedLine + '\t' + rel.toUtf8() + '\n'))
        return false;
    Noted noted;
    noted.kind = Noted::Kind::Released;
    noted.path = rel;
    noted.made = rel.section(QLatin1Char('/'), 0, 0);
    m_released.append(noted);
    return true;
}

void AttachmentFiles::endJournal()
{
    m_released.clear();
    if (!m_journal.isOpen())
        return;
    m_journal.close();
    m_journal.remove();
}

QString AttachmentFiles::temporaryFor(const QString& target, QString* made, QString* error)
{
    const QString folder = QFileInfo(target).absolutePath();
    *made = firstMissingFolder(folder);
    const QString temp = temporaryBeside(target);
    if (!noteTemporary(temp, *made)) {
        *error = QStringLiteral("cannot write the journal beside the store");
        made->clear();
        return QString();
    }
    if (made->isEmpty() || QDir().mkpath(folder))
        return temp;
    removeEmptyFolders(folder, *made);
    made->clear();
    *error = QStringLiteral("cannot make the folder");
    return QString();
}

QString AttachmentFiles::stage(const QString& target)
{
    Entry entry;
    QString error;
    entry.path = temporaryFor(target, &entry.madeFolder, &error);
    if (entry.path.isEmpty())
        return QString();
    m_entries.append(entry);
    return entry.path;
}

AttachmentFiles::Result AttachmentFiles::place(const QString& source, const QString& target, bool take, QString* error,
                                               PartContent* copied)
{
    if (QFileInfo::exists(target))
        return Result::TargetExists;
    m_dirty = true;
    // QFile::rename never replaces an existing file; within one folder it is
    // one rename on the same file system.
    if (take && sameFolder(source, target) && notePlacing(target, inodeOf(source)) && QFile::rename(source, target)) {
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
        m_entries.append(Entry {target, QString(), true});
        return Result::Placed;
    }
    Entry entry;
    entry.path = target;
    entry.placed = true;
    const QString temp = temporaryFor(target, &entry.madeFolder, error);
    if (temp.isEmpty())
        return Result::Failed;
    if (!copyBeside(source, temp, target, error, copied)) {
        const bool exists = QFileInfo::exists(target);
        if (!entry.madeFolder.isEmpty())
            removeEmptyFolders(QFileInfo(target).absolutePath(), entry.madeFolder);
        return exists ? Result::TargetExists : Result::Failed;
    }
    m_entries.append(entry);
    return Result::Placed;
}

bool AttachmentFiles::copyBeside(const QString& source, const QString& temp, const QString& target, QString* error,
                                 PartContent* copied)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = out.errorString();
        return false;
    }
    QByteArray chunk(kCopyChunk, Qt::Uninitialized);
    qint64 bytesCopied = 0;
    PartHasher hasher;
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
        if (copied)
            hasher.addData(QByteArrayView(chunk.constData(), n));
        bytesCopied += n;
    }
    out.close();
    if (ok && (out.error() != QFileDevice::NoError || bytesCopied != in.size())) {
        *error = out.error() != QFileDevice::NoError ? out.errorString() : QStringLiteral("the source changed size");
        ok = false;
    }
    // Like QFile::copy, the copy gets the source's permissions.
    if (ok)
        out.setPermissions(in.permissions());
    if (ok && !notePlacing(target, inodeOf(temp))) {
        *error = QStringLiteral("cannot write the journal beside the store");
        ok = false;
    }
    if (ok && !QFile::rename(temp, target)) {
        *error = QStringLiteral("cannot rename %1 to the target").arg(temp);
        ok = false;
    }
    if (!ok)
        QFile::remove(temp);
    else if (copied)
        *copied = hasher.result();
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
    endJournal();
}

void AttachmentFiles::rollback()
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i)
        removeWithFolders(m_entries.at(i));
    m_entries.clear();
    m_dirty = false;
    endJournal();
}

int AttachmentFiles::removeReleased(const std::function<bool(const QString&)>& isNamed)
{
    const QList<Noted> released = std::exchange(m_released, {});
    return removeNoted(released, isNamed);
}

QStringList AttachmentFiles::unfinishedJournals() const
{
    const QFileInfo prefix(m_journalPrefix);
    const QDir folder = prefix.absoluteDir();
    QStringList journals;
    const QStringList names = folder.entryList({prefix.fileName() + QLatin1Char('*')},
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString path = folder.absoluteFilePath(name);
        if (path != m_journal.fileName())
            journals.append(path);
    }
    return journals;
}

void AttachmentFiles::forget(const QStringList& journals)
{
    for (const QString& journal : journals)
        QFile::remove(journal);
}

int AttachmentFiles::removeUnfinished(const QStringList& journals, const std::function<bool(const QString&)>& isNamed,
                                      qint64 storeMark)
{
    int removed = 0;
    for (const QString& path : journals) {
        const Journal journal = readJournal(path);
        if (!journal.valid)
            qWarning("message store: the journal %s cannot be read; what it notes is left in place",
                     qUtf8Printable(path));
        else if (journal.storeMark > storeMark)
            qWarning("message store: the store lost rows since the unit of %s began; what it notes is left in place",
                     qUtf8Printable(path));
        else
            removed += removeNoted(journal.noted, isNamed);
    }
    forget(journals);
    return removed;
}

int AttachmentFiles::removeNoted(const QList<Noted>& noted, const std::function<bool(const QString&)>& isNamed) const
{
    int removed = 0;
#ifdef Q_OS_UNIX
    if (noted.isEmpty() || !m_attachments.startsWith(m_root + QLatin1Char('/')))
        return 0;
    // The attachment folder, reached from the store folder without following
    // a link.
    const Fd root(::open(QFile::encodeName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const Fd attachments(openBelow(root.fd, m_attachments.mid(m_root.size() + 1).split(QLatin1Char('/'))));
    if (attachments.fd < 0)
        return 0;
    // The folders of the removed files, each with the outermost folder
    // noted as made for a file there (temporaries note it).
    QHash<QString, QString> madeFor;
    QSet<QString> emptied;
    for (const Noted& n : noted) {
        const QString folder = n.path.section(QLatin1Char('/'), 0, -2);
        QString& made = madeFor[folder];
        if (!n.made.isEmpty() && (made.isEmpty() || made.size() > n.made.size()))
            made = n.made;
        if (!isNamed(m_attachments + QLatin1Char('/') + n.path) && removeNotedFile(attachments.fd, n)) {
            ++removed;
            emptied.insert(folder);
        }
    }
    // Each folder from there up to the made one may go while it is empty;
    // the deepest first, so that a folder goes once the folders in it went.
    QSet<QString> candidates;
    for (const QString& folder : std::as_const(emptied)) {
        const QString made = madeFor.value(folder);
        for (QString f = folder; !made.isEmpty() && (f == made || f.startsWith(made + QLatin1Char('/')));
             f = f.section(QLatin1Char('/'), 0, -2))
            candidates.insert(f);
    }
    QStringList folders(candidates.cbegin(), candidates.cend());
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/')); });
    for (const QString& folder : std::as_const(folders))
        removeEmptyFolderBelow(attachments.fd, folder);
#else
    Q_UNUSED(noted)
    Q_UNUSED(isNamed)
#endif
    return removed;
}

void AttachmentFiles::removeWithFolders(const Entry& entry)
{
    QFile::remove(entry.path);
    if (!entry.madeFolder.isEmpty())
        removeEmptyFolders(QFileInfo(entry.path).absolutePath(), entry.madeFolder);
}
