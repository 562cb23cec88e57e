#include "phonelink/androidmonitor.h"

#include "phonelink/adbhelper.h"

#include <QDebug>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <stdexcept>

namespace {
constexpr int kSleepSliceMs = 50;
}

AndroidMonitor::AndroidMonitor(QObject* parent)
    : QThread(parent)
{
}

AndroidMonitor::~AndroidMonitor()
{
    qDebug("~AndroidMonitor begin");
    m_stop = true;
    m_future.waitForFinished();
    AdbHelper().killServer(kShutdownKillTimeoutMs);
    qDebug("~AndroidMonitor end");
}

void AndroidMonitor::start()
{
    m_future = QtConcurrent::run(&AndroidMonitor::monitor, this);
}

bool AndroidMonitor::sleepUnlessStopped(int ms)
{
    for (int waited = 0; waited < ms; waited += kSleepSliceMs) {
        if (m_stop)
            return false;
        QThread::msleep(std::min(kSleepSliceMs, ms - waited));
    }
    return !m_stop;
}

void AndroidMonitor::startPrivateServer()
{
    AdbHelper adb([this] { return m_stop.load(); });
    // Another adb server on the default port would fight ours for the phones.
    adb.killDefaultServer(kDefaultKillTimeoutMs);
    if (m_stop)
        return;
    const QString out = adb.run({QStringLiteral("start-server")});
    if (!out.contains(QLatin1String("daemon started successfully"), Qt::CaseInsensitive))
        qDebug("AndroidMonitor: start-server said %s", qUtf8Printable(out));
    // No device-manager tool exists to repair the USB set-up here, so a
    // server that did not say it started is not asked again.
}

void AndroidMonitor::pollOnce()
{
    AdbHelper adb([this] { return m_stop.load(); });
    const QList<AdbDevice> listed = adb.devices();
    QSet<QString> serials;
    for (const AdbDevice& dev : listed) {
        if (serials.contains(dev.serial))
            continue; // a serial listed twice counts once, as first listed
        serials.insert(dev.serial);
        const auto known = m_known.find(dev.serial);
        if (known == m_known.end()) {
            Q_EMIT deviceConnected(dev);
            m_known.insert(dev.serial, dev.isOnline());
        } else if (known.value() != dev.isOnline()) {
            known.value() = dev.isOnline();
            if (dev.isOnline())
                Q_EMIT deviceConnected(dev);
        }
    }
    QStringList gone;
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it) {
        if (!serials.contains(it.key()))
            gone.append(it.key());
    }
    gone.sort(); // a stable order for the withdrawals
    for (const QString& s : std::as_const(gone)) {
        m_known.remove(s);
        Q_EMIT deviceDisconnected(s);
    }
    m_knownCount = int(m_known.size());
}

void AndroidMonitor::monitor()
{
    try {
        startPrivateServer();
    } catch (const std::exception& e) {
        qDebug("AndroidMonitor: %s", e.what());
    }
    while (!m_stop) {
        try {
            pollOnce();
        } catch (const std::exception& e) {
            // A failed listing changes nothing; the next one tries again.
            qDebug("AndroidMonitor: %s", e.what());
        }
        if (!sleepUnlessStopped(m_pollMs))
            break;
    }
}
