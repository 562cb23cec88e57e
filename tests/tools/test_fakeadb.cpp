// The adb stand-in, run as the application runs adb: by the name "adb" from
// PATH, with the private server port in its environment.
#include "fakeadbenv.h"
#include "phonesim.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTemporaryDir>

#include <memory>

using phonesim::FakeAdb;

namespace {

struct Result {
    QByteArray out;
    QByteArray err;
    int exit = -1;
};

Result adb(const QStringList& args, const QString& port = QStringLiteral("30399"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!port.isEmpty())
        env.insert(QStringLiteral("ANDROID_ADB_SERVER_PORT"), port);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("adb"), args);
    if (!p.waitForFinished(10000))
        return {};
    return {p.readAllStandardOutput(), p.readAllStandardError(), p.exitCode()};
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
        QCOMPARE(adb({QStringLiteral("devices")}).out, QByteArray("List of devices attached\n\n"));
        m_adb->setDevices({{QStringLiteral("R58M-1_x"), QStringLiteral("device")},
                           {QStringLiteral("192.168.1.5:5555"), QStringLiteral("unauthorized")}});
        QCOMPARE(adb({QStringLiteral("devices")}).out,
                 QByteArray("List of devices attached\nR58M-1_x\tdevice\n192.168.1.5:5555\tunauthorized\n\n"));
        adb({QStringLiteral("kill-server")}, QString());

        const QList<FakeAdb::Call> calls = m_adb->calls();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls.at(0).args, QStringList{QStringLiteral("devices")});
        QCOMPARE(calls.at(0).serverPort, QStringLiteral("30399"));
        QVERIFY(calls.at(0).serverPortSet);
        QVERIFY(!calls.at(2).serverPortSet);
        QCOMPARE(m_adb->commandLines().at(2), QStringLiteral("adb kill-server"));
    }

    void install_raisesTheAgentVersion()
    {
        m_adb->setDevices({{QStringLiteral("S1"), QStringLiteral("device"), 11, 20}});
        const QStringList dumpsys{QStringLiteral("-s"), QStringLiteral("S1"), QStringLiteral("shell"),
                                  QStringLiteral("dumpsys"), QStringLiteral("package"),
                                  QStringLiteral("com.quillharbor.phoneagent")};
        QVERIFY(adb(dumpsys).out.contains("versionCode=11 "));
        const QString apk = m_dir.filePath(QStringLiteral("agent.apk"));
        Result r = adb({QStringLiteral("-s"), QStringLiteral("S1"), QStringLiteral("install"), QStringLiteral("-r"),
                        apk});
        QCOMPARE(r.exit, 1); // no such file yet
        QVERIFY(r.err.contains("failed to stat"));
        QFile f(apk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("PK");
        f.close();
        r = adb({QStringLiteral("-s"), QStringLiteral("S1"), QStringLiteral("install"), QStringLiteral("-r"), apk});
        QVERIFY(r.out.contains("Success"));
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
        m_adb->setDevices({{QStringLiteral("S1"), QStringLiteral("device"), 0, 20, sim.bridgeAddress()},
                           {QStringLiteral("S2"), QStringLiteral("offline")}});

        const QStringList start{QStringLiteral("-s"), QStringLiteral("S1"), QStringLiteral("shell"),
                                QStringLiteral("am"), QStringLiteral("start"), QStringLiteral("-n"),
                                QStringLiteral("com.quillharbor.phoneagent/.PhoneAgent")};
        QVERIFY(adb(start).err.contains("Error: Activity class"));
        m_adb->setDevices({{QStringLiteral("S1"), QStringLiteral("device"), 20, 20, sim.bridgeAddress()}});
        QVERIFY(adb(start).err.isEmpty());

        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const int port = probe.serverPort();
        probe.close();
        const QString url = QStringLiteral("backup://127.0.0.1:%1/device-info").arg(port);
        const Result r = adb({QStringLiteral("-s"), QStringLiteral("S1"), QStringLiteral("shell"),
                              QStringLiteral("am"), QStringLiteral("broadcast"), QStringLiteral("-n"),
                              QStringLiteral("com.quillharbor.phoneagent/.AdbSyncBroadcastReceiver"),
                              QStringLiteral("-d"), url});
        QVERIFY(r.out.contains("Broadcast completed: result=0"));
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(s.waitForConnected(3000));
        QVERIFY(s.waitForReadyRead(3000));
        QCOMPARE(s.readLine(), QByteArray("$ready:\n"));

        adb({QStringLiteral("-s"), QStringLiteral("S1"), QStringLiteral("shell"), QStringLiteral("am"),
             QStringLiteral("force-stop"), QStringLiteral("com.quillharbor.phoneagent")});
        QVERIFY(!sim.agentRunning());
        QCOMPARE(sim.bridgeCommands(),
                 (QStringList{QStringLiteral("start S1 com.quillharbor.phoneagent/.PhoneAgent"),
                              QStringLiteral("broadcast S1 ") + url,
                              QStringLiteral("force-stop S1 com.quillharbor.phoneagent")}));

        const Result missing = adb({QStringLiteral("-s"), QStringLiteral("nope"), QStringLiteral("forward"),
                                    QStringLiteral("tcp:1"), QStringLiteral("tcp:1")});
        QCOMPARE(missing.exit, 1);
        QVERIFY(missing.err.startsWith("error: device 'nope' not found"));
    }

    void overrides_printErrors_orHang()
    {
        m_adb->setCommand(QStringLiteral("devices"), QStringLiteral("List of devices attached\n"),
                          QStringLiteral("* daemon not running\n"), 0);
        const Result r = adb({QStringLiteral("devices")});
        QCOMPARE(r.err, QByteArray("* daemon not running\n"));
        m_adb->setHang(QStringLiteral("start-server"), 60000);
        QProcess p;
        p.start(QStringLiteral("adb"), {QStringLiteral("start-server")});
        QVERIFY(p.waitForStarted(3000));
        QVERIFY(!p.waitForFinished(300));
        p.kill();
        p.waitForFinished(3000);
    }
};

QTEST_GUILESS_MAIN(TestFakeAdb)
#include "test_fakeadb.moc"
