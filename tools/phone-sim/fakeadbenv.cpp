#include "fakeadbenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>

namespace phonesim {

FakeAdb::FakeAdb(const QString& dir, const QString& binary)
    : m_dir(dir)
{
    QDir().mkpath(binDir());
    const QString link = binDir() + QStringLiteral("/adb");
    QFile::remove(link);
    m_valid = QFileInfo(binary).isExecutable() && QFile::link(binary, link);
    setDevices({});
    clearLog();
}

QString FakeAdb::defaultBinary()
{
    const QString fromEnv = qEnvironmentVariable("FAKE_ADB_BINARY");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString binDir = qEnvironmentVariable("APP_BIN_DIR");
    if (!binDir.isEmpty())
        return binDir + QStringLiteral("/fake-adb");
    return QStringLiteral(FAKE_ADB_PATH);
}

void FakeAdb::install() const
{
    const QString path = qEnvironmentVariable("PATH");
    qputenv("PATH", (binDir() + QLatin1Char(':') + path).toLocal8Bit());
    qputenv("FAKE_ADB_STATE", statePath().toLocal8Bit());
    qputenv("FAKE_ADB_LOG", logPath().toLocal8Bit());
    qputenv("FAKE_ADB_HANG_LOG", hangLogPath().toLocal8Bit());
}

QJsonObject FakeAdb::state() const
{
    QFile f(statePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

void FakeAdb::setState(const QJsonObject& state)
{
    // The stand-in rewrites the file under this lock when it installs.
    QLockFile lock(statePath() + QStringLiteral(".lock"));
    lock.lock();
    QSaveFile f(statePath());
    if (f.open(QIODevice::WriteOnly)) {
        f.write(QJsonDocument(state).toJson());
        f.commit();
    }
}

void FakeAdb::setDevices(const QList<Device>& devices)
{
    QJsonArray list;
    for (const Device& d : devices) {
        QJsonObject o;
        o.insert(QStringLiteral("serial"), d.serial);
        o.insert(QStringLiteral("state"), d.state);
        o.insert(QStringLiteral("agentVersion"), d.agentVersion);
        o.insert(QStringLiteral("installVersion"), d.installVersion);
        o.insert(QStringLiteral("bridge"), d.bridge);
        list.append(o);
    }
    QJsonObject s = state();
    s.insert(QStringLiteral("devices"), list);
    setState(s);
}

void FakeAdb::setCommand(const QString& key, const QString& out, const QString& err, int exitCode, int hangMs)
{
    QJsonObject s = state();
    QJsonObject commands = s.value(QStringLiteral("commands")).toObject();
    QJsonObject c;
    c.insert(QStringLiteral("stdout"), out);
    c.insert(QStringLiteral("stderr"), err);
    c.insert(QStringLiteral("exit"), exitCode);
    c.insert(QStringLiteral("hangMs"), hangMs);
    commands.insert(key, c);
    s.insert(QStringLiteral("commands"), commands);
    setState(s);
}

void FakeAdb::setHang(const QString& key, int hangMs)
{
    QJsonObject s = state();
    QJsonObject commands = s.value(QStringLiteral("commands")).toObject();
    commands.insert(key, QJsonObject {{QStringLiteral("hangMs"), hangMs}});
    s.insert(QStringLiteral("commands"), commands);
    setState(s);
}

void FakeAdb::clearCommand(const QString& key)
{
    QJsonObject s = state();
    QJsonObject commands = s.value(QStringLiteral("commands")).toObject();
    commands.remove(key);
    s.insert(QStringLiteral("commands"), commands);
    setState(s);
}

namespace {

// The calls of one of the stand-in's logs, in order.
QList<FakeAdb::Call> readCalls(const QString& path)
{
    QList<FakeAdb::Call> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        FakeAdb::Call c;
        for (const QJsonValue& a : o.value(QStringLiteral("args")).toArray())
            c.args.append(a.toString());
        const QJsonValue port = o.value(QStringLiteral("ANDROID_ADB_SERVER_PORT"));
        c.serverPortSet = port.isString();
        c.serverPort = port.toString();
        c.hangMs = o.value(QStringLiteral("hangMs")).toInt();
        out.append(c);
    }
    return out;
}

} // namespace

QList<FakeAdb::Call> FakeAdb::calls() const
{
    return readCalls(logPath());
}

QList<FakeAdb::Call> FakeAdb::hangs() const
{
    return readCalls(hangLogPath());
}

QStringList FakeAdb::commandLines() const
{
    QStringList out;
    for (const Call& c : calls())
        out.append((QStringList {QStringLiteral("adb")} + c.args).join(QLatin1Char(' ')));
    return out;
}

void FakeAdb::clearLog() const
{
    for (const QString& path : {logPath(), hangLogPath()}) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.close();
    }
}

} // namespace phonesim
