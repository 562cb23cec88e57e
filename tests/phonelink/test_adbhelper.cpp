#include "phonelink/adbhelper.h"

#include "scriptadb.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <thread>

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

class TestAdbHelper : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { AdbHelper::setProgram(QString()); }

    void parseDevices_data();
    void parseDevices();
    void parseOutput_versionAndErrorLines();
    void run_portOutputOrderAndErrors();
    void run_missingAdbGivesFailedText();
    void run_hungAdbIsKilledOnTimeLimitOrCancel();
    void commands_buildExactArgumentLists();
};

void TestAdbHelper::parseDevices_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("expected"); // "serial|state|line"

    QTest::newRow("header case, noise before")
        << QStringLiteral("* daemon not running; starting now at tcp:30399\nXYZ\tdevice\nlist OF devices ATTACHED\r\n"
                          "emulator-5554   offline\r\nABC\n")
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
}

void TestAdbHelper::parseDevices()
{
    QFETCH(QString, output);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const AdbDevice& d : AdbHelper::parseDevices(output))
        got << d.serial + QLatin1Char('|') + d.state + QLatin1Char('|') + d.line;
    QCOMPARE(got, expected);
}

void TestAdbHelper::parseOutput_versionAndErrorLines()
{
    QCOMPARE(
        AdbHelper::parseVersionCode(QStringLiteral("  Packages:\n    versionCode=15 minSdk=21\n versionCode=3")), 15);
    QCOMPARE(AdbHelper::parseVersionCode(QStringLiteral("run adb failed.")), 0);
    QVERIFY(AdbHelper::hasErrorLine(QStringLiteral("Starting: Intent\n   Error: Activity class does not exist.")));
    QVERIFY(!AdbHelper::hasErrorLine(QStringLiteral("Broadcast completed: result=0, error: none in the middle")));
}

void TestAdbHelper::run_portOutputOrderAndErrors()
{
    ScriptAdb adb(QStringLiteral("echo '* daemon started *' >&2; echo out-$1"));
    AdbHelper::setProgram(adb.path());
    QCOMPARE(AdbHelper().run({ QStringLiteral("devices"), QStringLiteral("-l") }),
        QStringLiteral("* daemon started *\n\nout-devices\n"));
    QCOMPARE(adb.log(), QStringList { QStringLiteral("30399|devices -l") });

    ScriptAdb offline(QStringLiteral("echo 'adb: device offline' >&2"));
    AdbHelper::setProgram(offline.path());
    QCOMPARE(errorOf([] { AdbHelper().run({ QStringLiteral("install") }, true); }),
        QStringLiteral("adb: device offline\n"));
    AdbHelper::setProgram(adb.dir() + QStringLiteral("/missing-adb"));
    QVERIFY(!errorOf([] { AdbHelper().run({ QStringLiteral("devices") }, true); }).isEmpty());
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
    adb.forward(QStringLiteral("S1"), 10001, 10001);
    adb.forceStop(QStringLiteral("S1"), QStringLiteral("p"));
    adb.killServer();
}

void TestAdbHelper::run_hungAdbIsKilledOnTimeLimitOrCancel()
{
    ScriptAdb adb(QStringLiteral("exec sleep 30"));
    AdbHelper::setProgram(adb.path());
    QElapsedTimer t;
    t.start();
    const QString err = errorOf([] { AdbHelper().run({ QStringLiteral("devices") }, false, 300); });
    QVERIFY2(err.contains(QStringLiteral("adb devices did not finish within 1 seconds")), qPrintable(err));
    QVERIFY2(t.elapsed() < 5000, "the hung adb was not killed in time");

    std::atomic<bool> stop { false };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    t.restart();
    QVERIFY(!errorOf([&] { AdbHelper([&] { return stop.load(); }).run({ QStringLiteral("devices") }); }).isEmpty());
    stopper.join();
    QVERIFY(t.elapsed() < 5000);
}

void TestAdbHelper::commands_buildExactArgumentLists()
{
    ScriptAdb adb(QStringLiteral("case \"$4\" in dumpsys) echo '    versionCode=11 minSdk=19';; "
                                 "am) if [ \"$5\" = start ]; then echo '  Error: Activity class {pkg/.Act} does not exist.'; fi;; "
                                 "esac"));
    AdbHelper::setProgram(adb.path());
    AdbHelper h;
    h.forward(QStringLiteral("192.168.1.5:5555"), 10203, 10203);
    h.forceStop(QStringLiteral("S1"), QStringLiteral("com.quillharbor.phoneagent"));
    QString out;
    QCOMPARE(h.versionCode(QStringLiteral("S1"), QStringLiteral("com.quillharbor.phoneagent"), out), 11);
    // An "Error:" line in the answer fails the trigger with the whole output.
    QCOMPARE(errorOf([&] {
        h.trigger(QStringLiteral("S1"), QStringLiteral("start"), QStringLiteral("pkg/.Act"), QStringLiteral("act.X"),
            QStringLiteral("backup://127.0.0.1:1/x"), { QStringLiteral("c1"), QStringLiteral("c2") },
            QStringLiteral("text/plain"));
    }),
        QStringLiteral("  Error: Activity class {pkg/.Act} does not exist.\n"));
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

QTEST_GUILESS_MAIN(TestAdbHelper)
#include "test_adbhelper.moc"
