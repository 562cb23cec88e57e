#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "simtestutil.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QtTest>

using phonesim::Fault;

// Each case plays its phone on an address of its own, on the real port 48889.
class TestWifiConnect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_port = simtest::freePort();
        const int port = m_port;
        simpleprotocol::setLocalPortProvider([port] { return port; });
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void wifiRoad_readsDeviceInfo();
    void refusal_givesStartFailedWithReason();
    void nobodyListening_givesCanNotConnect();
    void agentError_isPostedAlone();
    void badFirstLine_isRefusedToThePhone();
    void agentClosesBeforeHello_fails();
    void oversizedHello_isRefused();
    void stalledAgent_cancelEndsSilently();

private:
    QString url() const { return QStringLiteral("backup://127.0.0.1:%1/device-info").arg(m_port); }
    int m_port = 0;
};

void TestWifiConnect::wifiRoad_readsDeviceInfo()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.2"), &error);
    QVERIFY2(sim, qPrintable(error));

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.2"), &report);
    job.start();
    QVERIFY(simtest::finish(job));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.successes(), QStringList { QString() });
    QCOMPARE(report.progress().size(), 1);
    QCOMPARE(report.progress().first().percent, 99);

    const AndroidDeviceInfo& d = job.device();
    QVERIFY(d.isWiFi);
    QCOMPARE(d.host, QStringLiteral("127.0.46.2"));
    QCOMPARE(d.port, 48889);
    QCOMPARE(d.version, 20);
    QCOMPARE(d.displayName(), QStringLiteral("Acme Rocket 7"));
    QCOMPARE(d.imei, QStringLiteral("356938035643809"));
    QCOMPARE(d.deviceId(), QStringLiteral("uid-7f3a"));
    QCOMPARE(d.sdk, QStringLiteral("13"));
    QCOMPARE(d.mmc, QStringLiteral("262"));

    // The control line named the service; the service got "$bye:" only.
    QVERIFY(sim->waitFinished(QStringLiteral("service"), 1, 5000));
    const auto control = sim->connections(QStringLiteral("control"));
    QCOMPARE(control.size(), 1);
    QCOMPARE(control.first().linesIn, QList<QByteArray> { url().toUtf8() });
    QCOMPARE(sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray> { "$bye:" });
}

void TestWifiConnect::refusal_givesStartFailedWithReason()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.3"), &error);
    QVERIFY2(sim, qPrintable(error));
    Fault f;
    f.kind = Fault::Kind::RefuseControl;
    f.text = "Phone Agent is busy";
    sim->addFault(f);

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.3"), &report);
    job.start();
    QVERIFY(simtest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("start %1 failed.Phone Agent is busy").arg(url()) });
    QVERIFY(sim->connections(QStringLiteral("service")).isEmpty());
}

void TestWifiConnect::nobodyListening_givesCanNotConnect()
{
    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.4"), &report);
    job.start();
    QVERIFY(simtest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("can not connect 127.0.46.4:48889.") });
}

void TestWifiConnect::agentError_isPostedAlone()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.5"), &error);
    QVERIFY2(sim, qPrintable(error));
    Fault f;
    f.kind = Fault::Kind::ErrorAt;
    f.service = QStringLiteral("device-info");
    f.step = 2; // in place of "$hello:"
    f.text = "permission denied: phone state";
    sim->addFault(f);

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.5"), &report);
    job.start();
    QVERIFY(simtest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("permission denied: phone state") });
}

void TestWifiConnect::badFirstLine_isRefusedToThePhone()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.6"), &error);
    QVERIFY2(sim, qPrintable(error));
    Fault f;
    f.kind = Fault::Kind::WrongLineAt;
    f.service = QStringLiteral("device-info");
    f.step = 1; // in place of "$ready:"
    f.text = "HTTP/1.1 400 Bad Request";
    sim->addFault(f);

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.6"), &report);
    job.start();
    QVERIFY(simtest::finish(job));
    const QString text = QStringLiteral("invalid feedback [HTTP/1.1 400 Bad Request], must be [$ready:]");
    QCOMPARE(report.errors(), QStringList { text });
    // The phone was told why.
    QVERIFY(sim->waitFinished(QStringLiteral("service"), 1, 5000));
    const QList<QByteArray> in = sim->linesReceived(QStringLiteral("device-info"));
    QVERIFY(!in.isEmpty());
    QCOMPARE(in.first(), "$error:" + text.toUtf8().toBase64());
}

void TestWifiConnect::agentClosesBeforeHello_fails()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.7"), &error);
    QVERIFY2(sim, qPrintable(error));
    Fault f;
    f.kind = Fault::Kind::CloseAt;
    f.service = QStringLiteral("device-info");
    f.step = 2;
    f.text = "$hello:version=2"; // stops mid-line
    sim->addFault(f);

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.7"), &report);
    job.start();
    QVERIFY(simtest::finish(job));
    QVERIFY(report.failed());
    QCOMPARE(job.device().version, 0);
}

void TestWifiConnect::oversizedHello_isRefused()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.8"), &error);
    QVERIFY2(sim, qPrintable(error));
    Fault f;
    f.kind = Fault::Kind::OversizedLineAt;
    f.service = QStringLiteral("device-info");
    f.step = 2;
    f.size = simpleprotocol::kMaxLineBytes + 1024 * 1024;
    sim->addFault(f);

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.8"), &report);
    job.start();
    QVERIFY(simtest::finish(job, 60000));
    QVERIFY(report.failed());
}

void TestWifiConnect::stalledAgent_cancelEndsSilently()
{
    QString error;
    auto sim = simtest::startWifiSim(QStringLiteral("127.0.46.9"), &error);
    QVERIFY2(sim, qPrintable(error));
    Fault f;
    f.kind = Fault::Kind::StallAt;
    f.service = QStringLiteral("device-info");
    f.step = 2;
    sim->addFault(f);

    testsupport::RecordingJobReport report;
    AndroidConnectWithWiFiThread job(QStringLiteral("127.0.46.9"), &report);
    job.start();
    QTRY_VERIFY(!sim->connections(QStringLiteral("service")).isEmpty());
    QTest::qWait(200);
    QVERIFY(job.isRunning());
    QElapsedTimer t;
    t.start();
    report.cancel();
    QVERIFY(simtest::finish(job, 5000));
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(report.endCount(), 0);
    sim->releaseStalls();
}

QTEST_GUILESS_MAIN(TestWifiConnect)
#include "test_wificonnect.moc"
