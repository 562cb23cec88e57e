#include "shell/main/updatecheck.h"

#include "shell/core/dataroot.h"
#include "shell/core/errorreport.h"
#include "shell/core/outputfile.h"

#include <QFile>

namespace updatecheck {

namespace {

// The update page asks for a volume serial; this PC gives none to read, so a
// fixed value stands in.
constexpr char kNoVolumeSerial[] = "123456";

// The platform this program was built for, as the update page names it:
// "win64", "linux64" and the like.
#if defined(Q_OS_WIN)
#define APP_UPDATE_OS "win"
#elif defined(Q_OS_MACOS)
#define APP_UPDATE_OS "mac"
#elif defined(Q_OS_LINUX)
#define APP_UPDATE_OS "linux"
#else
#define APP_UPDATE_OS "unix"
#endif
#if QT_POINTER_SIZE == 8
#define APP_UPDATE_BITS "64"
#else
#define APP_UPDATE_BITS "32"
#endif
constexpr char kSystem[] = APP_UPDATE_OS APP_UPDATE_BITS;
#undef APP_UPDATE_OS
#undef APP_UPDATE_BITS

} // namespace

QString stampPath()
{
    return getDataDir().absoluteFilePath(QLatin1String(dataroot::kLastCheckVersionTime));
}

bool isCheckDue(const QString& path, qint64 now)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return true;
    bool ok = false;
    const qint64 stamp = file.read(64).trimmed().toLongLong(&ok);
    if (!ok || stamp == 0)
        return true;
    const quint32 elapsed = quint32(now) - quint32(stamp);
    return elapsed > quint32(kCheckIntervalSeconds);
}

void writeStamp(const QString& path, qint64 now)
{
    // A stamp that cannot be written keeps the one before: the next start
    // checks again at worst.
    OutputFile file(path);
    if (!file.open() || !file.write(QByteArray::number(now)) || !file.commit())
        qWarning("update check: cannot write %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
}

Reply classify(int httpStatus, const QByteArray& body)
{
    if (httpStatus != 200)
        return Reply::Ignored;
    if (body.trimmed().left(7).toLower() == "http://")
        return Reply::NewVersion;
    return Reply::Current;
}

QString downloadAddress(const QByteArray& body)
{
    return QString::fromUtf8(body.trimmed());
}

QUrl checkUrl(const QUrl& base)
{
    return appinfo::serviceUrl(
        base, QStringLiteral("/sms_check_update.php"),
        QStringLiteral("pid=%1&ver=%2&q=1").arg(QLatin1String(dataroot::kProductId)).arg(appinfo::kBuildNumber));
}

QUrl updatePageUrl(const QUrl& base)
{
    return appinfo::serviceUrl(base, QStringLiteral("/sms_check_update.php"),
                               QStringLiteral("pid=%1&ver=%2&vs=%3&sys=%4")
                                   .arg(QLatin1String(dataroot::kProductId))
                                   .arg(appinfo::kBuildNumber)
                                   .arg(QLatin1String(kNoVolumeSerial), QLatin1String(kSystem)));
}

} // namespace updatecheck
