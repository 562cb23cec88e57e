// The call restore on the shared restore frame, against the simulated phone
// that checks every line it receives.
#include "jobs/androidrestorecallsthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcallhistorydb.h"
#include "shell/core/translations.h"

#include "restoretestutil.h"
#include "testsupport.h"

#include <QtTest>

using phonesim::Fault;

class TestRestoreCalls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init()
    {
        const int port = restoretest::freePort();
        simpleprotocol::setLocalPortProvider([port] { return port; });
        m_dir = testsupport::makeTempDir(QStringLiteral("restorecalls"));
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void calls_goInBatchesOf100_andAreMirroredInTheCache();
    void lineFields_followTheWireRules();
    void secondRestore_sendsAgain_butCacheStoresNoneTwice();
    void emptyList_saysByeAtOnce();
    void phoneErrorMidRestore_keepsNoBatchInTheCache();
    void cancelMidRestore_keepsNoBatch_andPostsNothing();
    void wrongAcknowledgement_endsWithProtocolError();
    void unreachablePhone_reportsTheConnectionError();

private:
    static QList<CallRecord> makeCalls(int n);
    QString cachePath() const { return m_dir + QStringLiteral("/calls.db"); }
    QString m_dir;
};

QList<CallRecord> TestRestoreCalls::makeCalls(int n)
{
    QList<CallRecord> calls;
    for (int i = 0; i < n; ++i) {
        CallRecord c;
        c.address = QStringLiteral("+4930%1").arg(100000 + i);
        c.date = QDateTime::fromSecsSinceEpoch(1700000000 + i * 60);
        c.duration = i;
        c.flags = (i % 2) ? CALL_FLAG_INCOMING : CALL_FLAG_OUTGOING;
        calls.append(c);
    }
    return calls;
}

void TestRestoreCalls::calls_goInBatchesOf100_andAreMirroredInTheCache()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.1"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    LocalCallHistoryDb cache(cachePath());
    testsupport::RecordingJobReport report;
    AndroidRestoreCallsThread job(&phone.device, &cache, makeCalls(250), &report);
    job.start();
    QVERIFY(restoretest::finish(job));

    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully restored 250 Call History to Android.") });
    QCOMPARE(report.progressTexts(),
        (QStringList {
            QStringLiteral("Calls:100 / 250"), QStringLiteral("Calls:200 / 250"), QStringLiteral("Calls:250 / 250") }));
    QList<int> percents;
    for (const auto& p : report.progress()) {
        percents.append(p.percent);
        QVERIFY(p.status.isEmpty());
    }
    QCOMPARE(percents, (QList<int> { 40, 80, 100 }));

    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QVERIFY2(phone.store->errors().isEmpty(), qPrintable(phone.store->errors().join(QLatin1Char('\n'))));
    QCOMPARE(phone.store->batchSizes(QStringLiteral("calls")), (QList<int> { 100, 100, 50 }));
    QCOMPARE(phone.store->completedSessions(QStringLiteral("calls")), 1);
    QCOMPARE(cache.countCalls(), 250);
    const QList<CallRecord> stored = cache.loadAll();
    QCOMPARE(stored.first().address, QStringLiteral("+4930100249"));
    QCOMPARE(stored.first().duration, 249);
}

void TestRestoreCalls::lineFields_followTheWireRules()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.2"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    QList<CallRecord> calls(4);
    calls[0].date = QDateTime::fromMSecsSinceEpoch(1500);
    calls[0].flags = 0;
    calls[0].address = QStringLiteral("Zoë, \"home\"");
    calls[0].duration = 3725;
    calls[1].date = QDateTime::fromMSecsSinceEpoch(-1500);
    calls[1].flags = CALL_FLAG_MISSED;
    calls[2].flags = CALL_FLAG_INCOMING; // invalid date
    calls[3].flags = 77;
    calls[3].date = QDateTime::fromSecsSinceEpoch(4102444800); // past 2038

    LocalCallHistoryDb cache(cachePath());
    testsupport::RecordingJobReport report;
    AndroidRestoreCallsThread job(&phone.device, &cache, calls, &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QVERIFY(phone.store->errors().isEmpty());

    const QList<QByteArray> lines = phone.sim->linesReceived(QStringLiteral("calls"));
    QCOMPARE(lines.size(), 7); // $batch:, 4 calls, $end:, $bye:
    QCOMPARE(lines.at(0), QByteArray("$batch:"));
    QCOMPARE(lines.at(1), "$call:1,missed," + QStringLiteral("Zoë, \"home\"").toUtf8().toBase64() + ",3725");
    QCOMPARE(lines.at(2), QByteArray("$call:-1,rejected,,0"));
    QCOMPARE(lines.at(3), QByteArray("$call:0,incoming,,0"));
    QCOMPARE(lines.at(4), QByteArray("$call:4102444800,missed,,0"));
    QCOMPARE(lines.at(5), QByteArray("$end:"));
    QCOMPARE(lines.at(6), QByteArray("$bye:"));
    QCOMPARE(phone.store->records(QStringLiteral("calls")).first().value(QStringLiteral("address")).toString(),
        QStringLiteral("Zoë, \"home\""));
}

void TestRestoreCalls::secondRestore_sendsAgain_butCacheStoresNoneTwice()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.3"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    LocalCallHistoryDb cache(cachePath());
    const QList<CallRecord> calls = makeCalls(120);
    for (int round = 1; round <= 2; ++round) {
        testsupport::RecordingJobReport report;
        AndroidRestoreCallsThread job(&phone.device, &cache, calls, &report);
        job.start();
        QVERIFY(restoretest::finish(job));
        QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
        QCOMPARE(report.successes().first(), QStringLiteral("Successfully restored 120 Call History to Android."));
        QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), round, 5000));
    }
    QCOMPARE(phone.store->records(QStringLiteral("calls")).size(), 240);
    QCOMPARE(cache.countCalls(), 120);
}

void TestRestoreCalls::emptyList_saysByeAtOnce()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.4"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    LocalCallHistoryDb cache(cachePath());
    testsupport::RecordingJobReport report;
    AndroidRestoreCallsThread job(&phone.device, &cache, {}, &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully restored 0 Call History to Android.") });
    QVERIFY(report.progress().isEmpty());
    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QCOMPARE(phone.sim->linesReceived(QStringLiteral("calls")), QList<QByteArray> { "$bye:" });
    QCOMPARE(phone.store->completedSessions(QStringLiteral("calls")), 1);
}

void TestRestoreCalls::phoneErrorMidRestore_keepsNoBatchInTheCache()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.5"), &error);
    QVERIFY2(phone.sim, qPrintable(error));
    // Step 1 is "$ready:", step 2 the first acknowledgement: fail the second.
    phone.sim->addFault(Fault(Fault::Kind::ErrorAt, QStringLiteral("calls"), 3, "Storage is full"));

    LocalCallHistoryDb cache(cachePath());
    const QList<CallRecord> old = makeCalls(3);
    for (const CallRecord& c : old)
        cache.addCall(c);

    testsupport::RecordingJobReport report;
    QList<CallRecord> calls = makeCalls(250).mid(10);
    AndroidRestoreCallsThread job(&phone.device, &cache, calls, &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("Storage is full") });
    QCOMPARE(report.endCount(), 1);
    // The phone keeps the batch it acknowledged; the cache keeps only what it had.
    QCOMPARE(phone.store->batchSizes(QStringLiteral("calls")), QList<int> { 100 });
    QCOMPARE(cache.countCalls(), 3);
    QVERIFY(phone.store->errors().isEmpty());
}

void TestRestoreCalls::cancelMidRestore_keepsNoBatch_andPostsNothing()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.6"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    LocalCallHistoryDb cache(cachePath());
    testsupport::RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("Calls:200 / 250"));
    AndroidRestoreCallsThread job(&phone.device, &cache, makeCalls(250), &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.endCount(), 0);
    QVERIFY(report.progressTexts().contains(QStringLiteral("Calls:200 / 250")));
    QVERIFY(!report.progressTexts().contains(QStringLiteral("Calls:250 / 250")));
    QCOMPARE(cache.countCalls(), 0);
    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QCOMPARE(phone.store->completedSessions(QStringLiteral("calls")), 0);
    // The cache is usable afterwards: no transaction was left open.
    QVERIFY(!cache.connection().isRollbackOnly());
    QCOMPARE(cache.connection().tranDepth(), 0);
}

void TestRestoreCalls::wrongAcknowledgement_endsWithProtocolError()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.7"), &error);
    QVERIFY2(phone.sim, qPrintable(error));
    phone.sim->addFault(Fault(Fault::Kind::WrongLineAt, QStringLiteral("calls"), 2, "$end:"));

    LocalCallHistoryDb cache(cachePath());
    testsupport::RecordingJobReport report;
    AndroidRestoreCallsThread job(&phone.device, &cache, makeCalls(5), &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("invalid feedback [$end:], must be [$batch:]") });
    QCOMPARE(cache.countCalls(), 0);
    // The phone was told why.
    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QVERIFY(phone.sim->linesReceived(QStringLiteral("calls")).last().startsWith("$error:"));
}

void TestRestoreCalls::unreachablePhone_reportsTheConnectionError()
{
    AndroidDeviceInfo device;
    device.isWiFi = true;
    device.host = QStringLiteral("127.0.111.8"); // nobody listens there
    device.port = 48889;
    LocalCallHistoryDb cache(cachePath());
    testsupport::RecordingJobReport report;
    AndroidRestoreCallsThread job(&device, &cache, makeCalls(2), &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("can not connect 127.0.111.8:48889.") });
    QVERIFY(!QFile::exists(cachePath()));
}

QTEST_GUILESS_MAIN(TestRestoreCalls)
#include "test_restorecalls.moc"
