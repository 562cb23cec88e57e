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

#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

class TestLoadRecords : public QObject {
    Q_OBJECT
    static QJsonObject phoneFixture() { return loadtest::fixtureFile(QStringLiteral("loaders-records.json")); }
    static QString cachePath(const auto& d, const QString& name) { return d.cacheDir().absoluteFilePath(name); }

private Q_SLOTS:
    void initTestCase() { loadtest::useFreePorts(); }

    void eachLoader_fillsItsCache()
    {
        loadtest::WifiPhone phone(81, phoneFixture());
        PHONE_OK(phone);
        LocalCallHistoryDb callDb(cachePath(phone.device, QStringLiteral("calls.db")));
        RecordingJobReport calls;
        AndroidLoadCallsThread callJob(&phone.device, &callDb, &calls);
        LOAD_OK(callJob, calls);
        QCOMPARE(calls.progressTexts(), loadtest::list("Calls:1 / 4|Calls:2 / 4|Calls:3 / 4|Calls:4 / 4"));
        QTRY_COMPARE(phone.sim->linesReceived(QStringLiteral("calls")),
                     (QList<QByteArray> {"$batch:", "$batch:", "$bye:"}));
        // The repeated call is stored once; an unknown word stores no flags.
        QList<CallRecord> stored = callDb.loadAll();
        std::sort(stored.begin(), stored.end(), [](const auto& a, const auto& b) { return a.date < b.date; });
        QCOMPARE(stored.size(), 3);
        QCOMPARE(stored.at(0).date.toSecsSinceEpoch(), 1700000100);
        QCOMPARE((QList<int> {stored.at(0).flags, stored.at(1).flags, stored.at(2).flags}),
                 (QList<int> {CALL_FLAG_INCOMING, CALL_FLAG_OUTGOING, 0}));
        // A time whose milliseconds do not fit 64 bits is no date, not a wrapped one.
        QVERIFY(!AndroidLoadCallsThread::parseCall(QStringLiteral("9223372036854775807,missed")).date.isValid());

        // Two bookmarks of one URL merge; the full 64-bit id is kept.
        LocalBookmarkDb bookmarkDb(cachePath(phone.device, QStringLiteral("bookmarks.db")));
        RecordingJobReport bookmarks;
        AndroidLoadBookmarksThread bookmarkJob(&phone.device, &bookmarkDb, &bookmarks);
        LOAD_OK(bookmarkJob, bookmarks);
        QCOMPARE(bookmarks.progressTexts().last(), QStringLiteral("Bookmarks:3 / 3"));
        const QList<BookmarkRecord*> marks = bookmarkDb.loadAll();
        QCOMPARE(marks.size(), 2);
        QVERIFY(std::any_of(marks.begin(), marks.end(), [](BookmarkRecord* b) {
            return b->srcId == QLatin1String("4294967297") && b->title == QStringLiteral("Beispiel ü");
        }));
        qDeleteAll(marks);

        LocalCalendarsDb calendarDb(cachePath(phone.device, QStringLiteral("calendars.db")));
        RecordingJobReport calendars;
        AndroidLoadCalendarsThread calendarJob(&phone.device, &calendarDb, &calendars);
        LOAD_OK(calendarJob, calendars);
        const QList<CalendarRecord> cals = calendarDb.loadAll();
        QCOMPARE(cals.size(), 2); // a calendar without events is created too
        const auto work = std::find_if(cals.begin(), cals.end(),
                                       [](const CalendarRecord& c) { return c.name == QLatin1String("Work"); });
        QVERIFY(work != cals.end() && work->events.size() == 1);
        QCOMPARE(work->events.first().start.toSecsSinceEpoch(), 1700003600);

        LocalContactsDb contactDb(cachePath(phone.device, QStringLiteral("contacts.db")),
                                  QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
        RecordingJobReport contacts;
        AndroidLoadContactsThread contactJob(&contactDb, &phone.device, &contacts);
        LOAD_OK(contactJob, contacts);
        QCOMPARE(contacts.progressTexts(), loadtest::list("Contacts: 1/2|Contacts: 2/2"));
        QCOMPARE(contactJob.orphanRows(), 0);
        QList<pim::_Contact> all = contactDb.loadAll();
        QCOMPARE(all.size(), 2);
        std::sort(all.begin(), all.end(), [](const pim::_Contact& a, const pim::_Contact& b) { return a.id < b.id; });
        QCOMPARE(all.at(0).srcId, QStringLiteral("1/120/120/77"));
        // Both group rows name the one stored group.
        const auto group = [&](int i) {
            return all.at(i).rows(pim::ENTITY_GROUP).value(0).values.value(QStringLiteral("data1")).toLongLong();
        };
        QVERIFY(group(0) > 0);
        QCOMPARE(group(0), group(1));

        // Playlists: a second load adds nothing.
        LocalPlaylistDb playlistDb(cachePath(phone.device, QStringLiteral("playlists.db")));
        for (int round = 0; round < 2; ++round) {
            RecordingJobReport playlists;
            AndroidLoadPlaylistsThread job(&phone.device, &playlistDb, &playlists);
            LOAD_OK(job, playlists);
            QCOMPARE(playlists.progressTexts(), loadtest::list("Playlists:1 / 1"));
        }
        const QList<PlaylistRecord> lists = playlistDb.loadAll();
        QCOMPARE(lists.size(), 1);
        QCOMPARE(lists.first().members, loadtest::list("11||12"));
    }

    void faults_leaveTheCacheAsItWas_data()
    {
        QTest::addColumn<bool>("usb"); // on USB a failed or cancelled load force-stops the agent
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error"); // start of the posted error; "*": any; empty: cancelled, nothing posted
        QTest::addColumn<bool>("phoneToldError"); // the PC sent "$error:"
        using K = Fault::Kind;
        QTest::newRow("refusal") << false << int(K::RefuseControl) << 0 << QByteArray("busy")
                                 << QStringLiteral("start backup://127.0.0.1:") << false;
        QTest::newRow("phone error, USB")
            << true << int(K::ErrorAt) << 5 << QByteArray("disk gone") << QStringLiteral("disk gone") << false;
        QTest::newRow("wrong line") << false << int(K::WrongLineAt) << 5 << QByteArray("$bogus:1")
                                    << QStringLiteral("invalid command($end:,$call:), $bogus:1") << true;
        QTest::newRow("short record, close")
            << false << int(K::CloseAt) << 5 << QByteArray("$call:17000") << QStringLiteral("*") << false;
        QTest::newRow("oversized line") << false << int(K::OversizedLineAt) << 5 << QByteArray()
                                        << QStringLiteral("line too long") << true;
        QTest::newRow("stall, then cancel, USB") << true << int(K::StallAt) << 5 << QByteArray() << QString() << false;
    }

    void faults_leaveTheCacheAsItWas()
    {
        QFETCH(bool, usb);
        QFETCH(int, kind);
        QFETCH(int, step);
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QFETCH(bool, phoneToldError);

        auto phone = usb ? std::unique_ptr<loadtest::SimPhone>(new loadtest::UsbPhone(phoneFixture()))
                         : std::make_unique<loadtest::WifiPhone>(81, phoneFixture());
        PHONE_OK(*phone);
        const qint64 size = Fault::Kind(kind) == Fault::Kind::OversizedLineAt ? 33 * 1024 * 1024 : 0;
        phone->sim->addFault(Fault(Fault::Kind(kind), QStringLiteral("calls"), step, text, size));
        LocalCallHistoryDb db(cachePath(phone->device, QStringLiteral("calls.db")));
        CallRecord seeded; // in the cache before the load
        seeded.address = QStringLiteral("+4930999");
        seeded.date = QDateTime::fromSecsSinceEpoch(1600000000);
        db.addCall(seeded);

        RecordingJobReport report;
        if (error.isEmpty())
            report.cancelWhenProgressContains(QStringLiteral("Calls:"));
        AndroidLoadCallsThread job(&phone->device, &db, &report);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(loadtest::runJob(job));
        QVERIFY(timer.elapsed() < 4000); // a stalled read notices the cancel
        QCOMPARE(report.endCount(), error.isEmpty() ? 0 : 1);
        const QString posted = report.errors().value(0);
        QVERIFY2(error == QLatin1String("*") ? !posted.isEmpty() : posted.startsWith(error), qPrintable(posted));
        phone->sim->releaseStalls();
        QCOMPARE(db.loadAll().size(), 1); // only the call seeded before
        if (phoneToldError)
            QVERIFY(loadtest::phoneToldError(*phone->sim, QStringLiteral("calls")));
        if (usb)
            QVERIFY(static_cast<loadtest::UsbPhone&>(*phone).forceStopped());
    }
};

QTEST_GUILESS_MAIN(TestLoadRecords)
#include "test_loadrecords.moc"
