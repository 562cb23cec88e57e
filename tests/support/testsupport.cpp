#include "testsupport.h"

#include "platform/desktop.h"
#include "shell/core/dataroot.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMutexLocker>
#include <QThread>
#include <QUuid>
#include <QWaitCondition>

#include <QFileInfo>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

namespace testsupport {

namespace {
QString envOr(const char* name, const QString& fallback)
{
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? fallback : v;
}
} // namespace

QString sourceDir()
{
    return envOr("APP_SOURCE_DIR", QDir::currentPath());
}

QString binaryDir()
{
    return envOr("APP_BINARY_DIR", QDir::currentPath());
}

QString appBinDir()
{
    return envOr("APP_BIN_DIR", binaryDir() + QStringLiteral("/bin"));
}

QString sandboxDir()
{
    return envOr("APP_TEST_SANDBOX", QDir::tempPath());
}

QString makeTempDir(const QString& name)
{
    const QString path = sandboxDir() + QStringLiteral("/") + name + QStringLiteral("-")
        + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(path);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesBelow(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

QMap<QString, QByteArray> fileDigests(const QString& dir)
{
    QMap<QString, QByteArray> files;
    for (const QString& f : filesBelow(dir))
        files.insert(
            f, QCryptographicHash::hash(readFile(QDir(dir).absoluteFilePath(f)), QCryptographicHash::Sha256).toHex());
    return files;
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

namespace {

// Sets or clears the immutable attribute; false where the file system or
// our privileges do not allow it.
bool setImmutable(const QString& path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

} // namespace

ReadOnlyMedium::ReadOnlyMedium(const QString& dir)
{
    m_paths << dir;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        m_paths << it.next();
    // Files first, folders last, so that every entry can still be reached.
    for (auto p = m_paths.crbegin(); p != m_paths.crend(); ++p) {
        const bool isDir = QFileInfo(*p).isDir();
        QFile::setPermissions(*p,
                              isDir ? QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                    : QFile::ReadOwner | QFile::ReadGroup);
        setImmutable(*p, true);
    }
    QFile probe(QDir(dir).absoluteFilePath(QStringLiteral(".write-probe")));
    m_ok = !probe.open(QIODevice::WriteOnly);
    if (!m_ok)
        probe.remove();
}

ReadOnlyMedium::~ReadOnlyMedium()
{
    for (const QString& p : std::as_const(m_paths)) {
        setImmutable(p, false);
        const bool isDir = QFileInfo(p).isDir();
        QFile::setPermissions(p,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                  | (isDir ? QFile::ExeOwner | QFile::ExeGroup : QFile::Permissions()));
    }
}

void RecordingJobReport::postUpdateProgress(const QString& status, int progress, const QString& text)
{
    QMutexLocker lock(&m_mutex);
    m_progress.append({status, progress, text});
    if (!m_cancelOn.isEmpty() && (text.contains(m_cancelOn) || status.contains(m_cancelOn)))
        m_canceled = true;
}

void RecordingJobReport::postErrorOccurred(const QString& err)
{
    QMutexLocker lock(&m_mutex);
    m_errors.append(err);
    m_canceled = true; // an error ends the watcher with 0, as a cancel does
}

void RecordingJobReport::postSucceed(const QString& tips)
{
    QMutexLocker lock(&m_mutex);
    m_successes.append(tips);
}

void RecordingJobReport::postTipsWait(const QString& info)
{
    QMutexLocker lock(&m_mutex);
    m_tips.append(info);
    m_waiting = !m_autoAnswer.load();
}

void RecordingJobReport::cancelWhenProgressContains(const QString& text)
{
    QMutexLocker lock(&m_mutex);
    m_cancelOn = text;
}

QList<RecordingJobReport::Progress> RecordingJobReport::progress() const
{
    QMutexLocker lock(&m_mutex);
    return m_progress;
}

QStringList RecordingJobReport::progressTexts() const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const auto& p : m_progress)
        out << p.text;
    return out;
}

QStringList RecordingJobReport::errors() const
{
    QMutexLocker lock(&m_mutex);
    return m_errors;
}

QStringList RecordingJobReport::successes() const
{
    QMutexLocker lock(&m_mutex);
    return m_successes;
}

QStringList RecordingJobReport::tips() const
{
    QMutexLocker lock(&m_mutex);
    return m_tips;
}

bool RecordingJobReport::succeeded() const
{
    QMutexLocker lock(&m_mutex);
    return m_successes.size() == 1 && m_errors.isEmpty();
}

bool RecordingJobReport::failed() const
{
    QMutexLocker lock(&m_mutex);
    return m_errors.size() == 1 && m_successes.isEmpty();
}

int RecordingJobReport::endCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_successes.size() + m_errors.size();
}

namespace {
// Outside a recorder, a test that hands something to the desktop opens
// nothing either: it is refused and logged.
bool refuseToOpen(const QUrl& url)
{
    qWarning("test tried to open %s on the desktop", qUtf8Printable(url.toString()));
    return false;
}
void installRefusingOpener()
{
    desktop::setUrlOpener(refuseToOpen);
}
Q_CONSTRUCTOR_FUNCTION(installRefusingOpener)
} // namespace

void resetDataRoot()
{
    const QDir root = getDataDir();
    for (const char* name : {dataroot::kLocalDatabases, dataroot::kAndroidCache, dataroot::kVirtualAndroid})
        QDir(root.absoluteFilePath(QLatin1String(name))).removeRecursively();
    QFile::remove(root.absoluteFilePath(QLatin1String(dataroot::kLastCheckVersionTime)));
}

UrlRecorder::UrlRecorder()
{
    desktop::setUrlOpener([this](const QUrl& url) {
        urls.append(url);
        return true;
    });
}

UrlRecorder::~UrlRecorder()
{
    installRefusingOpener();
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    struct rlimit current {};
    if (getrlimit(RLIMIT_FSIZE, &current) != 0)
        return;
    m_soft = current.rlim_cur;
    m_hard = current.rlim_max;
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = current;
    small.rlim_cur = rlim_t(bytes);
    m_ok = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_ok)
        return;
    struct rlimit before {};
    before.rlim_cur = rlim_t(m_soft);
    before.rlim_max = rlim_t(m_hard);
    setrlimit(RLIMIT_FSIZE, &before);
}

struct HangGuard::State {
    QMutex mutex;
    QWaitCondition ended;
    bool over = false;
    bool fired = false;
    std::unique_ptr<QThread> thread;
};

HangGuard::HangGuard(std::function<void()> breakHang, int ms)
    : m_state(std::make_unique<State>())
{
    m_state->thread.reset(QThread::create([state = m_state.get(), breakHang = std::move(breakHang), ms] {
        const QDeadlineTimer deadline(ms);
        QMutexLocker lock(&state->mutex);
        while (!state->over) {
            if (!state->ended.wait(&state->mutex, deadline)) {
                state->fired = true;
                lock.unlock();
                qWarning("hang guard: %d ms passed, breaking the hang", ms);
                breakHang();
                return;
            }
        }
    }));
    m_state->thread->start();
}

HangGuard::~HangGuard()
{
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->over = true;
        m_state->ended.wakeAll();
    }
    m_state->thread->wait();
}

bool HangGuard::fired() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->fired;
}

} // namespace testsupport
