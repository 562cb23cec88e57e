#include "phonelink/adbhelper.h"
#include "phonelink/androidmonitor.h"

#include "fakeadbenv.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using phonesim::FakeAdb;

class TestAndroidMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<AdbDevice>("AdbDevice"); }
    void init();
    void cleanup() { m_adb.reset(); }

    void announcesSerialsAsTheListChanges();
    void shutdownDoesNotWaitForHungAdb();

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

void TestAndroidMonitor::init()
{
    m_events.clear();
    m_adb = std::make_unique<FakeAdb>(testsupport::makeTempDir(QStringLiteral("fakeadb")));
    QVERIFY2(m_adb->isValid(), "fake-adb is not built");
    m_adb->install();
}

void TestAndroidMonitor::announcesSerialsAsTheListChanges()
{
    list({ QStringLiteral("ABC123 unauthorized") });
    auto monitor = startMonitor();
    QTRY_COMPARE(m_events, QStringList { QStringLiteral("+ABC123 unauthorized") });

    // A change of state alone is announced by nothing.
    list({ QStringLiteral("ABC123 device") });
    QTest::qWait(400);
    QCOMPARE(m_events.size(), 1);
    QCOMPARE(monitor->knownCount(), 1);

    list({});
    QTRY_COMPARE(m_events.size(), 2);
    QCOMPARE(m_events.last(), QStringLiteral("-ABC123"));
    QTRY_COMPARE(monitor->knownCount(), 0);

    // Two new phones of one listing come in listing order; a network serial
    // is kept whole. Both leave in one listing.
    list({ QStringLiteral("ZZZ9 device"), QStringLiteral("192.168.1.5:5555 device") });
    QTRY_COMPARE(m_events.size(), 4);
    QCOMPARE(
        m_events.mid(2), (QStringList { QStringLiteral("+ZZZ9 device"), QStringLiteral("+192.168.1.5:5555 device") }));
    list({});
    QTRY_COMPARE(m_events.size(), 6);
    QCOMPARE(m_events.mid(4), (QStringList { QStringLiteral("-192.168.1.5:5555"), QStringLiteral("-ZZZ9") }));
    monitor.reset();

    // The default server is stopped first, ours started on its own port,
    // and stopped again on shutdown.
    const QList<FakeAdb::Call> calls = m_adb->calls();
    QVERIFY(calls.size() >= 4);
    QVERIFY(!calls.at(0).serverPortSet);
    QStringList seen;
    for (const FakeAdb::Call& c : { calls.at(0), calls.at(1), calls.at(2), calls.last() })
        seen << c.args.join(QLatin1Char(' ')) + QLatin1Char('@') + c.serverPort;
    QCOMPARE(seen.mid(1), (QStringList { "start-server@30399", "devices@30399", "kill-server@30399" }));
    QVERIFY(seen.first().startsWith(QStringLiteral("kill-server@")));
}

void TestAndroidMonitor::shutdownDoesNotWaitForHungAdb()
{
    list({ QStringLiteral("S1 device") });
    auto monitor = startMonitor();
    QTRY_COMPARE(m_events.size(), 1);

    // adb hangs on the next listing; a hung listing changes nothing.
    m_adb->setHang(QStringLiteral("devices"), 30000);
    QTest::qWait(300);
    const qsizetype calls = m_adb->calls().size();
    QTest::qWait(300);
    QCOMPARE(m_adb->calls().size(), calls); // stuck in the listing
    QCOMPARE(m_adb->calls().last().args, QStringList { QStringLiteral("devices") });

    QElapsedTimer t;
    t.start();
    monitor.reset();
    QVERIFY2(t.elapsed() < 3000, qPrintable(QStringLiteral("shutdown took %1 ms").arg(t.elapsed())));
    QCOMPARE(m_events, QStringList { QStringLiteral("+S1 device") });
    QCOMPARE(m_adb->calls().last().args, QStringList { QStringLiteral("kill-server") });
}

QTEST_GUILESS_MAIN(TestAndroidMonitor)
#include "test_androidmonitor.moc"
