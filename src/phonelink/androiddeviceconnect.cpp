// Opening a Phone Agent service: over USB through an adb broadcast and a
// port forward, over Wi-Fi through the agent's control port.
#include "phonelink/adbhelper.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/jobreport.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <stdexcept>

namespace {

// The agent is given this long to open the forwarded port and to greet.
constexpr int kUsbAttemptMs = 5000;
constexpr int kWifiControlConnectMs = 10000;
// The agent answers the control line at once; a silent one is given up on.
constexpr int kWifiControlReplyMs = 60000;
// Pause between refused USB attempts so they do not spin.
constexpr int kUsbRetryPauseMs = 50;

[[noreturn]] void fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

int urlPort(const QString& url)
{
    return QUrl(url).port(-1);
}

// Waits for the socket to connect, checking the job's cancel between short
// slices. (waitForConnected cannot be sliced: its time-out drops the attempt.)
bool waitConnected(QTcpSocket* socket, int timeoutMs)
{
    if (socket->state() == QAbstractSocket::ConnectedState)
        return true;
    if (socket->state() == QAbstractSocket::UnconnectedState)
        return false;
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    bool canceled = false;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(simpleprotocol::kWaitSliceMs);
    QObject::connect(socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        try {
            simpleprotocol::checkCanceled();
        } catch (int) {
            canceled = true;
        }
        if (canceled || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    if (socket->state() != QAbstractSocket::ConnectedState && socket->state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    if (canceled) {
        socket->abort();
        throw int(jobreport::kCanceled);
    }
    if (socket->state() == QAbstractSocket::ConnectedState)
        return true;
    socket->abort();
    return false;
}

struct SocketCloser {
    void operator()(QTcpSocket* s) const
    {
        s->abort();
        delete s;
    }
};
using OwnedSocket = std::unique_ptr<QTcpSocket, SocketCloser>;

} // namespace

QTcpSocket* AndroidDeviceInfo::connect(const QString& url, int timeoutMs) const
{
    return isWiFi ? connectWifi(url, timeoutMs) : connectUsb(url, timeoutMs);
}

QTcpSocket* AndroidDeviceInfo::connectUsb(const QString& url, int timeoutMs) const
{
    AdbHelper adb;
    adb.trigger(serial, QStringLiteral("broadcast"), PhoneAgentPackage::receiver(), QString(), url, QStringList(),
                QString());
    const int port = urlPort(url);
    adb.forward(serial, port, port);

    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    OwnedSocket socket(new QTcpSocket);
    for (;;) {
        simpleprotocol::checkCanceled();
        const qint32 elapsed = qint32(QDateTime::currentMSecsSinceEpoch() - start);
        if (timeoutMs >= 0 && elapsed > timeoutMs)
            fail(QStringLiteral("start %1 failed.").arg(url));

        if (socket->state() != QAbstractSocket::ConnectedState) {
            socket->abort();
            socket->connectToHost(QStringLiteral("127.0.0.1"), quint16(port), QIODevice::ReadWrite);
            if (!waitConnected(socket.get(), kUsbAttemptMs)) {
                socket->abort();
                QThread::msleep(kUsbRetryPauseMs);
                continue;
            }
        }
        try {
            simpleprotocol::expectCommand(socket.get(), QStringLiteral("$ready:"), kUsbAttemptMs);
            return socket.release();
        } catch (const simpleprotocol::SocketDataTransferException&) {
            // The agent may not be listening yet behind the forward.
            qDebug("connect %s failed, try again...", qUtf8Printable(url));
        }
    }
}

QTcpSocket* AndroidDeviceInfo::connectWifi(const QString& url, int timeoutMs) const
{
    QString reply;
    {
        OwnedSocket control(new QTcpSocket);
        control->connectToHost(host, quint16(port), QIODevice::ReadWrite);
        if (!waitConnected(control.get(), kWifiControlConnectMs))
            fail(QStringLiteral("can not connect %1:%2.").arg(host).arg(port));
        simpleprotocol::sendCommand(control.get(), url, QString(), true, -1);
        reply = simpleprotocol::readCommand(control.get(), kWifiControlReplyMs);
        control->disconnectFromHost();
    }
    if (reply.startsWith(QLatin1Char('0')))
        fail(QStringLiteral("start %1 failed.%2").arg(url, simpleprotocol::decodeField(reply.mid(1))));

    OwnedSocket socket(new QTcpSocket);
    socket->connectToHost(host, quint16(urlPort(url)), QIODevice::ReadWrite);
    if (!waitConnected(socket.get(), timeoutMs))
        fail(QStringLiteral("connec %1 failed.").arg(url));
    simpleprotocol::expectCommand(socket.get(), QStringLiteral("$ready:"), timeoutMs);
    return socket.release();
}

void AndroidDeviceInfo::forceStopAgent() const
{
    if (isWiFi)
        return;
    try {
        // Usually called after a cancel: the stop itself must not be
        // cancelled with the job (it still has adb's time limit).
        simpleprotocol::CancelScope uncancellable(std::function<bool()> {});
        AdbHelper().forceStop(serial, PhoneAgentPackage::package());
    } catch (const std::exception& e) {
        qDebug("forceStopAgent: %s", e.what());
    }
}
