// Watches adb for phones coming and going on USB. Its loop runs as a task of
// the global thread pool; the signals reach the GUI as queued calls.
//
// A serial is announced when it enters the listing, whatever its state, and
// again when its state becomes "device": a phone first listed as
// 'unauthorized' is usable once the user allowed debugging on it, and only
// then can it be connected.
#pragma once

#include "phonelink/adbdevice.h"

#include <QFuture>
#include <QHash>
#include <QThread>

#include <atomic>

class AndroidMonitor : public QThread {
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 3000;
    static constexpr int kDefaultKillTimeoutMs = 10000;
    // The private server is stopped on shutdown; a hung adb must not hold
    // the application open for long.
    static constexpr int kShutdownKillTimeoutMs = 5000;

    explicit AndroidMonitor(QObject* parent = nullptr);
    // Stops the loop (killing a running adb), waits for it, then stops the
    // private adb server.
    ~AndroidMonitor() override;

    // Starts the loop on the global thread pool. Called once.
    void start();
    // The loop; returns once the monitor is being destroyed.
    void monitor();

    // How many serials the monitor currently knows (0: no phone seen).
    int knownCount() const { return m_knownCount.load(); }

    // For tests: poll faster than every 3 seconds. Call before start().
    void setPollInterval(int ms) { m_pollMs = ms; }

Q_SIGNALS:
    void deviceConnected(AdbDevice dev);
    void deviceDisconnected(QString devid);

private:
    void startPrivateServer();
    void pollOnce();
    // Sleeps ms in short steps; false when the stop flag was set meanwhile.
    bool sleepUnlessStopped(int ms);

    std::atomic<bool> m_stop {false};
    // The serials announced and not withdrawn, each with whether adb last
    // listed it as usable; touched by the loop only.
    QHash<QString, bool> m_known;
    std::atomic<int> m_knownCount {0};
    QFuture<void> m_future;
    int m_pollMs = kPollIntervalMs;
};
