#include "dataroot.h"

#include "shell/core/outputfile.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

namespace {

QString redirectFilePath()
{
    return getAppDataDir().filePath(QLatin1String(dataroot::kMakerName) + QLatin1Char('/')
                                    + QLatin1String(dataroot::kProductId) + QStringLiteral(".redirect"));
}

// A test (run by tests/run-test.sh, which names its sandbox) whose data
// root lies outside its sandbox would write into the user's own: it stops
// before anything is written there, and leaves the root's path in its
// sandbox, for the runner to keep for the run (test_dataroot reads it).
// Other programs of the user write their data root as they please.
constexpr char kOutsideTheSandboxNote[] = "data-root-outside-the-sandbox";

void stopAtADataRootOutsideTheTestSandbox(const QString& root)
{
    const QString sandbox = qEnvironmentVariable("APP_TEST_SANDBOX");
    if (sandbox.isEmpty())
        return;
    const QString inside = QDir::cleanPath(QFileInfo(sandbox).absoluteFilePath()) + QLatin1Char('/');
    if (QDir::cleanPath(root).startsWith(inside))
        return;
    OutputFile note(inside + QLatin1String(kOutsideTheSandboxNote));
    if (note.open() && note.write(root.toUtf8()))
        note.commit();
    qFatal("The data root %s lies outside the test sandbox %s.", qUtf8Printable(root), qUtf8Printable(sandbox));
}

// The location fixed by the first getDataDir() call. Written once during
// start-up; the mutex keeps a first call from a job thread safe as well.
QMutex g_dataDirMutex;
QString g_dataDir;

QString cachedDataDir()
{
    QMutexLocker lock(&g_dataDirMutex);
    if (g_dataDir.isEmpty()) {
        g_dataDir = dataroot::resolveDataDir();
        stopAtADataRootOutsideTheTestSandbox(g_dataDir);
    }
    return g_dataDir;
}

} // namespace

QDir getAppDataDir()
{
#ifdef Q_OS_WIN
    const QDir home = QDir::home();
    const QString modern = home.filePath(QStringLiteral("AppData/Roaming"));
    if (QFileInfo(modern).isDir())
        return QDir(modern);
    return QDir(home.filePath(QStringLiteral("Application Data")));
#else
    // The XDG data home stands for the application-data folder.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty())
        dir = QDir::home().filePath(QStringLiteral(".local/share"));
    return QDir(dir);
#endif
}

QString getMakerDataDir()
{
    return QFileInfo(getAppDataDir().filePath(QLatin1String(dataroot::kMakerName))).absoluteFilePath();
}

QString readRedirectDir()
{
    QFile file(redirectFilePath());
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = file.readAll();
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    const QString target = QString::fromUtf8(bytes);
    // Nothing is trimmed: a path with a trailing line break names nothing.
    if (target.isEmpty() || !QFileInfo::exists(target))
        return QString();
    return target;
}

QString dataroot::resolveDataDir()
{
    QString base = readRedirectDir();
    if (base.isEmpty())
        base = getMakerDataDir();
    return QFileInfo(QDir(base).filePath(QLatin1String(kProductId))).absoluteFilePath();
}

QDir getDataDir()
{
    const QString path = cachedDataDir();
    QDir().mkpath(path);
    return QDir(path);
}

QDir getLocalDatabasesDir()
{
    const QString path = QFileInfo(getDataDir().filePath(QLatin1String(dataroot::kLocalDatabases))).absoluteFilePath();
    if (!QFileInfo(path).isDir())
        QDir().mkpath(path);
    return QDir(path);
}

QDir privateTempDir()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = getDataDir().absolutePath();
    const QString path = QDir(base).absoluteFilePath(
        QStringLiteral("%1/%2/tmp").arg(QLatin1String(dataroot::kMakerName), QLatin1String(dataroot::kProductId)));
    QDir dir(path);
    if (!dir.exists() && dir.mkpath(QStringLiteral(".")))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return dir;
}
