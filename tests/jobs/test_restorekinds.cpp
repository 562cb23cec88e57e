// Bookmark, calendar and playlist restores: their record lines as the
// simulated phone decodes them, their batches and their cache mirrors.
#include "jobs/androidrestorebookmarksthread.h"
#include "jobs/androidrestorecalendarsthread.h"
#include "jobs/androidrestoreplaylistthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localplaylistdb.h"
#include "shell/core/translations.h"

#include "restoretestutil.h"
#include "testsupport.h"

#include <QtTest>

#include <memory>

using phonesim::Fault;

class TestRestoreKinds : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init()
    {
        const int port = restoretest::freePort();
        simpleprotocol::setLocalPortProvider([port] { return port; });
        m_dir = testsupport::makeTempDir(QStringLiteral("restorekinds"));
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void bookmarks_folderTreeIsSentAsItsLeaves_andRefiledInTheCache();
    void calendars_eventsCarryTheirReminders_inBatchesOfEvents();
    void calendars_cancelAfterFirstBatch_keepsNoEvent();
    void playlists_fieldsTravelIntact_andNoneIsStoredTwice();
    void playlists_phoneErrorAtFirstBatch_leavesCacheAsItWas();

private:
    QString m_dir;
};

void TestRestoreKinds::bookmarks_folderTreeIsSentAsItsLeaves_andRefiledInTheCache()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.21"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    // Bar/ { a, Sub/ { b, Empty/ }, c }  and a top-level d.
    auto bar = std::make_unique<BookmarkRecord>(nullptr, true, QStringLiteral("Bar"), QString(), 0, QString());
    auto add = [](BookmarkRecord* parent, bool folder, const QString& title, const QString& url) {
        auto* r = new BookmarkRecord(parent, folder, title, url, int(parent->children.size()), QString());
        parent->children.append(r);
        return r;
    };
    add(bar.get(), false, QStringLiteral("a, the first"), QStringLiteral("https://a.example/?x=1,2"));
    BookmarkRecord* sub = add(bar.get(), true, QStringLiteral("Sub"), QString());
    add(sub, false, QStringLiteral("Bücher"), QStringLiteral("https://b.example/"));
    add(sub, true, QStringLiteral("Empty"), QString());
    add(bar.get(), false, QStringLiteral("c"), QStringLiteral("https://c.example/"));
    auto d = std::make_unique<BookmarkRecord>(
        nullptr, false, QStringLiteral("d"), QStringLiteral("https://d.example/"), 1, QString());

    LocalBookmarkDb cache(m_dir + QStringLiteral("/bookmarks.db"));
    testsupport::RecordingJobReport report;
    AndroidRestoreBookmarksThread job(&phone.device, &cache, { bar.get(), d.get() }, &report);
    QCOMPARE(job.bookmarks().size(), 4);
    job.start();
    QVERIFY(restoretest::finish(job));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully restored 4 Boobmarks to Android") });
    QCOMPARE(report.progressTexts(), QStringList { QStringLiteral("Bookmarks:4 / 4") });

    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QVERIFY2(phone.store->errors().isEmpty(), qPrintable(phone.store->errors().join(QLatin1Char('\n'))));
    QStringList sent;
    for (const QVariantMap& r : phone.store->records(QStringLiteral("bookmarks")))
        sent << r.value(QStringLiteral("title")).toString() + QLatin1Char('|')
                + r.value(QStringLiteral("url")).toString();
    QCOMPARE(sent,
        (QStringList { QStringLiteral("a, the first|https://a.example/?x=1,2"),
            QStringLiteral("Bücher|https://b.example/"), QStringLiteral("c|https://c.example/"),
            QStringLiteral("d|https://d.example/") }));

    // The cache files each bookmark under its folders again; "Empty" was never sent.
    const QList<BookmarkRecord*> roots = cache.loadAll();
    QStringList paths;
    std::function<void(const BookmarkRecord*, const QString&)> walk
        = [&](const BookmarkRecord* r, const QString& prefix) {
              const QString path = prefix + r->title;
              paths << path;
              for (const BookmarkRecord* c : r->children)
                  walk(c, path + QLatin1Char('/'));
          };
    for (const BookmarkRecord* r : roots)
        walk(r, QString());
    qDeleteAll(roots);
    paths.sort();
    QCOMPARE(paths,
        (QStringList { QStringLiteral("Bar"), QStringLiteral("Bar/Sub"), QStringLiteral("Bar/Sub/Bücher"),
            QStringLiteral("Bar/a, the first"), QStringLiteral("Bar/c"), QStringLiteral("d") }));
}

namespace {

QList<CalendarEventRecord> makeEvents(int n, int reminders)
{
    QList<CalendarEventRecord> events;
    for (int i = 0; i < n; ++i) {
        CalendarEventRecord e(0, 0, i % 2 ? QStringLiteral("Work") : QStringLiteral("Home, family"));
        e.summary = QStringLiteral("Event %1").arg(i);
        e.start = QDateTime::fromSecsSinceEpoch(1700000000 + i * 3600);
        e.end = e.start.addSecs(1800);
        e.tz = QStringLiteral("Europe/Berlin");
        for (int k = 0; k < reminders; ++k) {
            CalendarReminderRecord r;
            r.minutes = 10 * (k + 1);
            r.method = 1;
            e.reminders.append(r);
        }
        events.append(e);
    }
    return events;
}

} // namespace

void TestRestoreKinds::calendars_eventsCarryTheirReminders_inBatchesOfEvents()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.22"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    QList<CalendarEventRecord> events = makeEvents(150, 2);
    CalendarEventRecord odd(0, 0, QStringLiteral("Trips"));
    odd.summary = QStringLiteral("No dates, three reminders");
    odd.description = QStringLiteral("Line 1\nZeile 2 — ü");
    odd.rrule = QStringLiteral("FREQ=WEEKLY;BYDAY=MO");
    odd.allDay = 1;
    for (int m : { 5, 15, 60 }) {
        CalendarReminderRecord r;
        r.minutes = m;
        r.method = 2;
        odd.reminders.append(r);
    }
    events.prepend(odd);

    LocalCalendarsDb cache(m_dir + QStringLiteral("/calendars.db"));
    testsupport::RecordingJobReport report;
    AndroidRestoreCalendarsThread job(&phone.device, &cache, events, &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(
        report.successes(), QStringList { QStringLiteral("Successfully restored 151 Calendar events to Android.") });
    QCOMPARE(report.progressTexts(),
        (QStringList { QStringLiteral("Events:100 / 151"), QStringLiteral("Events:151 / 151") }));

    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QVERIFY2(phone.store->errors().isEmpty(), qPrintable(phone.store->errors().join(QLatin1Char('\n'))));
    QCOMPARE(phone.store->batchSizes(QStringLiteral("calendars")), (QList<int> { 100, 51 }));
    const QList<QByteArray> lines = phone.sim->linesReceived(QStringLiteral("calendars"));
    QCOMPARE(lines.at(1).left(7), QByteArray("$event:"));
    QCOMPARE(lines.at(1).split(',').size(), 9);
    QVERIFY(lines.at(1).endsWith(",1," + QByteArray("FREQ=WEEKLY;BYDAY=MO").toBase64() + ",3"));
    QCOMPARE(lines.at(2), QByteArray("$reminder:5,2"));
    QCOMPARE(lines.at(4), QByteArray("$reminder:60,2"));

    const QVariantMap first = phone.store->records(QStringLiteral("calendars")).first();
    QCOMPARE(first.value(QStringLiteral("calendar")).toString(), QStringLiteral("Trips"));
    QCOMPARE(first.value(QStringLiteral("start")).toLongLong(), 0);
    QCOMPARE(first.value(QStringLiteral("end")).toLongLong(), 0);
    QCOMPARE(first.value(QStringLiteral("description")).toString(), QStringLiteral("Line 1\nZeile 2 — ü"));
    QCOMPARE(first.value(QStringLiteral("allDay")).toInt(), 1);
    QCOMPARE(first.value(QStringLiteral("rrule")).toString(), QStringLiteral("FREQ=WEEKLY;BYDAY=MO"));
    QCOMPARE(first.value(QStringLiteral("reminders")).toStringList(),
        (QStringList { QStringLiteral("5,2"), QStringLiteral("15,2"), QStringLiteral("60,2") }));
    const QVariantMap second = phone.store->records(QStringLiteral("calendars")).at(1);
    QCOMPARE(second.value(QStringLiteral("calendar")).toString(), QStringLiteral("Home, family"));
    QCOMPARE(second.value(QStringLiteral("start")).toLongLong(), 1700000000);

    // The cache made the three calendars and kept the reminders.
    const QList<CalendarRecord> calendars = cache.loadAll();
    QCOMPARE(calendars.size(), 3);
    int stored = 0;
    for (const CalendarRecord& c : calendars) {
        stored += int(c.events.size());
        for (const CalendarEventRecord& e : c.events)
            QCOMPARE(e.reminders.size(), c.name == QLatin1String("Trips") ? 3 : 2);
    }
    QCOMPARE(stored, 151);

    // Sent again, the events reach the phone again but the cache keeps one of each.
    testsupport::RecordingJobReport again;
    AndroidRestoreCalendarsThread second_job(&phone.device, &cache, events.mid(0, 10), &again);
    second_job.start();
    QVERIFY(restoretest::finish(second_job));
    QVERIFY(again.succeeded());
    QCOMPARE(cache.countEvents(), 151);
}

void TestRestoreKinds::calendars_cancelAfterFirstBatch_keepsNoEvent()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.23"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    LocalCalendarsDb cache(m_dir + QStringLiteral("/calendars.db"));
    cache.addEvent(0, makeEvents(1, 0).first(), nullptr);
    testsupport::RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("Events:100 / 130"));
    AndroidRestoreCalendarsThread job(&phone.device, &cache, makeEvents(131, 1).mid(1), &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.endCount(), 0);
    QCOMPARE(cache.countEvents(), 1);
    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QCOMPARE(phone.store->completedSessions(QStringLiteral("calendars")), 0);
}

void TestRestoreKinds::playlists_fieldsTravelIntact_andNoneIsStoredTwice()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.24"), &error);
    QVERIFY2(phone.sim, qPrintable(error));

    QList<PlaylistRecord> playlists(250);
    for (int i = 0; i < 250; ++i) {
        playlists[i].name = QStringLiteral("List %1").arg(i);
        playlists[i].members = QStringList { QStringLiteral("/sdcard/Music/a%1.mp3").arg(i) };
    }
    playlists[0].name.clear(); // an empty name and no members: two empty fields
    playlists[0].members.clear();
    playlists[1].name = QStringLiteral("Road trip, Sommer ☀");
    playlists[1].members = QStringList { QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3") };

    LocalPlaylistDb cache(m_dir + QStringLiteral("/playlists.db"));
    cache.addPlaylist(playlists[2]); // already in the cache
    testsupport::RecordingJobReport report;
    AndroidRestorePlaylistThread job(&phone.device, &cache, playlists, &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully restored 250 Playlists to Android.") });
    QList<int> percents;
    for (const auto& p : report.progress())
        percents << p.percent;
    QCOMPARE(percents, (QList<int> { 40, 80, 100 }));
    QCOMPARE(report.progressTexts().last(), QStringLiteral("Playlists:250 / 250"));

    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 1, 5000));
    QVERIFY2(phone.store->errors().isEmpty(), qPrintable(phone.store->errors().join(QLatin1Char('\n'))));
    QCOMPARE(phone.store->batchSizes(QStringLiteral("playlists")), (QList<int> { 100, 100, 50 }));
    QCOMPARE(phone.sim->linesReceived(QStringLiteral("playlists")).at(1), QByteArray("$playlist:,"));
    const QVariantMap road = phone.store->records(QStringLiteral("playlists")).at(1);
    QCOMPARE(road.value(QStringLiteral("name")).toString(), QStringLiteral("Road trip, Sommer ☀"));
    QCOMPARE(road.value(QStringLiteral("members")).toString(), QStringLiteral("/m/1.mp3//m/2.mp3"));
    QCOMPARE(cache.count(), 250);
}

void TestRestoreKinds::playlists_phoneErrorAtFirstBatch_leavesCacheAsItWas()
{
    QString error;
    auto phone = restoretest::startPhone(QStringLiteral("127.0.111.25"), &error);
    QVERIFY2(phone.sim, qPrintable(error));
    phone.sim->addFault(Fault(Fault::Kind::ErrorAt, QStringLiteral("playlists"), 2, "No space left"));

    QList<PlaylistRecord> playlists(3);
    for (int i = 0; i < 3; ++i)
        playlists[i].name = QStringLiteral("P%1").arg(i);
    LocalPlaylistDb cache(m_dir + QStringLiteral("/playlists.db"));
    testsupport::RecordingJobReport report;
    AndroidRestorePlaylistThread job(&phone.device, &cache, playlists, &report);
    job.start();
    QVERIFY(restoretest::finish(job));
    QCOMPARE(report.errors(), QStringList { QStringLiteral("No space left") });
    QCOMPARE(cache.count(), 0);
    QVERIFY(phone.store->records(QStringLiteral("playlists")).isEmpty());
}

QTEST_GUILESS_MAIN(TestRestoreKinds)
#include "test_restorekinds.moc"
