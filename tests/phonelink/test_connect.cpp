// The phone's descriptor and the two roads to a phone, end to end: over USB
// fake-adb plays adb and hands broadcasts and "am start" to the simulated
// phone on 127.0.0.1; over Wi-Fi each case plays its phone on an address of
// its own, on the real port 48889.
#include "phonelink/adbhelper.h"
#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/dataroot.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/scriptedprompt.h"

#include "fakeadbenv.h"
#include "simtestutil.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

using phonesim::FakeAdb;
using phonesim::Fault;
Q_DECLARE_METATYPE(phonesim::Fault)

namespace {
const QString kSerial = QStringLiteral("R58M41XYZ");
const QString kPackage = QStringLiteral("com.quillharbor.phoneagent");
} // namespace

class TestConnect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { AndroidConnectWithUSBThread::setInstallPauseMs(0); }
    void init();
    void cleanup();

    void cacheDir_isNamedByImei_elseUid_elseSerial();
    void hostileNames_stayOneComponentInsideCache();
    void parseDeviceInfo();

    void oldAgent_isInstalledStartedAndAsked();
    void failures_followConnectFailedText();
    void cancelDuringHungInstall_killsAdbAndEndsSilently();
    void agentNeverReady_failsAfterTimeLimit();
    void currentAgent_isNotInstalled_andForceStopIsUsbOnly();

    void wifiRoad_readsDeviceInfo();
    void agentFaults_endInTheirErrors_data();
    void agentFaults_endInTheirErrors();
    void stalledAgent_cancelEndsSilently();

private:
    QString url() const { return QStringLiteral("backup://127.0.0.1:%1/device-info").arg(m_port); }
    void setPhone(int agentVersion)
    {
        m_adb->setDevices(
            {FakeAdb::Device(kSerial, QStringLiteral("device"), agentVersion, 21, m_sim->bridgeAddress())});
    }
    std::unique_ptr<AndroidConnectWithUSBThread> runJob(testsupport::RecordingJobReport& report)
    {
        auto job = std::make_unique<AndroidConnectWithUSBThread>(kSerial, &report);
        job->start();
        if (!simtest::finish(*job, 30000))
            qWarning("the USB connection job did not end");
        return job;
    }
    // Runs the Wi-Fi connection job against address to its end.
    static AndroidDeviceInfo connectTo(const QString& address, testsupport::RecordingJobReport& report)
    {
        AndroidConnectWithWiFiThread job(address, &report);
        job.start();
        if (!simtest::finish(job, 60000))
            qWarning("the Wi-Fi connection job did not end");
        return job.device();
    }

    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<phonesim::PhoneSim> m_sim; // the phone on USB
    int m_port = 0;
};

void TestConnect::init()
{
    // A phone on USB; "adb" on PATH is now the stand-in, listing no phone.
    testsupport::SimPhone phone(testsupport::SimPhone::Options {});
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    m_adb = std::move(phone.adb);
    m_sim = std::move(phone.sim);
    m_adb->setDevices({});

    m_port = simtest::pinLocalPort();
}

void TestConnect::cleanup()
{
    simpleprotocol::setLocalPortProvider({});
    m_sim.reset();
    m_adb.reset();
}

void TestConnect::cacheDir_isNamedByImei_elseUid_elseSerial()
{
    AndroidDeviceInfo usb;
    usb.serial = QStringLiteral("R58M123");
    usb.uid = QStringLiteral("a1b2c3");
    usb.imei = QStringLiteral("356938035643809");
    AndroidDeviceInfo wifi = usb;
    wifi.isWiFi = true;
    wifi.serial.clear();
    const QString expected = getDataDir().absoluteFilePath(QStringLiteral("android_cache/356938035643809"));
    QCOMPARE(usb.cacheDir().absolutePath(), expected);
    QCOMPARE(wifi.cacheDir().absolutePath(), expected);
    // Deleted while in use: made again.
    QVERIFY(QDir(expected).removeRecursively());
    QVERIFY(usb.cacheDir().exists());

    // Phones without an IMEI never share a folder.
    usb.imei.clear();
    QCOMPARE(usb.cacheDir().dirName(), QStringLiteral("a1b2c3"));
    usb.uid.clear();
    QCOMPARE(usb.cacheFolderName(), QStringLiteral("R58M123"));
    QCOMPARE(AndroidDeviceInfo().cacheFolderName(), QStringLiteral("unknown_device"));
}

void TestConnect::hostileNames_stayOneComponentInsideCache()
{
    for (const QString& name : {QStringLiteral(".."), QStringLiteral("."), QStringLiteral("../../etc"),
                                QStringLiteral("/tmp/x"), QStringLiteral("..\\..\\x"), QStringLiteral("CON"),
                                QStringLiteral("192.168.1.5:5555"), QString::fromUtf8("a\0b", 3)}) {
        AndroidDeviceInfo d;
        d.imei = name;
        d.uid = QStringLiteral("fallback-uid");
        const QDir dir = d.cacheDir();
        QCOMPARE(QFileInfo(dir.absolutePath()).absolutePath(),
                 getDataDir().absoluteFilePath(QStringLiteral("android_cache")));
        QVERIFY2(dir.dirName() != QLatin1String("..") && dir.dirName() != QLatin1String("."), qPrintable(name));

        // The ".mmc" file is named by the device id: the serial over USB, the
        // uid over Wi-Fi.
        for (bool wifi : {false, true}) {
            AndroidDeviceInfo m;
            m.isWiFi = wifi;
            (wifi ? m.uid : m.serial) = name;
            const QString file = m.mmcFileName();
            QVERIFY2(file.endsWith(QLatin1String(".mmc")) && file != QLatin1String("..mmc"), qPrintable(file));
            for (const QChar bad : {QChar(u'/'), QChar(u'\\'), QChar(u':'), QChar(0)})
                QVERIFY2(!file.contains(bad), qPrintable(file));
        }
    }
}

void TestConnect::parseDeviceInfo()
{
    // Empty values and unknown or miscased keys leave the field as it was.
    AndroidDeviceInfo d;
    d.model = QStringLiteral("Rocket 7");
    d.parseDeviceInfo(QStringLiteral("model=;imei=35693;Manufacturer=Acme;uid=u-1;mmc=262;version=15;color=blue"));
    QCOMPARE(QStringList({d.model, d.imei, d.manufacturer, d.uid, d.mmc, QString::number(d.version)}),
             QStringList({"Rocket 7", "35693", "", "u-1", "262", "15"}));
    d.parseDeviceInfo(QStringLiteral("version=beta"));
    QCOMPARE(d.version, 0);
}

void TestConnect::oldAgent_isInstalledStartedAndAsked()
{
    setPhone(11);
    // A stale, read-only copy from an earlier run is replaced.
    const QString target = getDataDir().absoluteFilePath(QStringLiteral("com.quillharbor.phoneagent.apk"));
    QFile stale(target);
    QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("stale") == 5);
    stale.close();
    QFile::setPermissions(target, QFileDevice::ReadOwner);

    testsupport::RecordingJobReport report;
    auto job = runJob(report);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.progress().size(), 1);
    QCOMPARE(report.progress().first().percent, 99);
    QCOMPARE(job->device().deviceId(), kSerial);
    QCOMPARE(job->device().version, 20);

    QCOMPARE(m_adb->commandLines(),
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
    QFile copy(target);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QFile resource(PhoneAgentPackage::resource());
    QVERIFY(resource.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), resource.readAll());
    QCOMPARE(copy.permissions() & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QTRY_COMPARE(m_sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray> {"$bye:"});
}

void TestConnect::failures_followConnectFailedText()
{
    // A failed install shows when the agent cannot be started.
    setPhone(0);
    m_adb->setCommand(QStringLiteral("install"), QString(),
                      QStringLiteral("adb: failed to install: INSTALL_FAILED_INVALID_APK\n"), 1);
    testsupport::RecordingJobReport report;
    runJob(report);
    QCOMPARE(report.errors().size(), 1);
    const QString err = report.errors().first();
    QVERIFY2(err.startsWith(AndroidConnectWithUSBThread::connectFailedText())
                 && err.contains(
                     QStringLiteral("Error: Activity class {com.quillharbor.phoneagent/.PhoneAgent} does not exist.")),
             qPrintable(err));

    setPhone(15);
    m_sim->addFault(
        Fault(Fault::Kind::ErrorAt, QStringLiteral("device-info"), 2, "no permission to read the phone state"));
    testsupport::RecordingJobReport agentError;
    runJob(agentError);
    QCOMPARE(agentError.errors(),
             QStringList {AndroidConnectWithUSBThread::connectFailedText()
                          + QStringLiteral("no permission to read the phone state")});
}

void TestConnect::cancelDuringHungInstall_killsAdbAndEndsSilently()
{
    // adb would hang for 30 s in the install; the user cancels after 300 ms
    // under a real progress dialog.
    setPhone(0);
    m_adb->setHang(QStringLiteral("install"), 30000);
    ScriptedPrompt prompt;
    ProgressForm progress(QStringLiteral("connecting"));
    AndroidConnectWithUSBThread job(kSerial, &progress);
    QTimer::singleShot(300, &progress, [&] { progress.reject(); });
    QElapsedTimer t;
    t.start();
    QCOMPARE(::runJob(progress, job), JobResult::Cancelled);
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    VERIFY_SCRIPT_DONE(prompt); // no message after a cancel
    const QStringList lines = m_adb->commandLines();
    QCOMPARE(lines.size(), 2); // the version, the install; no start
    QVERIFY(lines.at(1).contains(QStringLiteral(" install -r ")));
}

void TestConnect::agentNeverReady_failsAfterTimeLimit()
{
    // A stopped agent: broadcasts reach nobody; retried until the limit.
    setPhone(15);
    m_sim->setAgentRunning(false);
    AndroidDeviceInfo d;
    d.serial = kSerial;
    QElapsedTimer t;
    t.start();
    try {
        delete d.connect(url(), 600);
        QFAIL("connected to an agent that never got ready");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("start %1 failed.").arg(url()));
    }
    QVERIFY(t.elapsed() >= 600 && t.elapsed() < 8000);
}

void TestConnect::currentAgent_isNotInstalled_andForceStopIsUsbOnly()
{
    setPhone(12);
    testsupport::RecordingJobReport report;
    AndroidDeviceInfo d = runJob(report)->device();
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
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
    d.serial = QStringLiteral("GONE"); // adb complains, forceStopAgent does not
    d.forceStopAgent();
}

void TestConnect::wifiRoad_readsDeviceInfo()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.2"), &error);
    QVERIFY2(sim, qPrintable(error));
    testsupport::RecordingJobReport report;
    const AndroidDeviceInfo d = connectTo(QStringLiteral("127.0.46.2"), report);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QVERIFY(d.isWiFi);
    QCOMPARE(d.host, QStringLiteral("127.0.46.2"));
    QCOMPARE(d.port, 48889);
    QCOMPARE(d.version, 20);
    QCOMPARE(d.deviceId(), QStringLiteral("uid-7f3a"));
    QCOMPARE(d.mmc, QStringLiteral("262"));

    // The control line named the service; the service got "$bye:" only.
    QVERIFY(sim->waitFinished(QStringLiteral("service"), 1, 5000));
    const auto control = sim->connections(QStringLiteral("control"));
    QCOMPARE(control.size(), 1);
    QCOMPARE(control.first().linesIn, QList<QByteArray> {url().toUtf8()});
    QTRY_COMPARE(sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray> {"$bye:"});
}

void TestConnect::agentFaults_endInTheirErrors_data()
{
    const QString info = QStringLiteral("device-info");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<Fault>("fault");
    // A final "*" matches any rest; the refusal is met in the Wi-Fi dialog's test.
    QTest::addColumn<QString>("error");
    QTest::newRow("nobody listening") << "127.0.46.4" << false << Fault() << "can not connect 127.0.46.4:48889.";
    QTest::newRow("agent error alone") << "127.0.46.5" << true
                                       << Fault(Fault::Kind::ErrorAt, info, 2, "permission denied: phone state")
                                       << "permission denied: phone state";
    QTest::newRow("bad first line") << "127.0.46.6" << true
                                    << Fault(Fault::Kind::WrongLineAt, info, 1, "HTTP/1.1 400 Bad Request")
                                    << "invalid feedback [HTTP/1.1 400 Bad Request], must be [$ready:]";
    QTest::newRow("closes mid-line") << "127.0.46.7" << true << Fault(Fault::Kind::CloseAt, info, 2, "$hello:version=2")
                                     << "";
    QTest::newRow("oversized hello") << "127.0.46.8" << true
                                     << Fault(Fault::Kind::OversizedLineAt, info, 2, {},
                                              simpleprotocol::kMaxLineBytes + 1024 * 1024)
                                     << "line too long*";
}

void TestConnect::agentFaults_endInTheirErrors()
{
    QFETCH(QString, address);
    QFETCH(bool, simulate);
    QFETCH(Fault, fault);
    QFETCH(QString, error);
    std::unique_ptr<phonesim::PhoneSim> sim;
    if (simulate) {
        QString simError;
        sim = simtest::startWifiSim(address, &simError);
        QVERIFY2(sim, qPrintable(simError));
        sim->addFault(fault);
    }
    testsupport::RecordingJobReport report;
    QCOMPARE(connectTo(address, report).version, 0);
    QVERIFY(report.failed());
    if (error.endsWith(QLatin1Char('*')))
        QVERIFY2(report.errors().first().startsWith(error.chopped(1)), qPrintable(report.errors().first()));
    else if (!error.isEmpty())
        QCOMPARE(report.errors().first(), error);
    if (fault.kind == Fault::Kind::WrongLineAt) { // the phone was told why
        QVERIFY(sim->waitFinished(QStringLiteral("service"), 1, 5000));
        QTRY_COMPARE(sim->linesReceived(QStringLiteral("device-info")).value(0), "$error:" + error.toUtf8().toBase64());
    }
}

void TestConnect::stalledAgent_cancelEndsSilently()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.9"), &error);
    QVERIFY2(sim, qPrintable(error));
    sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("device-info"), 2));

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.9"), &report);
    job.start();
    QTRY_VERIFY(!sim->connections(QStringLiteral("service")).isEmpty());
    QTest::qWait(200);
    QElapsedTimer t;
    t.start();
    report.cancel();
    QVERIFY(simtest::finish(job, 5000));
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(report.endCount(), 0);
    sim->releaseStalls();
}

QTEST_MAIN(TestConnect)
#include "test_connect.moc"
