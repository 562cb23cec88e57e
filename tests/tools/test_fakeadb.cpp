// The adb stand-in, run as the application runs adb: by the name "adb" from
// PATH, with the private server port in its environment.
#include "fakeadbenv.h"
#include "phonesim.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTemporaryDir>

#include <memory>

using phonesim::FakeAdb;

namespace {

const QString kAgent = QStringLiteral("com.quillharbor.phoneagent");

struct Result {
    QByteArray out;
    QByteArray err;
    int exit = -1;
};

// Runs "adb" with the space-separated arguments; no port: none in the
// environment.
Result adb(const QString& line, const QString& port = QStringLiteral("30399"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!port.isEmpty())
        env.insert(QStringLiteral("ANDROID_ADB_SERVER_PORT"), port);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("adb"), line.split(QLatin1Char(' ')));
    if (!p.waitForFinished(10000))
        return {};
    return { p.readAllStandardOutput(), p.readAllStandardError(), p.exitCode() };
}

} // namespace

class TestFakeAdb : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<FakeAdb> m_adb;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_adb = std::make_unique<FakeAdb>(m_dir.path());
        QVERIFY2(m_adb->isValid(), qPrintable(FakeAdb::defaultBinary()));
        m_adb->install();
    }

    void init()
    {
        m_adb->setState({});
        m_adb->clearLog();
    }

    void devices_followTheStateBetweenCalls_andEveryCallIsLogged()
    {
        QCOMPARE(adb(QStringLiteral("devices")).out, QByteArray("List of devices attached\n\n"));
        m_adb->setDevices({ { QStringLiteral("192.168.1.5:5555"), QStringLiteral("unauthorized") } });
        QCOMPARE(adb(QStringLiteral("devices")).out, QByteArray("List of devices attached\n192.168.1.5:5555\tunauthorized\n\n"));
        adb(QStringLiteral("kill-server"), QString());
        QCOMPARE(m_adb->commandLines(), (QStringList { "adb devices", "adb devices", "adb kill-server" }));
        QVERIFY(m_adb->calls().at(0).serverPortSet && !m_adb->calls().at(2).serverPortSet);
    }

    void install_raisesTheAgentVersion()
    {
        m_adb->setDevices({ { QStringLiteral("S1"), QStringLiteral("device"), 11, 20 } });
        const QString dumpsys = QStringLiteral("-s S1 shell dumpsys package ") + kAgent;
        QVERIFY(adb(dumpsys).out.contains("versionCode=11 "));
        const QString install = QStringLiteral("-s S1 install -r ") + m_dir.filePath(QStringLiteral("agent.apk"));
        const Result r = adb(install);
        QCOMPARE(r.exit, 1); // no such file yet
        QVERIFY(r.err.contains("failed to stat"));
        QFile f(m_dir.filePath(QStringLiteral("agent.apk")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("PK") == 2);
        f.close();
        QVERIFY(adb(install).out.contains("Success"));
        QVERIFY(adb(dumpsys).out.contains("versionCode=20 "));
    }

    void amCommands_answerLikeAdb_andReachThePhone()
    {
        phonesim::Fixture fixture;
        fixture.loadJson(R"({"device": {"version": 20}})", nullptr);
        phonesim::PhoneSim::Options o;
        o.wifi = false;
        o.acceptTimeoutMs = 3000;
        phonesim::PhoneSim sim(fixture, o);
        QVERIFY(sim.start());
        m_adb->setDevices({ { QStringLiteral("S1"), QStringLiteral("device"), 0, 20, sim.bridgeAddress() } });

        const QString start = QStringLiteral("-s S1 shell am start -n %1/.PhoneAgent").arg(kAgent);
        QVERIFY(adb(start).err.contains("Error: Activity class")); // not installed
        m_adb->setDevices({ { QStringLiteral("S1"), QStringLiteral("device"), 20, 20, sim.bridgeAddress() } });
        QVERIFY(adb(start).err.isEmpty());

        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const int port = probe.serverPort();
        probe.close();
        const QString url = QStringLiteral("backup://127.0.0.1:%1/device-info").arg(port);
        QVERIFY(adb(QStringLiteral("-s S1 shell am broadcast -n %1/.AdbSyncBroadcastReceiver -d %2").arg(kAgent, url))
                    .out.contains("Broadcast completed: result=0"));
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(s.waitForConnected(3000) && s.waitForReadyRead(3000));
        QCOMPARE(s.readLine(), QByteArray("$ready:\n"));

        adb(QStringLiteral("-s S1 shell am force-stop ") + kAgent);
        QVERIFY(!sim.agentRunning());
        QCOMPARE(sim.bridgeCommands(),
            (QStringList { QStringLiteral("start S1 %1/.PhoneAgent").arg(kAgent), QStringLiteral("broadcast S1 ") + url,
                QStringLiteral("force-stop S1 ") + kAgent }));

        const Result missing = adb(QStringLiteral("-s nope forward tcp:1 tcp:1"));
        QCOMPARE(missing.exit, 1);
        QVERIFY(missing.err.startsWith("error: device 'nope' not found"));
    }
};

QTEST_GUILESS_MAIN(TestFakeAdb)
#include "test_fakeadb.moc"
