#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "simtestutil.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QtTest>

using phonesim::Fault;
Q_DECLARE_METATYPE(phonesim::Fault)

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
    void agentFaults_endInTheirErrors_data();
    void agentFaults_endInTheirErrors();
    void stalledAgent_cancelEndsSilently();

private:
    QString url() const { return QStringLiteral("backup://127.0.0.1:%1/device-info").arg(m_port); }
    // Starts a simulated phone at address (none when empty) with the fault and
    // runs the Wi-Fi connection job against it to its end.
    std::unique_ptr<phonesim::PhoneSim> run(const QString& address, testsupport::RecordingJobReport& report,
            AndroidDeviceInfo* device, const Fault* fault = nullptr, bool simulate = true)
    {
        std::unique_ptr<phonesim::PhoneSim> sim;
        if (simulate) {
            QString error;
            sim = simtest::startWifiSim(address, &error);
            if (!sim)
                qWarning("%s", qPrintable(error));
            else if (fault)
                sim->addFault(*fault);
        }
        AndroidConnectWithWiFiThread job(address, &report);
        job.start();
        if (!simtest::finish(job, 60000))
            qWarning("the Wi-Fi connection job did not end");
        if (device)
            *device = job.device();
        return sim;
    }
    int m_port = 0;
};

void TestWifiConnect::wifiRoad_readsDeviceInfo()
{
    testsupport::RecordingJobReport report;
    AndroidDeviceInfo d;
    auto sim = run(QStringLiteral("127.0.46.2"), report, &d);
    QVERIFY(sim);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.progress().size(), 1);
    QCOMPARE(report.progress().first().percent, 99);
    QVERIFY(d.isWiFi);
    QCOMPARE(d.host, QStringLiteral("127.0.46.2"));
    QCOMPARE(d.port, 48889);
    QCOMPARE(d.version, 20);
    QCOMPARE(d.imei, QStringLiteral("356938035643809"));
    QCOMPARE(d.deviceId(), QStringLiteral("uid-7f3a"));
    QCOMPARE(d.mmc, QStringLiteral("262"));

    // The control line named the service; the service got "$bye:" only.
    QVERIFY(sim->waitFinished(QStringLiteral("service"), 1, 5000));
    const auto control = sim->connections(QStringLiteral("control"));
    QCOMPARE(control.size(), 1);
    QCOMPARE(control.first().linesIn, QList<QByteArray> { url().toUtf8() });
    QCOMPARE(sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray> { "$bye:" });
}

void TestWifiConnect::agentFaults_endInTheirErrors_data()
{
    const QString info = QStringLiteral("device-info");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<Fault>("fault");
    // "%url" stands for the service URL; a final "*" matches any rest.
    QTest::addColumn<QString>("error");
    QTest::newRow("refusal") << "127.0.46.3" << true << Fault(Fault::Kind::RefuseControl, {}, 0, "Phone Agent is busy")
                             << "start %url failed.Phone Agent is busy";
    QTest::newRow("nobody listening") << "127.0.46.4" << false << Fault()
                                      << "can not connect 127.0.46.4:48889.";
    QTest::newRow("agent error alone") << "127.0.46.5" << true
                                       << Fault(Fault::Kind::ErrorAt, info, 2, "permission denied: phone state")
                                       << "permission denied: phone state";
    QTest::newRow("bad first line")
        << "127.0.46.6" << true << Fault(Fault::Kind::WrongLineAt, info, 1, "HTTP/1.1 400 Bad Request")
        << "invalid feedback [HTTP/1.1 400 Bad Request], must be [$ready:]";
    QTest::newRow("closes mid-line") << "127.0.46.7" << true << Fault(Fault::Kind::CloseAt, info, 2, "$hello:version=2")
                                     << "";
    QTest::newRow("oversized hello")
        << "127.0.46.8" << true
        << Fault(Fault::Kind::OversizedLineAt, info, 2, {}, simpleprotocol::kMaxLineBytes + 1024 * 1024)
        << "line too long*";
}

void TestWifiConnect::agentFaults_endInTheirErrors()
{
    QFETCH(QString, address);
    QFETCH(bool, simulate);
    QFETCH(Fault, fault);
    QFETCH(QString, error);
    testsupport::RecordingJobReport report;
    AndroidDeviceInfo d;
    auto sim = run(address, report, &d, &fault, simulate);
    QVERIFY(!simulate || sim);
    QVERIFY(report.failed());
    QCOMPARE(d.version, 0);
    error.replace(QStringLiteral("%url"), url());
    QCOMPARE(report.errors().size(), 1);
    if (error.endsWith(QLatin1Char('*')))
        QVERIFY2(report.errors().first().startsWith(error.chopped(1)), qPrintable(report.errors().first()));
    else if (!error.isEmpty())
        QCOMPARE(report.errors().first(), error);
    if (fault.kind == Fault::Kind::RefuseControl)
        QVERIFY(sim->connections(QStringLiteral("service")).isEmpty());
    if (fault.kind == Fault::Kind::WrongLineAt) { // the phone was told why
        QVERIFY(sim->waitFinished(QStringLiteral("service"), 1, 5000));
        QCOMPARE(sim->linesReceived(QStringLiteral("device-info")).value(0), "$error:" + error.toUtf8().toBase64());
    }
}

void TestWifiConnect::stalledAgent_cancelEndsSilently()
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
