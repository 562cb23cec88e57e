// adb calls, the monitor that follows adb's device list, the phone's
// descriptor and the two roads to a phone, end to end. fake-adb plays adb
// (hanging, failing or writing to standard error on request) and hands
// broadcasts and "am start" to the simulated phone on 127.0.0.1; over Wi-Fi
// each case plays its phone on an address of its own, on the real port 48889.
#include "phonelink/adbhelper.h"
#include "phonelink/androidconnectthreads.h"
#include "phonelink/androidmonitor.h"
#include "scriptedprompt.h"
#include "shell/core/dataroot.h"
#include "shell/progressform.h"
#include "shell/runjob.h"

#include "fakeadbenv.h"
#include "test_loadsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

using phonesim::FakeAdb;

namespace {
const QString kSerial = QStringLiteral("R58M41XYZ");
const QString kPackage = QStringLiteral("com.quillharbor.phoneagent");

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

class TestConnect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        AndroidConnectWithUSBThread::setInstallPauseMs(0);
        qRegisterMetaType<AdbDevice>("AdbDevice");
    }
    void init()
    {
        // A phone on USB; "adb" on PATH is now the stand-in, listing no phone.
        testsupport::SimPhone phone(testsupport::SimPhone::Options {});
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        m_adb = std::move(phone.adb);
        m_sim = std::move(phone.sim);
        m_adb->setDevices({});
        m_port = loadtest::pinLocalPort();
        m_events.clear();
    }
    void cleanup()
    {
        AdbHelper::setProgram(QString());
        simpleprotocol::setLocalPortProvider({});
        m_sim.reset();
        m_adb.reset();
    }

    void run_outputPortAndFailures()
    {
        m_adb->setCommand(QStringLiteral("devices"), QStringLiteral("out\n"), QStringLiteral("* daemon started *\n"));
        QCOMPARE(AdbHelper().run({QStringLiteral("devices"), QStringLiteral("-l")}),
                 QStringLiteral("* daemon started *\n\nout\n"));
        const FakeAdb::Call call = m_adb->calls().value(0);
        QCOMPARE(call.args.join(u' ') + QLatin1Char('|') + call.serverPort, QStringLiteral("devices -l|30399"));

        m_adb->setCommand(QStringLiteral("install"), QString(), QStringLiteral("adb: device offline\n"), 1);
        QCOMPARE(errorOf([] { AdbHelper().run({QStringLiteral("install")}, true); }),
                 QStringLiteral("adb: device offline\n"));
        QVERIFY(!AdbHelper::hasErrorLine(QStringLiteral("Broadcast completed: result=0, error: none in the middle")));

        // A missing adb: an error when asked to throw, else "run adb failed.",
        // which the parsers read as no phones and no agent.
        AdbHelper::setProgram(testsupport::sandboxDir() + QStringLiteral("/missing-adb"));
        QVERIFY(!errorOf([] { AdbHelper().run({QStringLiteral("devices")}, true); }).isEmpty());
        QString out;
        QVERIFY(AdbHelper().devices().isEmpty() && AdbHelper().versionCode(kSerial, kPackage, out) == 0);
    }
    void run_hungAdbIsKilledOnTimeLimitOrCancel()
    {
        // adb would hang far longer than any bound here: only a kill ends it.
        m_adb->setHang(QStringLiteral("devices"), kHungMs);
        QElapsedTimer t;
        t.start();
        const QString err = errorOf([] { AdbHelper().run({QStringLiteral("devices")}, false, 300); });
        QVERIFY2(err.contains(QStringLiteral("adb devices did not finish within 1 seconds")), qPrintable(err));
        // Not before its limit; the upper bound is a hang guard.
        QVERIFY2(t.elapsed() >= 300 && t.elapsed() < testsupport::kHangGuardMs, "the hung adb was not killed");

        // Cancelled once adb runs: the cancel stops it, not adb's own limit.
        const qsizetype calls = m_adb->calls().size();
        const auto canceled = [&] { return m_adb->calls().size() > calls; };
        const QString stopped = errorOf([&] { AdbHelper(canceled).run({QStringLiteral("devices")}); });
        QVERIFY2(stopped.contains(QStringLiteral("was stopped")) && !stopped.contains(QStringLiteral("did not finish")),
                 qPrintable(stopped));
    }
    void monitor_followsTheList_andShutsDownWithoutWaitingForAHungAdb()
    {
        // The first listing has noise before its header (any case), CR LF, a
        // line without a state and the long form: serials are kept whole, new
        // phones come in listing order.
        m_adb->setCommand(QStringLiteral("devices"),
                          QStringLiteral("* daemon not running; starting now at tcp:30399\nXYZ\tdevice\n"
                                         "list OF devices ATTACHED\r\nABC123   unauthorized\r\nABC\n"
                                         "R58M_1-a  device usb:1-1 product:x model:SM_G\n"));
        auto monitor = startMonitor();
        QTRY_COMPARE_WITH_TIMEOUT(
            m_events, (QStringList {QStringLiteral("+ABC123 unauthorized"), QStringLiteral("+R58M_1-a device")}),
            testsupport::kHangGuardMs);

        // The phone the user allowed becomes usable: it is announced again,
        // once; the other, still usable, is not. The stand-in changes in one
        // write, so no listing sees the phones gone in between.
        setListing({FakeAdb::Device(QStringLiteral("ABC123")), FakeAdb::Device(QStringLiteral("R58M_1-a"))});
        QTRY_COMPARE_WITH_TIMEOUT(m_events.value(2), QStringLiteral("+ABC123 device"), testsupport::kHangGuardMs);
        QVERIFY(listedAgain());
        QCOMPARE(m_events.size(), 3);
        QCOMPARE(monitor->knownCount(), 2);

        // Usable no more, then again: only the return is announced.
        setListing({FakeAdb::Device(QStringLiteral("ABC123"), QStringLiteral("offline")),
                    FakeAdb::Device(QStringLiteral("R58M_1-a"))});
        QVERIFY(listedAgain());
        QCOMPARE(m_events.size(), 3);
        m_adb->setDevices({FakeAdb::Device(QStringLiteral("ABC123")), FakeAdb::Device(QStringLiteral("R58M_1-a"))});
        QTRY_COMPARE_WITH_TIMEOUT(m_events.value(3), QStringLiteral("+ABC123 device"), testsupport::kHangGuardMs);

        // Both leave in one listing; a network serial comes whole.
        m_adb->setDevices({});
        QTRY_COMPARE_WITH_TIMEOUT(m_events.size(), 6, testsupport::kHangGuardMs);
        QCOMPARE(m_events.mid(4), (QStringList {QStringLiteral("-ABC123"), QStringLiteral("-R58M_1-a")}));
        QCOMPARE(monitor->knownCount(), 0);
        m_adb->setDevices({FakeAdb::Device(QStringLiteral("192.168.1.5:5555"))});
        QTRY_COMPARE_WITH_TIMEOUT(m_events.value(6), QStringLiteral("+192.168.1.5:5555 device"),
                                  testsupport::kHangGuardMs);

        // Our own server was started on its private port, after the default one
        // was stopped.
        const QList<FakeAdb::Call> calls = m_adb->calls();
        QVERIFY(!calls.at(0).serverPortSet && calls.at(0).args == QStringList {QStringLiteral("kill-server")});
        QCOMPARE(calls.at(1).args.join(QLatin1Char(' ')) + calls.at(1).serverPort, QStringLiteral("start-server30399"));
        // The stand-in's start-server says nothing of a daemon started; with
        // no device-manager tool to repair anything it is not asked again.
        QCOMPARE(std::count_if(calls.begin(), calls.end(),
                               [](const FakeAdb::Call& c) { return c.args.contains(QStringLiteral("start-server")); }),
                 1);

        // adb hangs in a listing, which changes nothing; shutting down does not
        // wait for it. The listing under way as the hang is set may read it
        // already, so the stand-in says which listing hangs.
        const qsizetype hangs = m_adb->hangs().size();
        m_adb->setHang(QStringLiteral("devices"), kHungMs);
        QVERIFY(QTest::qWaitFor([&] { return m_adb->hangs().size() > hangs; }, testsupport::kHangGuardMs));
        QCOMPARE(m_adb->hangs().last().args, QStringList {QStringLiteral("devices")});
        QElapsedTimer t;
        t.start();
        monitor.reset();
        // A hang guard, well below adb's own limit, which would end a listing
        // that did not hear the stop.
        QVERIFY2(t.elapsed() < AdbHelper::kDefaultTimeoutMs / 2,
                 qPrintable(QStringLiteral("shutdown took %1 ms").arg(t.elapsed())));
        QCOMPARE(m_events.size(), 7);
        QCOMPARE(m_adb->calls().last().args, QStringList {QStringLiteral("kill-server")});
    }

    void cacheNames_stayOneComponentInsideTheCache()
    {
        // The cache is named by the IMEI on both roads, else by the uid, else by
        // the serial: phones without an IMEI never share a folder.
        AndroidDeviceInfo usb;
        usb.serial = QStringLiteral("R58M123");
        usb.uid = QStringLiteral("a1b2c3");
        usb.imei = QStringLiteral("356938035643809");
        AndroidDeviceInfo wifi = usb;
        wifi.isWiFi = true;
        wifi.serial.clear();
        const QString cache = getDataDir().absoluteFilePath(QStringLiteral("android_cache"));
        QCOMPARE(usb.cacheDir().absolutePath(), cache + QStringLiteral("/356938035643809"));
        QCOMPARE(wifi.cacheDir().absolutePath(), usb.cacheDir().absolutePath());
        usb.imei.clear();
        QCOMPARE(usb.cacheDir().dirName(), QStringLiteral("a1b2c3"));
        usb.uid.clear();
        QCOMPARE(usb.cacheFolderName(), QStringLiteral("R58M123"));

        for (const QString& name : {QStringLiteral(".."), QStringLiteral("."), QStringLiteral("../../etc"),
                                    QStringLiteral("/tmp/x"), QStringLiteral("..\\..\\x"), QStringLiteral("CON"),
                                    QStringLiteral("192.168.1.5:5555"), QString::fromUtf8("a\0b", 3)}) {
            AndroidDeviceInfo d;
            d.imei = name;
            d.uid = QStringLiteral("fallback-uid");
            const QDir dir = d.cacheDir();
            QCOMPARE(QFileInfo(dir.absolutePath()).absolutePath(), cache);
            QVERIFY2(dir.dirName() != QLatin1String("..") && dir.dirName() != QLatin1String("."), qPrintable(name));
            // The ".mmc" file is named by the device id: the serial over USB, the
            // uid over Wi-Fi.
            for (bool onWifi : {false, true}) {
                AndroidDeviceInfo m;
                m.isWiFi = onWifi;
                (onWifi ? m.uid : m.serial) = name;
                const QString file = m.mmcFileName();
                QVERIFY2(file.endsWith(QLatin1String(".mmc")) && file != QLatin1String("..mmc"), qPrintable(file));
                for (const QChar bad : {QChar(u'/'), QChar(u'\\'), QChar(u':'), QChar(0)})
                    QVERIFY2(!file.contains(bad), qPrintable(file));
            }
        }
    }
    void usbRoad_installsAnOldAgentOnce_forceStopsOnlyOverUsb_andGivesUpOnAStoppedAgent()
    {
        setPhone(11);
        // A stale, read-only copy from an earlier run is replaced.
        const QString target = getDataDir().absoluteFilePath(kPackage + QStringLiteral(".apk"));
        QFile stale(target);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("stale") == 5);
        stale.close();
        QFile::setPermissions(target, QFileDevice::ReadOwner);

        testsupport::RecordingJobReport report;
        auto job = runJob(report);
        QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
        QCOMPARE(job->device().deviceId(), kSerial);
        QCOMPARE(job->device().version, 20);
        QCOMPARE(
            m_adb->commandLines(),
            (QStringList {
                QStringLiteral("adb -s %1 shell dumpsys package %2").arg(kSerial, kPackage),
                QStringLiteral("adb -s %1 install -r %2").arg(kSerial, target),
                QStringLiteral("adb -s %1 shell am start -n com.quillharbor.phoneagent/.PhoneAgent").arg(kSerial),
                QStringLiteral("adb -s %1 shell am broadcast -n com.quillharbor.phoneagent/.AdbSyncBroadcastReceiver "
                               "-d %2")
                    .arg(kSerial, url()),
                QStringLiteral("adb -s %1 forward tcp:%2 tcp:%2").arg(kSerial).arg(m_port),
            }));
        for (const FakeAdb::Call& call : m_adb->calls())
            QCOMPARE(call.serverPort, QStringLiteral("30399"));
        // The package copy is the resource's, private to the user.
        const QByteArray package = testsupport::readFile(PhoneAgentPackage::resource());
        QVERIFY(!package.isEmpty());
        QCOMPARE(testsupport::readFile(target), package);
        QCOMPARE(QFile::permissions(target)
                     & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, testsupport::kHangGuardMs));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray> {"$bye:"},
                                  testsupport::kHangGuardMs);

        // The agent is current now: started, not installed again.
        m_adb->clearLog();
        testsupport::RecordingJobReport again;
        AndroidDeviceInfo d = runJob(again)->device();
        QVERIFY2(again.succeeded(), qPrintable(again.errors().join(QLatin1Char('\n'))));
        QVERIFY(m_adb->commandLines().value(1).contains(QStringLiteral(" am start ")));
        QVERIFY(!m_adb->commandLines().join(QLatin1Char('\n')).contains(QStringLiteral(" install ")));

        m_adb->clearLog();
        d.isWiFi = true;
        d.forceStopAgent();
        QVERIFY(m_adb->commandLines().isEmpty());
        d.isWiFi = false;
        d.forceStopAgent();
        QCOMPARE(m_adb->commandLines(),
                 QStringList {QStringLiteral("adb -s %1 shell am force-stop %2").arg(kSerial, kPackage)});
        QVERIFY(!m_sim->agentRunning());

        // A stopped agent answers no broadcast: connecting gives up at its limit.
        QElapsedTimer t;
        t.start();
        QCOMPARE(errorOf([&] { delete d.connect(url(), 600); }), QStringLiteral("start %1 failed.").arg(url()));
        // Not before its limit; the upper bound is a hang guard.
        QVERIFY2(t.elapsed() >= 600 && t.elapsed() < testsupport::kHangGuardMs,
                 qPrintable(QString::number(t.elapsed())));
    }
    // A phone without the agent: adb's complaint about a failed install
    // shows when the agent cannot be started; a hung install is killed on
    // the user's cancel.
    void newPhone_failedInstallIsShown_hungInstallIsCancelled()
    {
        setPhone(0);
        m_adb->setCommand(QStringLiteral("install"), QString(),
                          QStringLiteral("adb: failed to install: INSTALL_FAILED_INVALID_APK\n"), 1);
        testsupport::RecordingJobReport report;
        runJob(report);
        QCOMPARE(report.errors().size(), 1);
        const QString err = report.errors().first();
        QVERIFY2(err.startsWith(AndroidConnectWithUSBThread::connectFailedText())
                     && err.contains(QStringLiteral(
                         "Error: Activity class {com.quillharbor.phoneagent/.PhoneAgent} does not exist.")),
                 qPrintable(err));

        // adb would hang in the install far longer than any bound here; the
        // user cancels under a real progress dialog once it runs.
        m_adb->clearLog();
        m_adb->setHang(QStringLiteral("install"), kHungMs);
        ScriptedPrompt prompt;
        ProgressForm progress(QStringLiteral("connecting"));
        AndroidConnectWithUSBThread job(kSerial, &progress);
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, &progress, [&] {
            if (m_adb->commandLines().join(QLatin1Char('\n')).contains(QStringLiteral(" install ")))
                progress.reject();
        });
        canceller.start(20);
        QElapsedTimer t;
        t.start();
        QCOMPARE(::runJob(progress, job), JobResult::Cancelled);
        // A hang guard: without the cancel, adb's install would go on for
        // minutes.
        QVERIFY2(t.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(t.elapsed())));
        VERIFY_SCRIPT_DONE(prompt); // no message after a cancel
        const QStringList lines = m_adb->commandLines();
        QCOMPARE(lines.size(), 2); // the version, the install; no start
        QVERIFY(lines.at(1).contains(QStringLiteral(" install -r ")));
    }
    // Every way the Wi-Fi road can fail ends the job with its error, or
    // silently on a cancel. A phone that answers and one that refuses are
    // met in the Wi-Fi dialog's test.
    void wifiRoadFaults_endInTheirErrors_data()
    {
        CHECKED(loadtest::jsonRows(QStringLiteral("wifi-connect-faults.json")));
    }
    void wifiRoadFaults_endInTheirErrors()
    {
        QFETCH(QJsonObject, row);
        // The phone's address as this program holds it, in the error too.
        const QString typed = row[QStringLiteral("address")].toString();
        const QString address = testsupport::loopback(typed);
        const QString error = row[QStringLiteral("error")].toString().replace(typed, address);
        const bool listening = row.contains(QStringLiteral("fault")); // else nobody listens
        testsupport::SimPhone phone({.address = address, .fixture = {}, .imei = {}, .listen = listening});
        PHONE_OK(phone);
        if (listening)
            phone.sim->addFault(loadtest::faultOf(row));
        testsupport::RecordingJobReport report;
        AndroidConnectWithWiFiThread job(address, &report);
        job.start();
        if (row[QStringLiteral("cancel")].toBool()) {
            QTRY_VERIFY_WITH_TIMEOUT(!phone.sim->connections(QStringLiteral("service")).isEmpty(),
                                     testsupport::kHangGuardMs);
            QTest::qWait(200);
            report.cancel();
            QVERIFY(job.wait(
                QDeadlineTimer(testsupport::kHangGuardMs))); // ends after the cancel, not at a limit of its own
            QCOMPARE(report.endCount(), 0);
            phone.sim->releaseStalls();
            return;
        }
        QVERIFY(job.wait(QDeadlineTimer(testsupport::kHangGuardMs)));
        QCOMPARE(job.device().version, 0);
        QVERIFY(report.failed());
        QVERIFY2(loadtest::errorMatches(report.errors().value(0), error), qPrintable(report.errors().value(0)));
        if (row[QStringLiteral("phoneToldError")].toBool()) {
            QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, testsupport::kHangGuardMs));
            QTRY_COMPARE_WITH_TIMEOUT(phone.sim->linesReceived(QStringLiteral("device-info")).value(0),
                                      "$error:" + error.toUtf8().toBase64(), testsupport::kHangGuardMs);
        }
    }

private:
    // How long the stand-in hangs where a test wants adb killed: longer than
    // any bound in these tests.
    static constexpr int kHungMs = 10 * testsupport::kHangGuardMs;

    // Waits until the monitor has begun two more listings: the first of them
    // has ended, and what it found has been announced (its signals, queued
    // before the second began, are delivered here). False at the hang guard.
    [[nodiscard]] bool listedAgain()
    {
        const auto listings = [this] {
            const QList<FakeAdb::Call> calls = m_adb->calls();
            return std::count_if(calls.begin(), calls.end(),
                                 [](const FakeAdb::Call& c) { return c.args.value(0) == QLatin1String("devices"); });
        };
        const auto before = listings();
        const bool listed = QTest::qWaitFor([&] { return listings() >= before + 2; }, testsupport::kHangGuardMs);
        QCoreApplication::processEvents();
        return listed;
    }

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

    // Replaces the stand-in's listing (and drops a fixed answer to
    // "devices") in one write of its state file.
    void setListing(const QList<FakeAdb::Device>& devices)
    {
        QJsonArray list;
        for (const FakeAdb::Device& d : devices)
            list.append(QJsonObject {{QStringLiteral("serial"), d.serial}, {QStringLiteral("state"), d.state}});
        QJsonObject state = m_adb->state();
        QJsonObject commands = state.value(QStringLiteral("commands")).toObject();
        commands.remove(QStringLiteral("devices"));
        state.insert(QStringLiteral("commands"), commands);
        state.insert(QStringLiteral("devices"), list);
        m_adb->setState(state);
    }

    QString url() const { return QStringLiteral("backup://127.0.0.1:%1/device-info").arg(m_port); }
    void setPhone(int agentVersion)
    {
        m_adb->setDevices(
            {FakeAdb::Device(kSerial, QStringLiteral("device"), agentVersion, 21, m_sim->bridgeAddress())});
    }
    std::unique_ptr<AndroidConnectWithUSBThread> runJob(testsupport::RecordingJobReport& report)
    {
        auto job = std::make_unique<AndroidConnectWithUSBThread>(kSerial, &report);
        if (!loadtest::runJob(*job))
            qWarning("the USB connection job did not end");
        return job;
    }

    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<phonesim::PhoneSim> m_sim; // the phone on USB
    int m_port = 0;
    QStringList m_events; // what the monitor announced
};

QTEST_MAIN(TestConnect)
#include "test_connect.moc"
