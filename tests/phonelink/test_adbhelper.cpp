#include "phonelink/adbhelper.h"

#include "scriptadb.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <thread>

class TestAdbHelper : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { AdbHelper::setProgram(QString()); }

    void parseDevices_data();
    void parseDevices();
    void parseVersionCode();
    void hasErrorLine();

    void run_passesPrivatePortAndArguments();
    void run_putsErrorOutputBeforeStandardOutput();
    void run_throwOnErrorRaisesErrorOutput();
    void run_missingAdbGivesFailedText();
    void run_hungAdbIsKilledAfterTimeLimit();
    void run_cancelKillsHungAdb();
    void commands_buildExactArgumentLists();
    void trigger_failsOnErrorLineWithWholeOutput();
};

void TestAdbHelper::parseDevices_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("expected"); // "serial|state|line"

    QTest::newRow("one device") << QStringLiteral("List of devices attached\nABC123\tdevice\n\n")
                                << QStringList { QStringLiteral("ABC123|device|ABC123\tdevice") };
    QTest::newRow("header case, noise before")
        << QStringLiteral("* daemon not running; starting now at tcp:30399\nXYZ\tdevice\nlist OF devices ATTACHED\r\n"
                          "emulator-5554   offline\r\n")
        << QStringList { QStringLiteral("emulator-5554|offline|emulator-5554   offline") };
    QTest::newRow("network serial kept whole")
        << QStringLiteral(
               "List of devices attached\n192.168.1.5:5555\tdevice\nadb-R5CT_x._adb-tls-connect._tcp\tunauthorized\n")
        << QStringList { QStringLiteral("192.168.1.5:5555|device|192.168.1.5:5555\tdevice"),
               QStringLiteral(
                   "adb-R5CT_x._adb-tls-connect._tcp|unauthorized|adb-R5CT_x._adb-tls-connect._tcp\tunauthorized") };
    QTest::newRow("long listing") << QStringLiteral(
        "List of devices attached\nR58M_1-a  device usb:1-1 product:x model:SM_G\n")
                                  << QStringList { QStringLiteral(
                                         "R58M_1-a|device|R58M_1-a  device usb:1-1 product:x model:SM_G") };
    QTest::newRow("no header") << QStringLiteral("run adb failed.") << QStringList {};
    QTest::newRow("lone word skipped") << QStringLiteral("List of devices attached\nABC\n") << QStringList {};
}

void TestAdbHelper::parseDevices()
{
    QFETCH(QString, output);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const AdbDevice& d : AdbHelper::parseDevices(output))
        got << d.serial + QLatin1Char('|') + d.state + QLatin1Char('|') + d.line;
    QCOMPARE(got, expected);

    // isOnline follows the state word, in any case.
    QVERIFY((AdbDevice { QString(), QStringLiteral("a"), QStringLiteral("DEVICE") }).isOnline());
    QVERIFY(!(AdbDevice { QString(), QStringLiteral("a"), QStringLiteral("unauthorized") }).isOnline());
}

void TestAdbHelper::parseVersionCode()
{
    QCOMPARE(
        AdbHelper::parseVersionCode(QStringLiteral("  Packages:\n    versionCode=15 minSdk=21\n versionCode=3")), 15);
    QCOMPARE(AdbHelper::parseVersionCode(QStringLiteral("VERSIONCODE=12 targetSdk=30")), 12);
    QCOMPARE(AdbHelper::parseVersionCode(QStringLiteral("Unable to find package")), 0);
    QCOMPARE(AdbHelper::parseVersionCode(QStringLiteral("run adb failed.")), 0);
}

void TestAdbHelper::hasErrorLine()
{
    QVERIFY(AdbHelper::hasErrorLine(QStringLiteral("Starting: Intent\n   Error: Activity class does not exist.")));
    QVERIFY(AdbHelper::hasErrorLine(QStringLiteral("ERROR: no devices")));
    QVERIFY(!AdbHelper::hasErrorLine(QStringLiteral("Broadcast completed: result=0, error: none in the middle")));
    QVERIFY(!AdbHelper::hasErrorLine(QStringLiteral("Broadcasting: Intent { dat=x }\nBroadcast completed: result=0")));
}

void TestAdbHelper::run_passesPrivatePortAndArguments()
{
    ScriptAdb adb(QStringLiteral("echo out-$1"));
    AdbHelper::setProgram(adb.path());
    QCOMPARE(AdbHelper().run({ QStringLiteral("devices"), QStringLiteral("-l") }), QStringLiteral("out-devices\n"));
    QCOMPARE(adb.log(), QStringList { QStringLiteral("30399|devices -l") });
}

void TestAdbHelper::run_putsErrorOutputBeforeStandardOutput()
{
    ScriptAdb adb(QStringLiteral("echo '* daemon started successfully *' >&2; echo second"));
    AdbHelper::setProgram(adb.path());
    QCOMPARE(AdbHelper().run({ QStringLiteral("start-server") }),
        QStringLiteral("* daemon started successfully *\n\nsecond\n"));
}

void TestAdbHelper::run_throwOnErrorRaisesErrorOutput()
{
    ScriptAdb adb(QStringLiteral("echo 'adb: device offline' >&2"));
    AdbHelper::setProgram(adb.path());
    try {
        AdbHelper().run({ QStringLiteral("install") }, true);
        QFAIL("no exception");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("adb: device offline\n"));
    }
    AdbHelper::setProgram(adb.dir() + QStringLiteral("/missing-adb"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, AdbHelper().run({ QStringLiteral("devices") }, true));
}

void TestAdbHelper::run_missingAdbGivesFailedText()
{
    AdbHelper::setProgram(testsupport::sandboxDir() + QStringLiteral("/no-such-adb"));
    AdbHelper adb;
    QCOMPARE(adb.run({ QStringLiteral("devices") }), QStringLiteral("run adb failed."));
    // The parsers see no answer: no phones, no agent; the fire-and-forget
    // commands do not complain.
    QVERIFY(adb.devices().isEmpty());
    QString out;
    QCOMPARE(adb.versionCode(QStringLiteral("S1"), QStringLiteral("p"), out), 0);
    QCOMPARE(out, QStringLiteral("run adb failed."));
    adb.forward(QStringLiteral("S1"), 10001, 10001);
    adb.forceStop(QStringLiteral("S1"), QStringLiteral("p"));
    adb.killServer();
}

void TestAdbHelper::run_hungAdbIsKilledAfterTimeLimit()
{
    ScriptAdb adb(QStringLiteral("exec sleep 30"));
    AdbHelper::setProgram(adb.path());
    QElapsedTimer t;
    t.start();
    try {
        AdbHelper().run({ QStringLiteral("devices") }, false, 300);
        QFAIL("no exception");
    } catch (const std::runtime_error& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("adb devices did not finish within 1 seconds")),
            e.what());
    }
    QVERIFY2(t.elapsed() < 5000, "the hung adb was not killed in time");
}

void TestAdbHelper::run_cancelKillsHungAdb()
{
    ScriptAdb adb(QStringLiteral("exec sleep 30"));
    AdbHelper::setProgram(adb.path());
    std::atomic<bool> stop { false };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    QElapsedTimer t;
    t.start();
    QVERIFY_THROWS_EXCEPTION(
        std::runtime_error, AdbHelper([&] { return stop.load(); }).run({ QStringLiteral("devices") }));
    stopper.join();
    QVERIFY(t.elapsed() < 5000);
}

void TestAdbHelper::commands_buildExactArgumentLists()
{
    ScriptAdb adb(QStringLiteral("case \"$4\" in dumpsys) echo '    versionCode=11 minSdk=19';; esac"));
    AdbHelper::setProgram(adb.path());
    AdbHelper h;
    h.forward(QStringLiteral("192.168.1.5:5555"), 10203, 10203);
    h.forceStop(QStringLiteral("S1"), QStringLiteral("com.quillharbor.phoneagent"));
    QString out;
    QCOMPARE(h.versionCode(QStringLiteral("S1"), QStringLiteral("com.quillharbor.phoneagent"), out), 11);
    QCOMPARE(out, QStringLiteral("    versionCode=11 minSdk=19\n"));
    h.trigger(QStringLiteral("S1"), QStringLiteral("start"), QStringLiteral("pkg/.Act"), QStringLiteral("act.X"),
        QStringLiteral("backup://127.0.0.1:1/x"), { QStringLiteral("c1"), QStringLiteral("c2") },
        QStringLiteral("text/plain"));
    h.trigger(QStringLiteral("S1"), QStringLiteral("broadcast"), QString(), QString(), QString(), {}, QString());
    QCOMPARE(adb.log(),
        (QStringList {
            QStringLiteral("30399|-s 192.168.1.5:5555 forward tcp:10203 tcp:10203"),
            QStringLiteral("30399|-s S1 shell am force-stop com.quillharbor.phoneagent"),
            QStringLiteral("30399|-s S1 shell dumpsys package com.quillharbor.phoneagent"),
            QStringLiteral("30399|-s S1 shell am start -n pkg/.Act -a act.X -d backup://127.0.0.1:1/x -c c1 -c c2 "
                           "-t text/plain"),
            QStringLiteral("30399|-s S1 shell am broadcast"),
        }));
}

void TestAdbHelper::trigger_failsOnErrorLineWithWholeOutput()
{
    ScriptAdb adb(QStringLiteral(
        "echo 'Starting: Intent { cmp=pkg/.Act }'; echo '  Error: Activity class {pkg/.Act} does not exist.'"));
    AdbHelper::setProgram(adb.path());
    try {
        AdbHelper().trigger(QStringLiteral("S1"), QStringLiteral("start"), QStringLiteral("pkg/.Act"), QString(),
            QString(), {}, QString());
        QFAIL("no exception");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
            QStringLiteral("Starting: Intent { cmp=pkg/.Act }\n  Error: Activity class {pkg/.Act} does not exist.\n"));
    }
}

QTEST_GUILESS_MAIN(TestAdbHelper)
#include "test_adbhelper.moc"
