// The database loaders against the simulated phone: what the calls,
// bookmarks and playlists loaders store (the pages' tests load every kind),
// and that a cancel or any failure leaves the cache database as it was.
#include "phonelink/androidloadbookmarksthread.h"
#include "phonelink/androidloadcallsthread.h"
#include "phonelink/androidloadplayliststhread.h"
#include "records/callrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcallhistorydb.h"
#include "records/localplaylistdb.h"

#include "test_loadsupport.h"

#include <QtTest>

using testsupport::RecordingJobReport;

class TestLoadRecords : public QObject {
    Q_OBJECT
    static QJsonObject phoneFixture()
    {
        return testsupport::fixtureFile(QStringLiteral("tools/phone-sim/fixtures/loaders-records.json"));
    }
    static QString cachePath(const auto& d, const QString& name) { return d.cacheDir().absoluteFilePath(name); }

private Q_SLOTS:
    void initTestCase() { loadtest::useFreePorts(); }

    void callsBookmarksAndPlaylists_fillTheirCaches()
    {
        loadtest::WifiPhone phone(81, phoneFixture());
        PHONE_OK(phone);
        LocalCallHistoryDb callDb(cachePath(phone.device, QStringLiteral("calls.db")));
        RecordingJobReport calls;
        AndroidLoadCallsThread callJob(&phone.device, &callDb, &calls);
        LOAD_OK(callJob, calls);
        QTRY_COMPARE_WITH_TIMEOUT(phone.sim->linesReceived(QStringLiteral("calls")),
                                  (QList<QByteArray> {"$batch:", "$batch:", "$bye:"}), testsupport::kHangGuardMs);
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
        const QList<BookmarkRecord*> marks = bookmarkDb.loadAll();
        QCOMPARE(marks.size(), 2);
        QVERIFY(std::any_of(marks.begin(), marks.end(), [](BookmarkRecord* b) {
            return b->srcId == QLatin1String("4294967297") && b->title == QStringLiteral("Beispiel ü");
        }));
        qDeleteAll(marks);

        // Playlists: a second load adds nothing.
        LocalPlaylistDb playlistDb(cachePath(phone.device, QStringLiteral("playlists.db")));
        for (int round = 0; round < 2; ++round) {
            RecordingJobReport playlists;
            AndroidLoadPlaylistsThread job(&phone.device, &playlistDb, &playlists);
            LOAD_OK(job, playlists);
        }
        const QList<PlaylistRecord> lists = playlistDb.loadAll();
        QCOMPARE(lists.size(), 1);
        QCOMPARE(lists.first().members, loadtest::list("11||12"));
    }

    // Every way a load can fail, and a cancel, leave the cache as it was;
    // on USB the agent is force-stopped.
    void faults_leaveTheCacheAsItWas_data() { CHECKED(loadtest::jsonRows(QStringLiteral("calls-load-faults.json"))); }
    void faults_leaveTheCacheAsItWas()
    {
        QFETCH(QJsonObject, row);
        const bool usb = row[QStringLiteral("usb")].toBool();
        auto phone = usb ? std::make_unique<testsupport::SimPhone>(
                         testsupport::SimPhone::Options {.address = {}, .fixture = phoneFixture(), .imei = {}})
                         : std::make_unique<loadtest::WifiPhone>(81, phoneFixture());
        PHONE_OK(*phone);
        phone->sim->addFault(loadtest::faultOf(row));
        LocalCallHistoryDb db(cachePath(phone->device, QStringLiteral("calls.db")));
        CallRecord seeded; // in the cache before the load
        seeded.address = QStringLiteral("+4930999");
        seeded.date = QDateTime::fromSecsSinceEpoch(1600000000);
        db.addCall(seeded);

        RecordingJobReport report;
        const bool cancel = row[QStringLiteral("cancel")].toBool();
        if (cancel)
            report.cancelWhenProgressContains(QStringLiteral("Calls:"));
        AndroidLoadCallsThread job(&phone->device, &db, &report);
        QVERIFY(loadtest::runJob(job));
        // A stalled read notices the cancel: it does not end at a limit of
        // its own, which would post an error.
        QCOMPARE(report.endCount(), cancel ? 0 : 1);
        const QString posted = report.errors().value(0);
        QVERIFY2(cancel || loadtest::errorMatches(posted, row[QStringLiteral("error")].toString()), qPrintable(posted));
        phone->sim->releaseStalls();
        QCOMPARE(db.loadAll().size(), 1); // only the call seeded before
        if (row[QStringLiteral("phoneToldError")].toBool()) { // the PC sent "$error:" before it hung up
            QVERIFY(phone->sim->waitFinished(QStringLiteral("service"), 1, testsupport::kHangGuardMs));
            QVERIFY(phone->sim->linesReceived(QStringLiteral("calls")).value(0).startsWith("$error:"));
        }
        QCOMPARE(phone->forceStopped(), usb);
    }
};

QTEST_GUILESS_MAIN(TestLoadRecords)
#include "test_loadrecords.moc"
