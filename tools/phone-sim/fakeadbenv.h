// Test helper around tools/fake-adb: a folder with an "adb" link to the
// stand-in put first on PATH, its state file, its call log and its record of
// the calls that hang.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace phonesim {

class FakeAdb {
public:
    struct Device {
        Device(const QString& serial = QString(), const QString& state = QStringLiteral("device"), int agentVersion = 0,
               int installVersion = 100, const QString& bridge = QString())
            : serial(serial)
            , state(state)
            , agentVersion(agentVersion)
            , installVersion(installVersion)
            , bridge(bridge)
        {
        }
        QString serial;
        QString state = QStringLiteral("device");
        int agentVersion = 0; // 0: the Phone Agent is not installed
        int installVersion = 100; // the version "install" puts on the phone
        QString bridge; // PhoneSim::bridgeAddress(), or empty
    };
    struct Call {
        QStringList args;
        QString serverPort; // ANDROID_ADB_SERVER_PORT, empty when unset
        bool serverPortSet = false;
        int hangMs = 0; // hangs(): the hang it read
    };

    // Sets everything up below dir. binary defaults to the built stand-in.
    explicit FakeAdb(const QString& dir, const QString& binary = defaultBinary());
    static QString defaultBinary();
    // False when the stand-in binary is missing or the link failed.
    bool isValid() const { return m_valid; }

    // Puts the link folder first on this process's PATH and names the state
    // and log files in its environment, so every adb child finds them.
    void install() const;

    QString binDir() const { return m_dir + QStringLiteral("/bin"); }
    QString statePath() const { return m_dir + QStringLiteral("/adb-state.json"); }
    QString logPath() const { return m_dir + QStringLiteral("/adb-log.jsonl"); }
    QString hangLogPath() const { return m_dir + QStringLiteral("/adb-hangs.jsonl"); }

    void setDevices(const QList<Device>& devices);
    // Overrides the answer of one command ("devices", "dumpsys", "install",
    // "start", "broadcast", "forward", "force-stop", "start-server",
    // "kill-server"): optional hang, then the given output and exit code.
    void setCommand(const QString& key, const QString& out, const QString& err = QString(), int exitCode = 0,
                    int hangMs = 0);
    // Only delays the command, then answers as usual.
    void setHang(const QString& key, int hangMs);
    void clearCommand(const QString& key);

    QJsonObject state() const;
    void setState(const QJsonObject& state);
    // Every call so far, in order. A call is logged before it reads the
    // state: one logged after a change sees it, one logged before may too.
    QList<Call> calls() const;
    // The calls that read a hang and began it, in that order. A test that
    // sets a hang waits here for the call that hangs: the last call logged
    // may be that one, or the next.
    QList<Call> hangs() const;
    // The calls as "adb a b c" lines.
    QStringList commandLines() const;
    // Forgets the calls and the hangs so far.
    void clearLog() const;

private:
    QString m_dir;
    bool m_valid = false;
};

} // namespace phonesim
