// Runs the Android Debug Bridge as a child process against the application's
// private adb server and turns its output into results.
#pragma once

#include "phonelink/adbdevice.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

class AdbHelper {
public:
    // The application's own adb server, kept apart from any other on the PC.
    static constexpr int kServerPort = 30399;
    static constexpr int kStartTimeoutMs = 10000;
    // Most adb commands answer within seconds; a hung adb is killed after this.
    static constexpr int kDefaultTimeoutMs = 60000;
    // Installing a package copies it to the phone and may take minutes.
    static constexpr int kInstallTimeoutMs = 10 * 60000;

    // canceled, when given, is polled while adb runs: once it returns true adb
    // is killed and run() throws std::runtime_error. Used by callers that
    // must stop promptly. Whatever is given, a cancel of the calling thread's
    // cancel scope (simpleprotocol::CancelScope, which every job installs)
    // also kills adb, and run() then throws int(jobreport::kCanceled).
    explicit AdbHelper(std::function<bool()> canceled = {});

    // The program to start; with port > 0 the process gets the system
    // environment plus ANDROID_ADB_SERVER_PORT=port, with 0 it is left alone.
    static QString adbProgram(QProcess& process, int port);

    // Which adb executable to start: "adb" (found on PATH) unless set here.
    // Set before any adb call is made.
    static void setProgram(const QString& path);
    static QString program();

    // Runs adb on the private server. Returns standard output, or standard
    // error, a line feed and standard output when adb wrote to standard
    // error. When adb does not start it returns "run adb failed.". With
    // throwOnError, both of those throw std::runtime_error instead (with the
    // error output as text). adb that runs past timeoutMs, or is cancelled,
    // is killed and throws std::runtime_error whatever the flag.
    QString run(const QStringList& args, bool throwOnError = false, int timeoutMs = kDefaultTimeoutMs);

    // "kill-server" on the private server; never throws.
    void killServer(int timeoutMs = kDefaultTimeoutMs);
    // "kill-server" on adb's default server (no port in the environment);
    // waits at most timeoutMs and ignores the result; never throws.
    void killDefaultServer(int timeoutMs);

    QList<AdbDevice> devices();
    void forward(const QString& serial, int localPort, int remotePort);
    void forceStop(const QString& serial, const QString& package);
    // The installed versionCode of the package, 0 when none is found; adb's
    // whole output goes to output.
    int versionCode(const QString& serial, const QString& package, QString& output);
    // "am <verb>" with the optional intent parts; throws std::runtime_error
    // with adb's whole output when a line of it begins with "error:".
    void trigger(const QString& serial, const QString& verb, const QString& component, const QString& action,
                 const QString& data, const QStringList& categories, const QString& type);

    // Parsers of adb's answers, public for tests.
    static QList<AdbDevice> parseDevices(const QString& output);
    static int parseVersionCode(const QString& output);
    static bool hasErrorLine(const QString& output);

private:
    QString execute(const QStringList& args, int port, bool throwOnError, int timeoutMs);

    std::function<bool()> m_canceled;
};
