// The two jobs that turn "a phone is there" into a filled AndroidDeviceInfo:
// over USB (install and start the Phone Agent, then ask it) and over Wi-Fi
// (the agent already runs; only ask it). Both report through a JobReport;
// the caller reads device() after the report ended.
#pragma once

#include "phonelink/androiddeviceinfo.h"

#include <QThread>

class JobReport;

class AndroidConnectWithUSBThread : public QThread {
    Q_OBJECT
public:
    // Time to let the phone settle after installing the Phone Agent.
    static constexpr int kInstallPauseMs = 5000;

    AndroidConnectWithUSBThread(const QString& serial, JobReport* progress, QObject* parent = nullptr);

    const AndroidDeviceInfo& device() const { return m_device; }

    // Error texts posted on failure; the exception's text follows them.
    static QString agentInstallFailedText();
    static QString connectFailedText();

    // Tests: shorten the pause after installing. Process-wide.
    static void setInstallPauseMs(int ms);

protected:
    void run() override;

private:
    JobReport* m_progress;
    AndroidDeviceInfo m_device;
};

class AndroidConnectWithWiFiThread : public QThread {
    Q_OBJECT
public:
    AndroidConnectWithWiFiThread(const QString& host, JobReport* progress, QObject* parent = nullptr);

    const AndroidDeviceInfo& device() const { return m_device; }

protected:
    void run() override;

private:
    AndroidDeviceInfo m_device;
    JobReport* m_progress;
};

namespace phonelink {
// Asks the phone's "device-info" service and fills the descriptor from its
// "$hello:" line. Throws on failure; a job cancel throws int -1.
void readDeviceInfo(AndroidDeviceInfo& device);
// Copies the Phone Agent package out of the resources into the data root,
// replacing a stale copy; returns its path. Failures are only logged: a
// package that is missing shows up when the agent cannot be started.
QString copyAgentPackage();
} // namespace phonelink
