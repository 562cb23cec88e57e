#include "phonelink/androidconnectthreads.h"

#include "phonelink/adbhelper.h"
#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/dataroot.h"
#include "shell/core/jobreport.h"
#include "shell/core/outputfile.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <atomic>
#include <stdexcept>

namespace {

std::atomic<int> g_installPauseMs {AndroidConnectWithUSBThread::kInstallPauseMs};

// The agent sends "$hello:" right after "$ready:"; one that stays silent
// this long is given up on rather than waited for forever.
constexpr int kHelloTimeoutMs = 60000;

QString exceptionText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

namespace phonelink {

void readDeviceInfo(AndroidDeviceInfo& device)
{
    // The connection threads never stop the Phone Agent.
    PhoneSession session(device, PhoneSession::OnFailure::KeepAgent);
    QTcpSocket* socket = session.open(PhoneSession::Scheme::Backup, QStringLiteral("device-info"));
    const QString line = simpleprotocol::readCommand(socket, kHelloTimeoutMs);
    // The payload follows "$hello:"; the prefix itself is not checked.
    const QString payload = line.mid(7);
    simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
    session.close();
    device.parseDeviceInfo(payload);
}

QString copyAgentPackage()
{
    const QString resource = PhoneAgentPackage::resource();
    const QString target = getDataDir().absoluteFilePath(QFileInfo(resource).fileName());
    // Written beside the target and put in its place only when whole: adb
    // never installs a package cut short by a full disk.
    QFile in(resource);
    OutputFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open() || !out.write(in.readAll()) || !out.commit())
        qDebug("copyAgentPackage: cannot copy the package to %s: %s", qUtf8Printable(target),
               qUtf8Printable(in.isOpen() ? out.errorString() : in.errorString()));
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return target;
}

} // namespace phonelink

// ---------------------------------------------------------------------------

AndroidConnectWithUSBThread::AndroidConnectWithUSBThread(const QString& serial, JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_progress(progress)
{
    m_device.serial = serial;
    m_device.isWiFi = false;
}

QString AndroidConnectWithUSBThread::agentInstallFailedText()
{
    return QStringLiteral("Please go to Google Play on your Android Phone to download and install Quillharbor "
                          "Phone Agent first and then try again. <br/><br/>Error:");
}

QString AndroidConnectWithUSBThread::connectFailedText()
{
    return QStringLiteral("Please try the following:<br/><br/>"
                          "1 Go to Google Play on your phone to download and installed the latest version "
                          "Quillharbor Phone Agent.<br/><br/>"
                          "2 Run Quillharbor Phone Agent on your Android Phone and then restart Quillharbor "
                          "software on computer to try again.<br/><br/>");
}

void AndroidConnectWithUSBThread::setInstallPauseMs(int ms)
{
    g_installPauseMs = ms;
}

void AndroidConnectWithUSBThread::run()
{
    // The cancel reaches every wait of the run, adb calls included: a
    // cancelled connection kills adb instead of waiting for its time limit.
    simpleprotocol::CancelScope cancel(m_progress);
    try {
        AdbHelper adb;
        QString dump;
        const int installed = adb.versionCode(m_device.serial, PhoneAgentPackage::package(), dump);
        if (installed < PhoneAgentPackage::kMinVersion) {
            const QString package = phonelink::copyAgentPackage();
            try {
                // The output is not examined: a failed install shows when the
                // agent cannot be started below.
                adb.run(
                    {QStringLiteral("-s"), m_device.serial, QStringLiteral("install"), QStringLiteral("-r"), package},
                    false, AdbHelper::kInstallTimeoutMs);
                QThread::msleep(g_installPauseMs.load());
            } catch (const std::exception& e) {
                m_progress->postErrorOccurred(agentInstallFailedText() + exceptionText(e));
                return;
            }
        }
        adb.trigger(m_device.serial, QStringLiteral("start"), PhoneAgentPackage::activity(), QString(), QString(),
                    QStringList(), QString());

        simpleprotocol::checkCanceled();
        m_progress->postUpdateProgress(tr("IDS_GET_ANDROID_DEVICE_INFO"), 99, QString());
        phonelink::readDeviceInfo(m_device);
        m_progress->postSucceed(QString());
    } catch (int) {
        // Cancelled by the user; the dialog has ended already.
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(connectFailedText() + exceptionText(e));
    }
}

// ---------------------------------------------------------------------------

AndroidConnectWithWiFiThread::AndroidConnectWithWiFiThread(const QString& host, JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_progress(progress)
{
    m_device.isWiFi = true;
    m_device.host = host;
    m_device.port = PhoneAgentPackage::kWifiControlPort;
}

void AndroidConnectWithWiFiThread::run()
{
    try {
        m_progress->postUpdateProgress(tr("IDS_GET_ANDROID_DEVICE_INFO"), 99, QString());
        simpleprotocol::CancelScope cancel(m_progress);
        phonelink::readDeviceInfo(m_device);
        m_progress->postSucceed(QString());
    } catch (int) {
        // Cancelled by the user; the dialog has ended already.
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(exceptionText(e));
    }
}
