// The record restore jobs against the simulated phone, which checks every
// line it receives: batches, record lines, cache mirrors and failures.
#include "jobs/androidrestorebookmarksthread.h"
#include "jobs/androidrestorecalendarsthread.h"
#include "jobs/androidrestorecallsthread.h"
#include "jobs/androidrestoreplaylistthread.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localplaylistdb.h"
#include "shell/core/translations.h"

#include "simphone.h"
#include "testsupport.h"

#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using phonesim::Fault;
Q_DECLARE_METATYPE(phonesim::Fault)

namespace {

// A phone on Wi-Fi at address:48889 serving the restore services; sim is
// null (with error) when it cannot listen, or when told not to.
std::unique_ptr<testsupport::SimPhone> startPhone(const QString& address, bool listen = true)
{
    testsupport::SimPhone::Options o;
    o.address = address;
    o.listen = listen;
    auto phone = std::make_unique<testsupport::SimPhone>(o);
    if (!phone->ok())
        phone->sim.reset();
    return phone;
}

// Runs one restore job to its end.
template <typename Job, typename Db, typename Items>
bool restore(testsupport::SimPhone& phone, Db* cache, const Items& items, JobReport* report)
{
    Job job(&phone.device, cache, items, report);
    job.start();
    return job.wait(QDeadlineTimer(20000));
}

CallRecord call(const QString& address, const QDateTime& date, int flags = 0, int duration = 0)
{
    CallRecord c;
    c.address = address;
    c.date = date;
    c.flags = flags;
    c.duration = duration;
    return c;
}

QList<CallRecord> makeCalls(int n, int from = 0)
{
    QList<CallRecord> calls;
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1700000000);
    for (int i = from; i < from + n; ++i)
        calls.append(call(u"+4930%1"_s.arg(100000 + i), t0.addSecs(i * 60)));
    return calls;
}

QList<CalendarEventRecord> makeEvents(int n, int reminders, int from = 0)
{
    QList<CalendarEventRecord> events;
    for (int i = from; i < from + n; ++i) {
        CalendarEventRecord e(0, 0, i % 2 ? u"Work"_s : u"Home, family"_s);
        e.summary = u"Event %1"_s.arg(i);
        e.start = QDateTime::fromSecsSinceEpoch(1700000000 + i * 3600);
        e.end = e.start.addSecs(1800);
        e.reminders.resize(reminders);
        for (int k = 0; k < reminders; ++k)
            e.reminders[k].minutes = 10 * (k + 1);
        events.append(e);
    }
    return events;
}

} // namespace

class TestRestoreJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
        m_dir = testsupport::makeTempDir(u"restore"_s);
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void calls_goInBatchesOf100_withTheirWireFields_andTheCacheStoresNoneTwice();
    void bookmarks_treeIsSentAsItsLeaves_andRefiledInTheCache();
    void calendars_eventsCarryTheirReminders();
    void playlists_fieldsTravelIntact();
    void failures_keepNoBatchInTheCache_data();
    void failures_keepNoBatchInTheCache();

private:
    QString m_dir;
};

void TestRestoreJobs::calls_goInBatchesOf100_withTheirWireFields_andTheCacheStoresNoneTwice()
{
    auto phone = startPhone(u"127.0.111.1"_s);
    QVERIFY2(phone->sim, qPrintable(phone->error));
    LocalCallHistoryDb cache(m_dir + u"/calls.db"_s);
    const QList<CallRecord> calls
        = QList {call(u"Zoë, \"home\""_s, QDateTime::fromMSecsSinceEpoch(1500), 0, 3725),
                 call({}, QDateTime::fromMSecsSinceEpoch(-1500), CALL_FLAG_MISSED),
                 call({}, QDateTime(), CALL_FLAG_INCOMING), call({}, QDateTime::fromSecsSinceEpoch(4102444800), 77)}
        + makeCalls(246);

    // A second restore sends every call again, but the cache keeps one of each.
    for (int round = 1; round <= 2; ++round) {
        testsupport::RecordingJobReport report;
        QVERIFY(restore<AndroidRestoreCallsThread>(*phone, &cache, calls, &report));
        QCOMPARE(report.successes(), QStringList {u"Successfully restored 250 Call History to Android."_s});
        QCOMPARE(report.progressTexts(),
                 (QStringList {u"Calls:100 / 250"_s, u"Calls:200 / 250"_s, u"Calls:250 / 250"_s}));
        QCOMPARE(report.progress().first().percent, 40);
        QCOMPARE(phone->verdict(round), QString());
    }
    QCOMPARE(phone->sim->linesReceived(u"calls"_s).mid(0, 5),
             (QList<QByteArray> {"$batch:", "$call:1,missed," + u"Zoë, \"home\""_s.toUtf8().toBase64() + ",3725",
                                 "$call:-1,rejected,,0", "$call:0,incoming,,0", "$call:4102444800,missed,,0"}));
    QCOMPARE(phone->store->batchSizes(u"calls"_s), (QList<int> {100, 100, 50, 100, 100, 50}));
    QCOMPARE(cache.countCalls(), 250);
}

void TestRestoreJobs::bookmarks_treeIsSentAsItsLeaves_andRefiledInTheCache()
{
    auto phone = startPhone(u"127.0.111.3"_s);
    QVERIFY2(phone->sim, qPrintable(phone->error));
    auto add = [](BookmarkRecord* parent, bool folder, const QString& title, const QString& url = {}) {
        auto* r = new BookmarkRecord(parent, folder, title, url, parent ? int(parent->children.size()) : 0, QString());
        if (parent)
            parent->children.append(r);
        return r;
    };
    // Bar/ { a, Sub/ { b, Empty/ }, c }  and a top-level d.
    std::unique_ptr<BookmarkRecord> bar(add(nullptr, true, u"Bar"_s));
    add(bar.get(), false, u"a, the first"_s, u"https://a.example/?x=1,2"_s);
    BookmarkRecord* sub = add(bar.get(), true, u"Sub"_s);
    add(sub, false, u"Bücher"_s, u"https://b.example/"_s);
    add(sub, true, u"Empty"_s);
    add(bar.get(), false, u"c"_s, u"https://c.example/"_s);
    std::unique_ptr<BookmarkRecord> d(add(nullptr, false, u"d"_s, u"https://d.example/"_s));

    LocalBookmarkDb cache(m_dir + u"/bookmarks.db"_s);
    testsupport::RecordingJobReport report;
    QVERIFY(restore<AndroidRestoreBookmarksThread>(*phone, &cache, QList {bar.get(), d.get()}, &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 4 Boobmarks to Android"_s});
    QCOMPARE(phone->verdict(1), QString());
    QStringList sent;
    for (const QVariantMap& r : phone->store->records(u"bookmarks"_s))
        sent << r.value(u"title"_s).toString() + u'|' + r.value(u"url"_s).toString();
    QCOMPARE(sent,
             (QStringList {u"a, the first|https://a.example/?x=1,2"_s, u"Bücher|https://b.example/"_s,
                           u"c|https://c.example/"_s, u"d|https://d.example/"_s}));

    // The cache files each bookmark under its folders again; "Empty" was never sent.
    const QList<BookmarkRecord*> roots = cache.loadAll();
    QStringList paths;
    std::function<void(const BookmarkRecord*, const QString&)> walk = [&](const BookmarkRecord* r, const QString& at) {
        paths << at + r->title;
        for (const BookmarkRecord* c : r->children)
            walk(c, at + r->title + u'/');
    };
    for (const BookmarkRecord* r : roots)
        walk(r, QString());
    qDeleteAll(roots);
    paths.sort();
    QCOMPARE(paths,
             (QStringList {u"Bar"_s, u"Bar/Sub"_s, u"Bar/Sub/Bücher"_s, u"Bar/a, the first"_s, u"Bar/c"_s, u"d"_s}));
}

void TestRestoreJobs::calendars_eventsCarryTheirReminders()
{
    auto phone = startPhone(u"127.0.111.4"_s);
    QVERIFY2(phone->sim, qPrintable(phone->error));
    // 150 events with two reminders behind one without dates and with three.
    QList<CalendarEventRecord> events = makeEvents(1, 3) + makeEvents(150, 2);
    CalendarEventRecord& odd = events[0];
    odd.calendarName = u"Trips"_s;
    odd.start = odd.end = QDateTime();
    odd.description = u"Line 1\nZeile 2 — ü"_s;
    odd.rrule = u"FREQ=WEEKLY;BYDAY=MO"_s;
    odd.allDay = 1;

    LocalCalendarsDb cache(m_dir + u"/calendars.db"_s);
    testsupport::RecordingJobReport report;
    QVERIFY(restore<AndroidRestoreCalendarsThread>(*phone, &cache, events, &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 151 Calendar events to Android."_s});
    QCOMPARE(report.progressTexts(), (QStringList {u"Events:100 / 151"_s, u"Events:151 / 151"_s}));
    QCOMPARE(phone->verdict(1), QString());
    QCOMPARE(phone->store->batchSizes(u"calendars"_s), (QList<int> {100, 51}));
    const QList<QByteArray> lines = phone->sim->linesReceived(u"calendars"_s);
    QVERIFY(lines.at(1).endsWith(",1," + QByteArray("FREQ=WEEKLY;BYDAY=MO").toBase64() + ",3"));
    QCOMPARE(lines.mid(2, 3), (QList<QByteArray> {"$reminder:10,0", "$reminder:20,0", "$reminder:30,0"}));
    const QVariantMap first = phone->store->records(u"calendars"_s).first();
    QCOMPARE(first.value(u"calendar"_s).toString(), u"Trips"_s);
    QCOMPARE(first.value(u"description"_s).toString(), odd.description);

    // The cache made the three calendars and kept the reminders.
    int stored = 0;
    for (const CalendarRecord& c : cache.loadAll()) {
        stored += int(c.events.size());
        for (const CalendarEventRecord& e : c.events)
            QCOMPARE(e.reminders.size(), c.name == "Trips"_L1 ? 3 : 2);
    }
    QCOMPARE(stored, 151);

    // A cancel after the first batch keeps none of its events.
    testsupport::RecordingJobReport cancelled;
    cancelled.cancelWhenProgressContains(u"Events:100 / 130"_s);
    QVERIFY(restore<AndroidRestoreCalendarsThread>(*phone, &cache, makeEvents(130, 1, 500), &cancelled));
    QCOMPARE(cancelled.endCount(), 0);
    QCOMPARE(phone->verdict(2), QString());
    QTRY_COMPARE(phone->store->completedSessions(u"calendars"_s), 1);
    QCOMPARE(cache.countEvents(), 151);
}

void TestRestoreJobs::playlists_fieldsTravelIntact()
{
    auto phone = startPhone(u"127.0.111.5"_s);
    QVERIFY2(phone->sim, qPrintable(phone->error));
    QList<PlaylistRecord> playlists(3); // the first has an empty name and no members: two empty fields
    playlists[1].name = u"Road trip, Sommer ☀"_s;
    playlists[1].members = QStringList {u"/m/1.mp3"_s, u"/m/2.mp3"_s};
    playlists[2].name = u"Kept"_s;

    LocalPlaylistDb cache(m_dir + u"/playlists.db"_s);
    cache.addPlaylist(playlists[2]); // already in the cache
    testsupport::RecordingJobReport report;
    QVERIFY(restore<AndroidRestorePlaylistThread>(*phone, &cache, playlists, &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 3 Playlists to Android."_s});
    QCOMPARE(phone->verdict(1), QString());
    QCOMPARE(phone->sim->linesReceived(u"playlists"_s).at(1), QByteArray("$playlist:,"));
    const QVariantMap road = phone->store->records(u"playlists"_s).at(1);
    QCOMPARE(road.value(u"name"_s).toString(), playlists[1].name);
    QCOMPARE(road.value(u"members"_s).toString(), u"/m/1.mp3//m/2.mp3"_s);
    QCOMPARE(cache.count(), 3);

    // A phone error at the first batch leaves the cache as it was.
    phone->sim->addFault(Fault(Fault::Kind::ErrorAt, u"playlists"_s, 2, "No space left"));
    playlists[0].name = u"New"_s;
    testsupport::RecordingJobReport failed;
    QVERIFY(restore<AndroidRestorePlaylistThread>(*phone, &cache, playlists.mid(0, 1), &failed));
    QCOMPARE(failed.errors(), QStringList {u"No space left"_s});
    QCOMPARE(phone->verdict(2), QString());
    QCOMPARE(phone->store->records(u"playlists"_s).size(), 3);
    QCOMPARE(cache.count(), 3);
}

void TestRestoreJobs::failures_keepNoBatchInTheCache_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<Fault>("fault"); // step 1 is "$ready:", step 2 the first acknowledgement
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QList<int>>("phoneBatches"); // what the phone keeps
    const Fault none(Fault::Kind::StallAt, u"none"_s);
    QTest::newRow("phone error at 2nd batch") << 240 << Fault(Fault::Kind::ErrorAt, u"calls"_s, 3, "Storage is full")
                                              << QString() << u"Storage is full"_s << QList<int> {100};
    QTest::newRow("wrong acknowledgement") << 5 << Fault(Fault::Kind::WrongLineAt, u"calls"_s, 2, "$end:") << QString()
                                           << u"invalid feedback [$end:], must be [$batch:]"_s << QList<int> {5};
    QTest::newRow("cancel") << 250 << none << u"Calls:200 / 250"_s << QString() << QList<int> {100, 100};
    QTest::newRow("unreachable") << 2 << none << QString() << u"can not connect %1:48889."_s << QList<int>();
}

void TestRestoreJobs::failures_keepNoBatchInTheCache()
{
    QFETCH(int, count);
    QFETCH(Fault, fault);
    QFETCH(QString, cancelAt);
    QFETCH(QString, error);
    QFETCH(QList<int>, phoneBatches);
    static int row = 10;
    const bool reachable = !error.startsWith("can not connect"_L1);
    auto phone = startPhone(u"127.0.111.%1"_s.arg(++row), reachable); // nobody listens when unreachable
    if (reachable) {
        QVERIFY2(phone->sim, qPrintable(phone->error));
        phone->sim->addFault(fault);
    }
    LocalCallHistoryDb cache(m_dir + u"/calls.db"_s);
    for (const CallRecord& c : makeCalls(3, 900))
        cache.addCall(c);
    testsupport::RecordingJobReport report;
    if (!cancelAt.isEmpty())
        report.cancelWhenProgressContains(cancelAt);
    QVERIFY(restore<AndroidRestoreCallsThread>(*phone, &cache, makeCalls(count), &report));
    QCOMPARE(report.errors(),
             error.isEmpty() ? QStringList()
                             : QStringList {error.contains(u"%1"_s) ? error.arg(phone->device.host) : error});
    QCOMPARE(report.endCount(), error.isEmpty() ? 0 : 1); // a cancel posts no end
    QVERIFY(cancelAt.isEmpty() || report.progressTexts().endsWith(cancelAt));
    // The cache keeps only what it had and stays usable.
    QCOMPARE(cache.countCalls(), 3);
    QCOMPARE(cache.connection().tranDepth(), 0);
    QVERIFY(!cache.connection().isRollbackOnly());
    if (!reachable)
        return;
    QCOMPARE(phone->verdict(1), QString());
    QCOMPARE(phone->store->completedSessions(u"calls"_s), 0);
    QCOMPARE(phone->store->batchSizes(u"calls"_s), phoneBatches);
    if (fault.kind == Fault::Kind::WrongLineAt) // the phone is told why it is dropped
        QTRY_VERIFY(!phone->sim->linesReceived(u"calls"_s).isEmpty()
                    && phone->sim->linesReceived(u"calls"_s).last().startsWith("$error:"));
}

QTEST_GUILESS_MAIN(TestRestoreJobs)
#include "test_restorejobs.moc"
