#include "phonelink/adbhelper.h"
#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/dataroot.h"

#include "fakeadbenv.h"
#include "simtestutil.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

using phonesim::FakeAdb;
using phonesim::Fault;

namespace {
const QString kSerial = QStringLiteral("R58M41XYZ");
const QString kPackage = QStringLiteral("com.quillharbor.phoneagent");
} // namespace

// The USB road end to end: fake-adb plays adb and hands broadcasts and
// "am start" to the simulated phone, which serves on 127.0.0.1.
class TestUsbConnect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { AndroidConnectWithUSBThread::setInstallPauseMs(0); }
    void init();
    void cleanup();

    void oldAgent_isInstalledStartedAndAsked();
    void currentAgent_isNotInstalled();
    void failedInstall_showsWhenStartingTheAgent();
    void cancelDuringInstall_endsSilentlyAfterStart();
    void agentError_followsConnectFailedText();
    void agentNeverReady_failsAfterTimeLimit();
    void forceStopAgent_reachesThePhoneOnlyOverUsb();

private:
    QString url() const { return QStringLiteral("backup://127.0.0.1:%1/device-info").arg(m_port); }
    void setPhone(int agentVersion)
    {
        m_adb->setDevices({ FakeAdb::Device(kSerial, QStringLiteral("device"), agentVersion, 21, m_sim->bridgeAddress()) });
    }
    std::unique_ptr<AndroidConnectWithUSBThread> runJob(testsupport::RecordingJobReport& report)
    {
        auto job = std::make_unique<AndroidConnectWithUSBThread>(kSerial, &report);
        job->start();
        if (!simtest::finish(*job, 30000))
            qWarning("the USB connection job did not end");
        return job;
    }

    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<phonesim::PhoneSim> m_sim;
    int m_port = 0;
};

void TestUsbConnect::init()
{
    m_adb = std::make_unique<FakeAdb>(testsupport::makeTempDir(QStringLiteral("fakeadb")));
    QVERIFY2(m_adb->isValid(), "fake-adb is not built");
    m_adb->install(); // "adb" on PATH is now the stand-in

    phonesim::PhoneSim::Options o;
    o.wifi = false;
    o.acceptTimeoutMs = 5000;
    o.idleTimeoutMs = 5000;
    m_sim = std::make_unique<phonesim::PhoneSim>(simtest::fixture(), o);
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));

    m_port = simtest::freePort();
    const int port = m_port;
    simpleprotocol::setLocalPortProvider([port] { return port; });
}

void TestUsbConnect::cleanup()
{
    simpleprotocol::setLocalPortProvider({});
    m_sim.reset();
    m_adb.reset();
}

void TestUsbConnect::oldAgent_isInstalledStartedAndAsked()
{
    setPhone(11);
    // A stale, read-only copy from an earlier run is replaced.
    const QString target = getDataDir().absoluteFilePath(QStringLiteral("com.quillharbor.phoneagent.apk"));
    {
        QFile stale(target);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("stale");
    }
    QFile::setPermissions(target, QFileDevice::ReadOwner);

    testsupport::RecordingJobReport report;
    auto job = runJob(report);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.progress().size(), 1);
    QCOMPARE(report.progress().first().percent, 99);
    const AndroidDeviceInfo& d = job->device();
    QVERIFY(!d.isWiFi);
    QCOMPARE(d.deviceId(), kSerial);
    QCOMPARE(d.uid, QStringLiteral("uid-7f3a"));
    QCOMPARE(d.version, 20);

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
    QCOMPARE(m_sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray> { "$bye:" });
}

void TestUsbConnect::currentAgent_isNotInstalled()
{
    setPhone(12);
    testsupport::RecordingJobReport report;
    auto job = runJob(report);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    const QStringList lines = m_adb->commandLines();
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QStringLiteral(" install ")));
    QVERIFY(lines.value(1).contains(QStringLiteral(" am start ")));
}

void TestUsbConnect::failedInstall_showsWhenStartingTheAgent()
{
    setPhone(0);
    m_adb->setCommand(QStringLiteral("install"), QString(),
        QStringLiteral("adb: failed to install: INSTALL_FAILED_INVALID_APK\n"), 1);
    testsupport::RecordingJobReport report;
    auto job = runJob(report);
    QCOMPARE(report.errors().size(), 1);
    const QString err = report.errors().first();
    QVERIFY2(err.startsWith(AndroidConnectWithUSBThread::connectFailedText()), qPrintable(err));
    QVERIFY2(
        err.contains(QStringLiteral("Error: Activity class {com.quillharbor.phoneagent/.PhoneAgent} does not exist.")),
        qPrintable(err));
}

void TestUsbConnect::cancelDuringInstall_endsSilentlyAfterStart()
{
    setPhone(0);
    testsupport::RecordingJobReport report;
    report.cancel(); // pressed while the install runs: it goes on all the same
    auto job = runJob(report);
    QCOMPARE(report.endCount(), 0);
    QVERIFY(report.progress().isEmpty());
    const QStringList lines = m_adb->commandLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(1).contains(QStringLiteral(" install -r ")));
    QVERIFY(lines.at(2).contains(QStringLiteral(" am start ")));
}

void TestUsbConnect::agentError_followsConnectFailedText()
{
    setPhone(15);
    m_sim->addFault(Fault(Fault::Kind::ErrorAt, QStringLiteral("device-info"), 2, "no permission to read the phone state"));
    testsupport::RecordingJobReport report;
    auto job = runJob(report);
    QCOMPARE(report.errors(),
        QStringList { AndroidConnectWithUSBThread::connectFailedText()
            + QStringLiteral("no permission to read the phone state") });
}

void TestUsbConnect::agentNeverReady_failsAfterTimeLimit()
{
    // A stopped agent (broadcasts reach nobody), then one that closes every
    // session before "$ready:" (retried until the limit).
    setPhone(15);
    for (bool stopped : { true, false }) {
        m_sim->setAgentRunning(!stopped);
        if (!stopped)
            m_sim->addFault(Fault(Fault::Kind::CloseAt, QStringLiteral("device-info"), 1, {}, 0, -1));
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
}

void TestUsbConnect::forceStopAgent_reachesThePhoneOnlyOverUsb()
{
    setPhone(15);
    AndroidDeviceInfo d;
    d.serial = kSerial;
    d.isWiFi = true;
    d.forceStopAgent();
    QVERIFY(m_adb->commandLines().isEmpty());
    d.isWiFi = false;
    d.forceStopAgent();
    QCOMPARE(m_adb->commandLines(),
        QStringList { QStringLiteral("adb -s %1 shell am force-stop %2").arg(kSerial, kPackage) });
    QVERIFY(!m_sim->agentRunning());
    // An unknown phone: adb complains, forceStopAgent does not.
    d.serial = QStringLiteral("GONE");
    d.forceStopAgent();
}

QTEST_GUILESS_MAIN(TestUsbConnect)
#include "test_usbconnect.moc"
