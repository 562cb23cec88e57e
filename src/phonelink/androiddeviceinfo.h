// The descriptor of a phone reached over USB (adb) or Wi-Fi, and the way to
// open one Phone Agent service on it.
#pragma once

#include "shell/core/fileutils.h"

#include <QDateTime>
#include <QDir>
#include <QString>

class QTcpSocket;

// How the application addresses the Phone Agent on the phone.
namespace PhoneAgentPackage {
inline constexpr char kPackage[] = "com.quillharbor.phoneagent";
inline constexpr char kActivity[] = "com.quillharbor.phoneagent/.PhoneAgent";
inline constexpr char kReceiverSuffix[] = "/.AdbSyncBroadcastReceiver";
inline constexpr char kResource[] = ":/res/com.quillharbor.phoneagent.apk";
// Installed versions below this one are replaced.
inline constexpr int kMinVersion = 12;
// The Phone Agent's control port on Wi-Fi.
inline constexpr int kWifiControlPort = 48889;

QString package();
QString activity();
QString receiver(); // package + receiver suffix
QString resource();
} // namespace PhoneAgentPackage

class AndroidDeviceInfo {
public:
    QString folder; // folder of a virtual device; empty for a connected phone
    QString serial; // adb serial (USB)
    QString uid; // the phone's id as the Phone Agent reports it
    bool isWiFi = false;
    QString host; // IPv4 address of the phone (Wi-Fi)
    int port = 0; // Wi-Fi control port
    int version = 0; // Phone Agent version
    QString model;
    QString manufacturer;
    QString imei; // names the cache folder (see cacheFolderName)
    QString sdk; // Android version text, shown as is
    QString mmc; // mobile country code as the phone sends it

    // When each kind was last loaded from this phone; null until the page of
    // that kind loaded it successfully. The phone link itself never reads them.
    QDateTime playlistsLoadTime;
    QDateTime messagesLoadTime;
    QDateTime contactsLoadTime;
    QDateTime calendarsLoadTime;
    QDateTime callsLoadTime;
    QDateTime bookmarksLoadTime;
    QDateTime otherLoadTime;
    // Nulls every load time: each kind is loaded again before it is used.
    void forgetLoadTimes();

    // Manufacturer and model, trimmed.
    QString displayName() const;
    // uid over Wi-Fi, serial over USB.
    QString deviceId() const;
    // The phone's cache folder, "android_cache/<cacheFolderName()>" under the
    // data root; created when missing.
    QDir cacheDir() const;
    // The cache folder's own name: the IMEI, or the uid when the phone
    // withholds its IMEI (then the serial), made into one safe path component.
    QString cacheFolderName() const;
    // Name of the saved-country file: the device id as one safe path
    // component, plus ".mmc".
    QString mmcFileName() const;

    // Fills the fields from the "$hello:" payload of the device-info service
    // (key=value pairs separated by ';'); unknown keys are ignored.
    void parseDeviceInfo(const QString& payload);

    // Over USB, force-stops the Phone Agent; reports nothing whatever adb does.
    void forceStopAgent() const;

    // Opens the service named by the URL and returns a connected socket on
    // which "$ready:" has been read. The socket has no parent and lives on the
    // calling thread; the caller owns it. Jobs do not call this themselves:
    // they open their services through a PhoneSession. Throws std::runtime_error (or a protocol exception); a
    // cancel of the calling job (simpleprotocol::CancelScope) throws int -1.
    QTcpSocket* connect(const QString& url, int timeoutMs) const;
    QTcpSocket* connectUsb(const QString& url, int timeoutMs) const;
    QTcpSocket* connectWifi(const QString& url, int timeoutMs) const;
};
