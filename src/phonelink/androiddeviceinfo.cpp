#include "phonelink/androiddeviceinfo.h"

#include "shell/core/dataroot.h"
#include "shell/core/fileutils.h"

#include <QRegularExpression>

namespace PhoneAgentPackage {
QString package()
{
    return QString::fromLatin1(kPackage);
}
QString activity()
{
    return QString::fromLatin1(kActivity);
}
QString receiver()
{
    return package() + QLatin1String(kReceiverSuffix);
}
QString resource()
{
    return QString::fromLatin1(kResource);
}
} // namespace PhoneAgentPackage

QString AndroidDeviceInfo::displayName() const
{
    QString name = manufacturer;
    if (!model.isEmpty())
        name += QLatin1Char(' ') + model;
    return name.trimmed();
}

QString AndroidDeviceInfo::deviceId() const
{
    return isWiFi ? uid : serial;
}

QString AndroidDeviceInfo::cacheFolderName() const
{
    // Current Android withholds the IMEI: such phones must not share one
    // folder, so the agent's uid (then the serial) stands in for it.
    for (const QString& candidate : {imei, uid, serial}) {
        const QString name = phoneNameToPathComponent(candidate);
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("unknown_device");
}

QString AndroidDeviceInfo::mmcFileName() const
{
    QString name = phoneNameToPathComponent(deviceId());
    if (name.isEmpty())
        name = QStringLiteral("unknown_device");
    return name + QLatin1String(".mmc");
}

QDir AndroidDeviceInfo::cacheDir() const
{
    const QString base = getDataDir().absoluteFilePath(QLatin1String(dataroot::kAndroidCache));
    // cacheFolderName() is one clean component, so this cannot leave base.
    QString path = pathUnder(base, cacheFolderName());
    if (path.isEmpty())
        path = QDir(base).absoluteFilePath(QStringLiteral("unknown_device"));
    QDir().mkpath(path);
    return QDir(path);
}

void AndroidDeviceInfo::forgetLoadTimes()
{
    for (QDateTime AndroidDeviceInfo::*loadTime :
         {&AndroidDeviceInfo::playlistsLoadTime, &AndroidDeviceInfo::messagesLoadTime,
          &AndroidDeviceInfo::contactsLoadTime, &AndroidDeviceInfo::calendarsLoadTime,
          &AndroidDeviceInfo::callsLoadTime, &AndroidDeviceInfo::bookmarksLoadTime, &AndroidDeviceInfo::otherLoadTime})
        this->*loadTime = QDateTime();
}

void AndroidDeviceInfo::parseDeviceInfo(const QString& payload)
{
    static const QRegularExpression pair(QStringLiteral("([^=;]+)=([^=;]+);?"));
    auto it = pair.globalMatch(payload);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString key = m.captured(1);
        const QString value = m.captured(2);
        if (key == QLatin1String("version"))
            version = value.toInt(); // 0 when not a number
        else if (key == QLatin1String("model"))
            model = value;
        else if (key == QLatin1String("manufacturer"))
            manufacturer = value;
        else if (key == QLatin1String("imei"))
            imei = value;
        else if (key == QLatin1String("uid"))
            uid = value;
        else if (key == QLatin1String("sdk"))
            sdk = value;
        else if (key == QLatin1String("mmc"))
            mmc = value;
    }
}
