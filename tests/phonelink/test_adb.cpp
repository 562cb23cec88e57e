// adb calls (through a scripted stand-in that can hang or fail) and the
// monitor that follows adb's device list (through fake-adb).
#include "phonelink/adbhelper.h"
#include "phonelink/androidmonitor.h"

#include "fakeadbenv.h"
#include "scriptadb.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using phonesim::FakeAdb;

namespace {
// Runs f and returns the text of the runtime_error it throws ("" when none).
template <typename F> QString errorOf(F f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}
} // namespace

class TestAdb : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<AdbDevice>("AdbDevice"); }
    void init();
    void cleanup()
    {
        AdbHelper::setProgram(QString());
        m_adb.reset();
    }

    void parseDevices_keepsSerialsWhole();
    void run_outputPortAndFailures();
    void run_hungAdbIsKilledOnTimeLimitOrCancel();
    void commands_buildExactArgumentLists();
    void monitor_announcesSerialsAsTheListChanges();
    void monitor_shutdownDoesNotWaitForHungAdb();

private:
    std::unique_ptr<AndroidMonitor> startMonitor()
    {
        auto monitor = std::make_unique<AndroidMonitor>();
        monitor->setPollInterval(50);
        connect(monitor.get(), &AndroidMonitor::deviceConnected, this,
                [this](const AdbDevice& d) { m_events << QStringLiteral("+%1 %2").arg(d.serial, d.state); });
        connect(monitor.get(), &AndroidMonitor::deviceDisconnected, this,
                [this](const QString& s) { m_events << QStringLiteral("-%1").arg(s); });
        monitor->start();
        return monitor;
    }
    // Sets adb's listing: "serial state" pairs.
    void list(const QStringList& devices)
    {
        QList<FakeAdb::Device> list;
        for (const QString& d : devices)
            list << FakeAdb::Device(d.section(QLatin1Char(' '), 0, 0), d.section(QLatin1Char(' '), 1));
        m_adb->setDevices(list);
    }

    std::unique_ptr<FakeAdb> m_adb;
    QStringList m_events;
};

void TestAdb::init()
{
    m_events.clear();
    m_adb = std::make_unique<FakeAdb>(testsupport::makeTempDir(QStringLiteral("fakeadb")));
    QVERIFY2(m_adb->isValid(), "fake-adb is not built");
    m_adb->install();
}

void TestAdb::monitor_announcesSerialsAsTheListChanges()
{
    list({QStringLiteral("ABC123 unauthorized")});
    auto monitor = startMonitor();
    QTRY_COMPARE(m_events, QStringList {QStringLiteral("+ABC123 unauthorized")});

    // A change of state alone is announced by nothing.
    list({QStringLiteral("ABC123 device")});
    QTest::qWait(400);
    QCOMPARE(m_events.size(), 1);
    QCOMPARE(monitor->knownCount(), 1);

    list({});
    QTRY_COMPARE(m_events.size(), 2);
    QCOMPARE(m_events.last(), QStringLiteral("-ABC123"));
    QTRY_COMPARE(monitor->knownCount(), 0);

    // Two new phones of one listing come in listing order; a network serial
    // is kept whole. Both leave in one listing.
    list({QStringLiteral("ZZZ9 device"), QStringLiteral("192.168.1.5:5555 device")});
    QTRY_COMPARE(m_events.size(), 4);
    QCOMPARE(m_events.mid(2),
             (QStringList {QStringLiteral("+ZZZ9 device"), QStringLiteral("+192.168.1.5:5555 device")}));
    list({});
    QTRY_COMPARE(m_events.size(), 6);
    QCOMPARE(m_events.mid(4), (QStringList {QStringLiteral("-192.168.1.5:5555"), QStringLiteral("-ZZZ9")}));

    // Our own server was started on its private port, after the default one
    // was stopped.
    const QList<FakeAdb::Call> calls = m_adb->calls();
    QVERIFY(!calls.at(0).serverPortSet && calls.at(0).args == QStringList {QStringLiteral("kill-server")});
    QCOMPARE(calls.at(1).args.join(QLatin1Char(' ')) + calls.at(1).serverPort, QStringLiteral("start-server30399"));
}

void TestAdb::monitor_shutdownDoesNotWaitForHungAdb()
{
    list({QStringLiteral("S1 device")});
    auto monitor = startMonitor();
    QTRY_COMPARE(m_events.size(), 1);

    // adb hangs on the next listing; a hung listing changes nothing.
    m_adb->setHang(QStringLiteral("devices"), 30000);
    QTest::qWait(300);
    const qsizetype calls = m_adb->calls().size();
    QTest::qWait(300);
    QCOMPARE(m_adb->calls().size(), calls); // stuck in the listing
    QCOMPARE(m_adb->calls().last().args, QStringList {QStringLiteral("devices")});

    QElapsedTimer t;
    t.start();
    monitor.reset();
    QVERIFY2(t.elapsed() < 3000, qPrintable(QStringLiteral("shutdown took %1 ms").arg(t.elapsed())));
    QCOMPARE(m_events, QStringList {QStringLiteral("+S1 device")});
    QCOMPARE(m_adb->calls().last().args, QStringList {QStringLiteral("kill-server")});
}

void TestAdb::parseDevices_keepsSerialsWhole()
{
    // Noise before the header (any case), CR LF, lines without a state, and
    // the long listing; a network serial is met in the monitor test below.
    const QString output = QStringLiteral("* daemon not running; starting now at tcp:30399\nXYZ\tdevice\n"
                                          "list OF devices ATTACHED\r\nemulator-5554   offline\r\nABC\n"
                                          "R58M_1-a  device usb:1-1 product:x model:SM_G\n");
    QStringList got;
    for (const AdbDevice& d : AdbHelper::parseDevices(output))
        got << d.serial + QLatin1Char('|') + d.state + QLatin1Char('|') + d.line;
    QCOMPARE(got,
             (QStringList {QStringLiteral("emulator-5554|offline|emulator-5554   offline"),
                           QStringLiteral("R58M_1-a|device|R58M_1-a  device usb:1-1 product:x model:SM_G")}));
}

void TestAdb::run_outputPortAndFailures()
{
    ScriptAdb adb(QStringLiteral("echo '* daemon started *' >&2; echo out-$1"));
    AdbHelper::setProgram(adb.path());
    QCOMPARE(AdbHelper().run({QStringLiteral("devices"), QStringLiteral("-l")}),
             QStringLiteral("* daemon started *\n\nout-devices\n"));
    QCOMPARE(adb.log(), QStringList {QStringLiteral("30399|devices -l")});

    ScriptAdb offline(QStringLiteral("echo 'adb: device offline' >&2"));
    AdbHelper::setProgram(offline.path());
    QCOMPARE(errorOf([] { AdbHelper().run({QStringLiteral("install")}, true); }),
             QStringLiteral("adb: device offline\n"));

    // A missing adb: an error when asked to throw, else "run adb failed.",
    // which the parsers read as no phones and no agent.
    AdbHelper::setProgram(adb.dir() + QStringLiteral("/missing-adb"));
    QVERIFY(!errorOf([] { AdbHelper().run({QStringLiteral("devices")}, true); }).isEmpty());
    AdbHelper missing;
    QCOMPARE(missing.run({QStringLiteral("devices")}), QStringLiteral("run adb failed."));
    QVERIFY(missing.devices().isEmpty());
    QString out;
    QCOMPARE(missing.versionCode(QStringLiteral("S1"), QStringLiteral("p"), out), 0);
    missing.forceStop(QStringLiteral("S1"), QStringLiteral("p"));
}

void TestAdb::run_hungAdbIsKilledOnTimeLimitOrCancel()
{
    ScriptAdb adb(QStringLiteral("exec sleep 30"));
    AdbHelper::setProgram(adb.path());
    QElapsedTimer t;
    t.start();
    const QString err = errorOf([] { AdbHelper().run({QStringLiteral("devices")}, false, 300); });
    QVERIFY2(err.contains(QStringLiteral("adb devices did not finish within 1 seconds")), qPrintable(err));
    QVERIFY2(t.elapsed() < 5000, "the hung adb was not killed in time");

    std::atomic<bool> stop {false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    t.restart();
    QVERIFY(!errorOf([&] { AdbHelper([&] { return stop.load(); }).run({QStringLiteral("devices")}); }).isEmpty());
    stopper.join();
    QVERIFY(t.elapsed() < 5000);
}

void TestAdb::commands_buildExactArgumentLists()
{
    // (The other commands' lines are checked on the USB road.)
    ScriptAdb adb(
        QStringLiteral("if [ \"$5\" = start ]; then echo '  Error: Activity class {pkg/.Act} does not exist.'; fi"));
    AdbHelper::setProgram(adb.path());
    AdbHelper h;
    // An "Error:" line in the answer fails the trigger with the whole output.
    QCOMPARE(errorOf([&] {
                 h.trigger(QStringLiteral("S1"), QStringLiteral("start"), QStringLiteral("pkg/.Act"),
                           QStringLiteral("act.X"), QStringLiteral("backup://127.0.0.1:1/x"),
                           {QStringLiteral("c1"), QStringLiteral("c2")}, QStringLiteral("text/plain"));
             }),
             QStringLiteral("  Error: Activity class {pkg/.Act} does not exist.\n"));
    h.trigger(QStringLiteral("S1"), QStringLiteral("broadcast"), QString(), QString(), QString(), {}, QString());
    QVERIFY(!AdbHelper::hasErrorLine(QStringLiteral("Broadcast completed: result=0, error: none in the middle")));
    QCOMPARE(adb.log(),
             (QStringList {
                 QStringLiteral("30399|-s S1 shell am start -n pkg/.Act -a act.X -d backup://127.0.0.1:1/x -c c1 -c c2 "
                                "-t text/plain"),
                 QStringLiteral("30399|-s S1 shell am broadcast"),
             }));
}

QTEST_GUILESS_MAIN(TestAdb)
#include "test_adb.moc"
