// fake-adb: stands in for adb in tests (format of the state file in
// tools/phone-sim/README.md).
//
// FAKE_ADB_STATE names a JSON state file, read again on every call, so a test
// can change the device list between calls. FAKE_ADB_LOG names a file that
// gets one JSON line per call: the arguments and ANDROID_ADB_SERVER_PORT. A
// call is logged before it reads the state, so a call logged after a change
// sees it; one logged before may see it too. FAKE_ADB_HANG_LOG names a file
// that gets the same line, with "hangMs", when a call read a hang and begins
// it: a test that sets a hang waits for that line to know which call hangs.
// Broadcasts, "am start" and force-stops go to the simulated phone named by
// the device's "bridge" address ("host:port").
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>

namespace {

struct Answer {
    QByteArray out;
    QByteArray err;
    int exit = 0;
};

QString statePath()
{
    return qEnvironmentVariable("FAKE_ADB_STATE");
}

QJsonObject readState()
{
    QFile f(statePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

void writeState(const QJsonObject& state)
{
    QSaveFile f(statePath());
    if (f.open(QIODevice::WriteOnly)) {
        f.write(QJsonDocument(state).toJson());
        f.commit();
    }
}

// Appends the call as one JSON line to the file named by the variable; a hang
// begun is added with its length.
void logCall(const char* variable, const QStringList& args, int hangMs = 0)
{
    const QString path = qEnvironmentVariable(variable);
    if (path.isEmpty())
        return;
    QJsonObject entry;
    entry.insert(QStringLiteral("args"), QJsonArray::fromStringList(args));
    entry.insert(QStringLiteral("ANDROID_ADB_SERVER_PORT"),
                 qEnvironmentVariableIsSet("ANDROID_ADB_SERVER_PORT")
                     ? QJsonValue(qEnvironmentVariable("ANDROID_ADB_SERVER_PORT"))
                     : QJsonValue());
    if (hangMs > 0)
        entry.insert(QStringLiteral("hangMs"), hangMs);
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.lock();
    QFile f(path);
    if (f.open(QIODevice::Append))
        f.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
}

// Hands one command to the simulated phone; its reply line, or an error text.
QByteArray toBridge(const QString& address, const QStringList& parts)
{
    const int colon = address.lastIndexOf(QLatin1Char(':'));
    if (address.isEmpty() || colon < 0)
        return "no bridge";
    QTcpSocket socket;
    socket.connectToHost(address.left(colon), quint16(address.mid(colon + 1).toUInt()));
    if (!socket.waitForConnected(3000))
        return "error bridge unreachable";
    socket.write(parts.join(QLatin1Char('\t')).toUtf8() + '\n');
    socket.waitForBytesWritten(3000);
    const QDeadlineTimer deadline(10000);
    while (!socket.canReadLine() && !deadline.hasExpired())
        if (!socket.waitForReadyRead(100) && socket.state() != QAbstractSocket::ConnectedState)
            break;
    return socket.readLine().trimmed();
}

// The key under which a state file may override a command's answer.
QString commandKey(const QStringList& rest)
{
    const QString first = rest.value(0);
    if (first == QLatin1String("shell") && rest.value(1) == QLatin1String("dumpsys"))
        return QStringLiteral("dumpsys");
    if (first == QLatin1String("shell") && rest.value(1) == QLatin1String("am"))
        return rest.value(2); // start, broadcast, force-stop
    return first;
}

QString optionValue(const QStringList& args, const QString& option)
{
    const qsizetype i = args.indexOf(option);
    return i >= 0 ? args.value(i + 1) : QString();
}

Answer run(const QStringList& args)
{
    QStringList rest = args;
    QString serial;
    if (rest.value(0) == QLatin1String("-s")) {
        serial = rest.value(1);
        rest = rest.mid(2);
    }
    QJsonObject state = readState();
    const QString key = commandKey(rest);

    const QJsonObject override = state.value(QStringLiteral("commands")).toObject().value(key).toObject();
    if (const int hang = override.value(QStringLiteral("hangMs")).toInt(); hang > 0) {
        logCall("FAKE_ADB_HANG_LOG", args, hang);
        QThread::msleep(hang);
    }
    if (override.contains(QStringLiteral("stdout")) || override.contains(QStringLiteral("stderr"))
        || override.contains(QStringLiteral("exit")))
        return {override.value(QStringLiteral("stdout")).toString().toUtf8(),
                override.value(QStringLiteral("stderr")).toString().toUtf8(),
                override.value(QStringLiteral("exit")).toInt()};

    QJsonArray devices = state.value(QStringLiteral("devices")).toArray();
    if (key == QLatin1String("devices")) {
        QByteArray out = "List of devices attached\n";
        for (const QJsonValue& d : devices)
            out += d[QStringLiteral("serial")].toString().toUtf8() + '\t'
                + d[QStringLiteral("state")].toString(QStringLiteral("device")).toUtf8() + '\n';
        return {out + '\n', {}, 0};
    }
    if (key == QLatin1String("start-server") || key == QLatin1String("kill-server") || key == QLatin1String("version"))
        return {};

    // Everything else talks to one device.
    qsizetype index = -1;
    for (qsizetype i = 0; i < devices.size(); ++i)
        if (serial.isEmpty() || devices[i][QStringLiteral("serial")].toString() == serial) {
            index = i;
            break;
        }
    if (index < 0)
        return {{},
                serial.isEmpty() ? QByteArray("error: no devices/emulators found\n")
                                 : "error: device '" + serial.toUtf8() + "' not found\n",
                1};
    QJsonObject device = devices[index].toObject();
    serial = device.value(QStringLiteral("serial")).toString();
    const QString devState = device.value(QStringLiteral("state")).toString(QStringLiteral("device"));
    if (devState != QLatin1String("device"))
        return {{}, "error: device " + devState.toUtf8() + "\n", 1};
    const int version = device.value(QStringLiteral("agentVersion")).toInt();
    const QString bridge = device.value(QStringLiteral("bridge")).toString();

    if (key == QLatin1String("dumpsys")) {
        const QString package = rest.value(3);
        if (version <= 0)
            return {"Dexopt state:\n  Unable to find package: " + package.toUtf8() + "\n", {}, 0};
        return {"Packages:\n  Package [" + package.toUtf8()
                    + "] (5c1e0a7):\n    userId=10234\n    versionCode=" + QByteArray::number(version)
                    + " minSdk=21 targetSdk=33\n    versionName=" + QByteArray::number(version) + ".0\n",
                {},
                0};
    }
    if (key == QLatin1String("install")) {
        const QString path = rest.last();
        if (!QFileInfo(path).isFile())
            return {{}, "adb: failed to stat " + path.toUtf8() + ": No such file or directory\n", 1};
        QLockFile lock(statePath() + QStringLiteral(".lock"));
        lock.lock();
        state = readState();
        devices = state.value(QStringLiteral("devices")).toArray();
        for (qsizetype i = 0; i < devices.size(); ++i) {
            QJsonObject d = devices[i].toObject();
            if (d.value(QStringLiteral("serial")).toString() == serial) {
                d.insert(QStringLiteral("agentVersion"), d.value(QStringLiteral("installVersion")).toInt(100));
                devices[i] = d;
            }
        }
        state.insert(QStringLiteral("devices"), devices);
        writeState(state);
        return {"Performing Streamed Install\nSuccess\n", {}, 0};
    }
    if (key == QLatin1String("start")) {
        const QString component = optionValue(rest, QStringLiteral("-n"));
        const QByteArray intent = "Starting: Intent { cmp=" + component.toUtf8() + " }\n";
        if (version <= 0)
            return {intent, "Error type 3\nError: Activity class {" + component.toUtf8() + "} does not exist.\n", 0};
        toBridge(bridge, {QStringLiteral("start"), serial, component});
        return {intent, {}, 0};
    }
    if (key == QLatin1String("broadcast")) {
        const QString component = optionValue(rest, QStringLiteral("-n"));
        const QString data = optionValue(rest, QStringLiteral("-d"));
        if (version > 0)
            toBridge(bridge, {QStringLiteral("broadcast"), serial, data});
        return {"Broadcasting: Intent { dat=" + data.toUtf8() + " flg=0x400000 cmp=" + component.toUtf8()
                    + " }\nBroadcast completed: result=0\n",
                {},
                0};
    }
    if (key == QLatin1String("force-stop")) {
        toBridge(bridge, {QStringLiteral("force-stop"), serial, rest.value(3)});
        return {};
    }
    if (key == QLatin1String("forward"))
        return {};
    return {{}, "adb: unknown command " + rest.join(QLatin1Char(' ')).toUtf8() + "\n", 1};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    logCall("FAKE_ADB_LOG", args);
    const Answer a = run(args);
    std::fwrite(a.out.constData(), 1, size_t(a.out.size()), stdout);
    std::fwrite(a.err.constData(), 1, size_t(a.err.size()), stderr);
    return a.exit;
}
