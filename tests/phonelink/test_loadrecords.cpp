// The database loaders (calls, bookmarks, calendars, contacts, playlists)
// against the simulated phone: what they store, what they show, and that a
// cancel or any failure leaves the cache database as it was.
#include "phonelink/androidloadbookmarksthread.h"
#include "phonelink/androidloadcalendarsthread.h"
#include "phonelink/androidloadcallsthread.h"
#include "phonelink/androidloadcontactsthread.h"
#include "phonelink/androidloadplayliststhread.h"
#include "records/callrecord.h"
#include "records/contactcombinerule.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localcontactsdb.h"
#include "records/localplaylistdb.h"

#include "test_loadsupport.h"

#include <QElapsedTimer>
#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

constexpr int kNet = 81;

QJsonObject phoneFixture()
{
    return loadtest::fixtureFile(QStringLiteral("loaders-records.json"));
}

QString cachePath(const AndroidDeviceInfo& d, const QString& name)
{
    return d.cacheDir().absoluteFilePath(name);
}

// One call already in the cache before a load.
void seedCall(LocalCallHistoryDb& db)
{
    CallRecord c;
    c.address = QStringLiteral("+4930999");
    c.date = QDateTime::fromSecsSinceEpoch(1600000000);
    c.flags = CALL_FLAG_INCOMING;
    db.addCall(c);
}

} // namespace

class TestLoadRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { loadtest::useFreePorts(); }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void calls_fillTheCache_withCounterProgress();
    void bookmarks_keepFullIdAndMergeSameUrl();
    void calendars_writeAfterTheLastLine();
    void contacts_rebuildContactsAndShareGroups();
    void playlists_secondLoadAddsNothing();

    void faults_leaveTheCacheAsItWas_data();
    void faults_leaveTheCacheAsItWas();
    void usb_cancelRollsBackAndForceStops();
    void usb_successDoesNotForceStop();
};

void TestLoadRecords::calls_fillTheCache_withCounterProgress()
{
    loadtest::WifiPhone phone(kNet, phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalCallHistoryDb db(cachePath(phone.device, QStringLiteral("calls.db")));
    RecordingJobReport report;
    AndroidLoadCallsThread job(&phone.device, &db, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(report.successes(), QStringList{QString()});
    QCOMPARE(report.progressTexts(), (QStringList{QStringLiteral("Calls:1 / 4"), QStringLiteral("Calls:2 / 4"),
                                                  QStringLiteral("Calls:3 / 4"), QStringLiteral("Calls:4 / 4")}));
    QCOMPARE(report.progress().at(1).percent, 50);

    // The repeated call is stored once; an unknown word stores no flags.
    QList<CallRecord> calls = db.loadAll();
    QCOMPARE(calls.size(), 3);
    std::sort(calls.begin(), calls.end(), [](const CallRecord& a, const CallRecord& b) { return a.date < b.date; });
    QCOMPARE(calls.at(0).address, QStringLiteral("+4930111"));
    QCOMPARE(calls.at(0).flags, int(CALL_FLAG_INCOMING));
    QCOMPARE(calls.at(0).duration, 42);
    QCOMPARE(calls.at(0).date.toSecsSinceEpoch(), 1700000100);
    QCOMPARE(calls.at(1).flags, int(CALL_FLAG_OUTGOING));
    QCOMPARE(calls.at(2).flags, 0);

    // The dialogue as the phone saw it: batches acknowledged, "$bye:" last.
    const QList<QByteArray> in = phone.sim->linesReceived(QStringLiteral("calls"));
    QCOMPARE(in, (QList<QByteArray>{"$batch:", "$batch:", "$bye:"}));
}

void TestLoadRecords::bookmarks_keepFullIdAndMergeSameUrl()
{
    loadtest::WifiPhone phone(kNet, phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalBookmarkDb db(cachePath(phone.device, QStringLiteral("bookmarks.db")));
    RecordingJobReport report;
    AndroidLoadBookmarksThread job(&phone.device, &db, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(report.progressTexts().last(), QStringLiteral("Bookmarks:3 / 3"));

    const QList<BookmarkRecord*> all = db.loadAll();
    QCOMPARE(all.size(), 2);
    const auto first = std::find_if(all.begin(), all.end(), [](BookmarkRecord* b) {
        return b->srcId == QLatin1String("4294967297");
    });
    QVERIFY(first != all.end());
    QCOMPARE((*first)->title, QStringLiteral("Beispiel ü"));
    QCOMPARE((*first)->order_index, 1);
    qDeleteAll(all);
}

void TestLoadRecords::calendars_writeAfterTheLastLine()
{
    loadtest::WifiPhone phone(kNet, phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalCalendarsDb db(cachePath(phone.device, QStringLiteral("calendars.db")));
    RecordingJobReport report;
    AndroidLoadCalendarsThread job(&phone.device, &db, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    // Percent only; the count line "2,1,2" announced 5 lines.
    for (const RecordingJobReport::Progress& p : report.progress())
        QVERIFY(p.text.isEmpty());
    QCOMPARE(report.progress().last().percent, 100);

    const QList<CalendarRecord> cals = db.loadAll();
    QCOMPARE(cals.size(), 2); // a calendar without events is created too
    const auto work = std::find_if(cals.begin(), cals.end(), [](const CalendarRecord& c) {
        return c.name == QLatin1String("Work");
    });
    QVERIFY(work != cals.end());
    QCOMPARE(work->events.size(), 1);
    QCOMPARE(work->events.first().summary, QStringLiteral("Review"));
    QCOMPARE(work->events.first().start.toSecsSinceEpoch(), 1700003600);
    QCOMPARE(work->events.first().reminders.size(), 2);

    QCOMPARE(AndroidLoadCalendarsThread::parseCountList(QStringLiteral("3, 10,25")), 38);
    QCOMPARE(AndroidLoadCalendarsThread::parseCountList(QString()), 0);
}

void TestLoadRecords::contacts_rebuildContactsAndShareGroups()
{
    loadtest::WifiPhone phone(kNet, phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalContactsDb db(cachePath(phone.device, QStringLiteral("contacts.db")),
                       QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
    RecordingJobReport report;
    AndroidLoadContactsThread job(&db, &phone.device, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(report.progressTexts(), (QStringList{QStringLiteral("Contacts: 1/2"), QStringLiteral("Contacts: 2/2")}));

    QList<pim::_Contact> all = db.loadAll();
    QCOMPARE(all.size(), 2);
    std::sort(all.begin(), all.end(), [](const pim::_Contact& a, const pim::_Contact& b) { return a.id < b.id; });
    QCOMPARE(all.at(0).fullName, QStringLiteral("Ann Lee"));
    QCOMPARE(all.at(0).srcId, QStringLiteral("1/120/120/77"));
    QCOMPARE(all.at(0).rows(pim::ENTITY_PHONE).size(), 1);
    QCOMPARE(all.at(0).rows(pim::ENTITY_PHONE).first().srcId, QStringLiteral("3/120/120/78"));
    // Both group rows name the one stored group.
    const QVariant g1 = all.at(0).rows(pim::ENTITY_GROUP).value(0).values.value(QStringLiteral("data1"));
    const QVariant g2 = all.at(1).rows(pim::ENTITY_GROUP).value(0).values.value(QStringLiteral("data1"));
    QVERIFY(g1.toLongLong() > 0);
    QCOMPARE(g1.toLongLong(), g2.toLongLong());
    QCOMPARE(job.orphanRows(), 0);
}

void TestLoadRecords::playlists_secondLoadAddsNothing()
{
    loadtest::WifiPhone phone(kNet, phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalPlaylistDb db(cachePath(phone.device, QStringLiteral("playlists.db")));
    for (int round = 0; round < 2; ++round) {
        RecordingJobReport report;
        AndroidLoadPlaylistsThread job(&phone.device, &db, &report);
        QVERIFY(loadtest::runJob(job));
        QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
        QCOMPARE(report.progressTexts(), QStringList{QStringLiteral("Playlists:1 / 1")});
    }
    const QList<PlaylistRecord> all = db.loadAll();
    QCOMPARE(all.size(), 1);
    QCOMPARE(all.first().name, QStringLiteral("Road"));
    QCOMPARE(all.first().members, (QStringList{QStringLiteral("11"), QString(), QStringLiteral("12")}));
}

void TestLoadRecords::faults_leaveTheCacheAsItWas_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("error");      // start of the posted error; empty: cancelled, nothing posted
    QTest::addColumn<bool>("phoneToldError"); // the PC sent "$error:"

    using K = Fault::Kind;
    QTest::newRow("refusal") << int(K::RefuseControl) << 0 << QByteArray("busy") << qint64(0)
                             << QStringLiteral("start backup://127.0.0.1:") << false;
    QTest::newRow("phone error in batch") << int(K::ErrorAt) << 5 << QByteArray("disk gone") << qint64(0)
                                          << QStringLiteral("disk gone") << false;
    QTest::newRow("wrong line in batch") << int(K::WrongLineAt) << 5 << QByteArray("$bogus:1") << qint64(0)
                                         << QStringLiteral("invalid command($end:,$call:), $bogus:1") << true;
    QTest::newRow("wrong line at top") << int(K::WrongLineAt) << 3 << QByteArray("$call:1,missed") << qint64(0)
                                       << QStringLiteral("invalid command($end:,$batch:), $call:1,missed") << true;
    QTest::newRow("no count") << int(K::WrongLineAt) << 2 << QByteArray("$batch:") << qint64(0)
                              << QStringLiteral("invalid feedback [$batch:], must be [$count:]") << true;
    QTest::newRow("short record then close") << int(K::CloseAt) << 5 << QByteArray("$call:17000") << qint64(0)
                                             << QStringLiteral("") << false;
    QTest::newRow("empty line") << int(K::WrongLineAt) << 5 << QByteArray("\r") << qint64(0)
                                << QStringLiteral("Null command.") << false;
    QTest::newRow("oversized line") << int(K::OversizedLineAt) << 5 << QByteArray() << qint64(33 * 1024 * 1024)
                                    << QStringLiteral("line too long") << true;
    QTest::newRow("stall, then cancel") << int(K::StallAt) << 5 << QByteArray() << qint64(0) << QString() << false;
}

void TestLoadRecords::faults_leaveTheCacheAsItWas()
{
    QFETCH(int, kind);
    QFETCH(int, step);
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QFETCH(QString, error);
    QFETCH(bool, phoneToldError);

    loadtest::WifiPhone phone(kNet, phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    phone.sim->addFault(Fault(Fault::Kind(kind), QStringLiteral("calls"), step, text, size));
    LocalCallHistoryDb db(cachePath(phone.device, QStringLiteral("calls.db")));
    seedCall(db);

    RecordingJobReport report;
    AndroidLoadCallsThread job(&phone.device, &db, &report);
    const bool stall = Fault::Kind(kind) == Fault::Kind::StallAt;
    QElapsedTimer timer;
    timer.start();
    job.start();
    if (stall) {
        QTRY_VERIFY(!report.progress().isEmpty());
        report.cancel();
    }
    QVERIFY(simtest::finish(job, 20000));
    if (stall) {
        QVERIFY(timer.elapsed() < 4000); // the blocked read noticed the cancel
        QCOMPARE(report.endCount(), 0);
    } else {
        QVERIFY(report.failed());
        QCOMPARE(report.endCount(), 1);
        const QString posted = report.errors().value(0);
        QVERIFY2(error.isEmpty() ? !posted.isEmpty() : posted.startsWith(error), qPrintable(posted));
    }
    phone.sim->releaseStalls();

    const QList<CallRecord> calls = db.loadAll();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first().address, QStringLiteral("+4930999"));

    if (phoneToldError) {
        QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
        bool told = false;
        for (const QByteArray& l : phone.sim->linesReceived(QStringLiteral("calls")))
            told = told || l.startsWith("$error:");
        QVERIFY(told);
    }
}

void TestLoadRecords::usb_cancelRollsBackAndForceStops()
{
    loadtest::UsbPhone phone(phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalCallHistoryDb db(cachePath(phone.device, QStringLiteral("calls.db")));
    seedCall(db);
    RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("Calls:2"));
    AndroidLoadCallsThread job(&phone.device, &db, &report);
    QVERIFY(loadtest::runJob(job));
    QCOMPARE(report.endCount(), 0);
    QCOMPARE(db.loadAll().size(), 1);
    QVERIFY(phone.forceStopped());

    // The error path stops the agent too.
    phone.adb.clearLog();
    phone.sim->setAgentRunning(true);
    phone.sim->addFault(Fault(Fault::Kind::ErrorAt, QStringLiteral("calls"), 4, "no"));
    RecordingJobReport report2;
    AndroidLoadCallsThread job2(&phone.device, &db, &report2);
    QVERIFY(loadtest::runJob(job2));
    QCOMPARE(report2.errors(), QStringList{QStringLiteral("no")});
    QVERIFY(phone.forceStopped());
    QCOMPARE(db.loadAll().size(), 1);
}

void TestLoadRecords::usb_successDoesNotForceStop()
{
    loadtest::UsbPhone phone(phoneFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    LocalBookmarkDb db(cachePath(phone.device, QStringLiteral("bookmarks.db")));
    RecordingJobReport report;
    AndroidLoadBookmarksThread job(&phone.device, &db, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QVERIFY(!phone.forceStopped());
}

QTEST_GUILESS_MAIN(TestLoadRecords)
#include "test_loadrecords.moc"
