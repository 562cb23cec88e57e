// The backup jobs: progress and result per kind, duplicates counted but not
// stored twice, cancel and database failures leaving the folder unchanged.
#include "jobs/backupthreads.h"
#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localcontactsdb.h"
#include "records/localnotesdb.h"
#include "records/localplaylistdb.h"
#include "shell/core/translations.h"

#include "testsupport.h"

#include <QtTest>

#include <sqlite3.h>
#include <unistd.h>

#include <memory>

class TestBackupJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init() { m_dir = testsupport::makeTempDir(QStringLiteral("backup")); }

    void calls_countDuplicatesButStoreThemOnce();
    void calls_cancelMidway_keepsNoneOfThisRun();
    void calls_corruptFile_givesClearError_andLeavesItUntouched();
    void calls_unwritableFile_givesError_andLeavesItUnchanged();
    void emptySelection_commitsAndReportsZero();
    void bookmarks_foldersCountTheirBookmarks();
    void bookmarks_onlyEmptyFolders_keepTheBarAndStoreThem();
    void contacts_mergedByName_andCancelKeepsWhatWasDone();
    void calendarsNotesPlaylists_reportTheirCounts();

private:
    static QList<CallRecord> makeCalls(int n, int from = 0);
    QString path(const char* file) const { return m_dir + QLatin1Char('/') + QLatin1String(file); }
    QString m_dir;
};

QList<CallRecord> TestBackupJobs::makeCalls(int n, int from)
{
    QList<CallRecord> calls;
    for (int i = from; i < from + n; ++i) {
        CallRecord c;
        c.address = QStringLiteral("0170%1").arg(1000 + i);
        c.date = QDateTime::fromSecsSinceEpoch(1690000000 + i * 97);
        c.duration = i * 3;
        c.flags = CALL_FLAG_INCOMING;
        calls.append(c);
    }
    return calls;
}

void TestBackupJobs::calls_countDuplicatesButStoreThemOnce()
{
    LocalCallHistoryDb db(path("calls.db"));
    for (const CallRecord& c : makeCalls(2))
        db.addCall(c);

    const QList<CallRecord> calls = makeCalls(4); // the first two are stored already
    testsupport::RecordingJobReport report;
    BackupCallsThread job(&db, &calls, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 4 Call History.") });
    QCOMPARE(report.progressTexts(),
        (QStringList { QStringLiteral("Calls:1 / 4"), QStringLiteral("Calls:2 / 4"), QStringLiteral("Calls:3 / 4"),
            QStringLiteral("Calls:4 / 4") }));
    QCOMPARE(report.progress().first().percent, 25);
    QVERIFY(report.progress().first().status.isEmpty());
    QCOMPARE(db.countCalls(), 4);
}

void TestBackupJobs::calls_cancelMidway_keepsNoneOfThisRun()
{
    LocalCallHistoryDb db(path("calls.db"));
    for (const CallRecord& c : makeCalls(3, 500))
        db.addCall(c);
    const QList<CallRecord> calls = makeCalls(50);
    testsupport::RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("Calls:20 / 50"));
    BackupCallsThread job(&db, &calls, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.endCount(), 0);
    QCOMPARE(report.progressTexts().last(), QStringLiteral("Calls:20 / 50"));
    QCOMPARE(db.countCalls(), 3);
    QCOMPARE(db.connection().tranDepth(), 0);
}

void TestBackupJobs::calls_corruptFile_givesClearError_andLeavesItUntouched()
{
    const QByteArray garbage = QByteArray("this is no database at all ").repeated(200);
    {
        QFile f(path("calls.db"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    LocalCallHistoryDb db(path("calls.db"));
    const QList<CallRecord> calls = makeCalls(3);
    testsupport::RecordingJobReport report;
    BackupCallsThread job(&db, &calls, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.endCount(), 1);
    QCOMPARE(report.errors().size(), 1);
    QVERIFY2(report.errors().first().contains(QStringLiteral("not a database")), qPrintable(report.errors().first()));
    QFile f(path("calls.db"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), garbage);
}

void TestBackupJobs::calls_unwritableFile_givesError_andLeavesItUnchanged()
{
    {
        LocalCallHistoryDb seed(path("calls.db"));
        for (const CallRecord& c : makeCalls(2, 900))
            seed.addCall(c);
    }
    const QList<CallRecord> calls = makeCalls(5);

    // Another program holds the file: every write is refused.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(path("calls.db").toUtf8().constData(), &other), SQLITE_OK);
    {
        LocalCallHistoryDb db(path("calls.db"));
        db.open();
        sqlite3_busy_timeout(db.connection().handle(), 50);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        testsupport::RecordingJobReport report;
        BackupCallsThread job(&db, &calls, &report);
        job.start();
        QVERIFY(job.wait(10000));
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().contains(QStringLiteral("locked")), qPrintable(report.errors().first()));
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // A file without write permission (only meaningful when not running as root).
    if (::geteuid() != 0) {
        QFile::setPermissions(path("calls.db"), QFile::ReadOwner);
        LocalCallHistoryDb db(path("calls.db"));
        testsupport::RecordingJobReport report;
        BackupCallsThread job(&db, &calls, &report);
        job.start();
        QVERIFY(job.wait(10000));
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().contains(QStringLiteral("readonly")), qPrintable(report.errors().first()));
        QFile::setPermissions(path("calls.db"), QFile::ReadOwner | QFile::WriteOwner);
    }
    LocalCallHistoryDb check(path("calls.db"));
    QCOMPARE(check.countCalls(), 2);
}

void TestBackupJobs::emptySelection_commitsAndReportsZero()
{
    LocalPlaylistDb db(path("playlists.db"));
    testsupport::RecordingJobReport report;
    BackupPlaylistsThread job(&db, {}, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 0 Playlists.") });
    QVERIFY(report.progress().isEmpty());
    QVERIFY(QFile::exists(path("playlists.db")));
}

void TestBackupJobs::bookmarks_foldersCountTheirBookmarks()
{
    auto folder = std::make_unique<BookmarkRecord>(nullptr, true, QStringLiteral("News"), QString(), 0, QString());
    for (int i = 0; i < 3; ++i)
        folder->children.append(new BookmarkRecord(folder.get(), false, QStringLiteral("n%1").arg(i),
            QStringLiteral("https://n%1.example/").arg(i), i, QString()));
    folder->children.append(new BookmarkRecord(folder.get(), true, QStringLiteral("Later"), QString(), 3, QString()));
    auto single = std::make_unique<BookmarkRecord>(
        nullptr, false, QStringLiteral("One"), QStringLiteral("https://one.example/"), 1, QString());

    LocalBookmarkDb db(path("bookmarks.db"));
    testsupport::RecordingJobReport report;
    BackupBookmarsThread job(&db, { folder.get(), single.get() }, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 4 Bookmarks.") });
    QCOMPARE(
        report.progressTexts(), (QStringList { QStringLiteral("Bookmarks:3 / 4"), QStringLiteral("Bookmarks:4 / 4") }));
    QCOMPARE(report.progress().first().status, QStringLiteral("Backing up Bookmarks now. Please wait..."));
    QCOMPARE(report.progress().first().percent, 75);
    QCOMPARE(db.countBookmarks(), 4);
    const QList<BookmarkRecord*> roots = db.loadAll();
    int folders = 0;
    for (const BookmarkRecord* r : roots)
        for (const BookmarkRecord* c : r->children)
            folders += c->isFolder ? 1 : 0;
    qDeleteAll(roots);
    QCOMPARE(folders, 1); // the empty sub-folder is stored too
}

void TestBackupJobs::bookmarks_onlyEmptyFolders_keepTheBarAndStoreThem()
{
    auto a = std::make_unique<BookmarkRecord>(nullptr, true, QStringLiteral("A"), QString(), 0, QString());
    auto b = std::make_unique<BookmarkRecord>(nullptr, true, QStringLiteral("B"), QString(), 1, QString());
    LocalBookmarkDb db(path("bookmarks.db"));
    testsupport::RecordingJobReport report;
    BackupBookmarsThread job(&db, { a.get(), b.get() }, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 0 Bookmarks.") });
    for (const auto& p : report.progress())
        QVERIFY(p.percent < 0);
    const QList<BookmarkRecord*> roots = db.loadAll();
    QCOMPARE(roots.size(), 2);
    qDeleteAll(roots);
}

void TestBackupJobs::contacts_mergedByName_andCancelKeepsWhatWasDone()
{
    auto contact = [](const QString& name, const QString& phone) {
        pim::_Contact c(0, QString(), name);
        pim::ContactDataRow n;
        n.values.insert(QStringLiteral("data1"), name);
        n.values.insert(QStringLiteral("data2"), name);
        c.entities[pim::ENTITY_NAME].append(n);
        pim::ContactDataRow p;
        p.values.insert(QStringLiteral("data1"), phone);
        p.values.insert(QStringLiteral("data2"), 2);
        c.entities[pim::ENTITY_PHONE].append(p);
        return c;
    };
    LocalContactsDb db(path("contacts.db"), QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
    {
        pim::_Contact stored;
        bool merged = false;
        db.addOrMergeContact(contact(QStringLiteral("Ann"), QStringLiteral("111")), stored, &merged);
        db.addOrMergeContact(contact(QStringLiteral("Bob"), QStringLiteral("222")), stored, &merged);
    }
    const QList<pim::_Contact> five { contact(QStringLiteral("Ann"), QStringLiteral("111")),
        contact(QStringLiteral("Cid"), QStringLiteral("333")), contact(QStringLiteral("Bob"), QStringLiteral("999")),
        contact(QStringLiteral("Dee"), QStringLiteral("444")), contact(QStringLiteral("Eve"), QStringLiteral("555")) };
    {
        testsupport::RecordingJobReport report;
        BackupContactsThread job(&db, five, &report);
        job.start();
        QVERIFY(job.wait(10000));
        QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 3 contacts with 2  merged.") });
        QCOMPARE(report.progressTexts().first(), QStringLiteral("Contacts:1/5"));
        QCOMPARE(report.progress().first().status, QStringLiteral("Backing up contacts now. Please wait..."));
        QCOMPARE(db.countContacts(), 5);
    }
    // A cancel keeps the contacts handled so far and reports them.
    LocalContactsDb other(path("contacts2.db"), QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
    testsupport::RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("Contacts:2/5"));
    BackupContactsThread job(&other, five, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 2 contacts.") });
    QCOMPARE(other.countContacts(), 2);
}

void TestBackupJobs::calendarsNotesPlaylists_reportTheirCounts()
{
    {
        QList<CalendarEventRecord> events;
        for (int i = 0; i < 3; ++i) {
            CalendarEventRecord e(0, 0, QStringLiteral("Home"));
            e.summary = QStringLiteral("E%1").arg(i % 2); // the third repeats the first
            e.start = QDateTime::fromSecsSinceEpoch(1700000000 + (i % 2) * 60);
            CalendarReminderRecord r;
            r.minutes = 15;
            e.reminders.append(r);
            events.append(e);
        }
        LocalCalendarsDb db(path("calendars.db"));
        testsupport::RecordingJobReport report;
        BackupCalendarsThread job(&db, events, &report);
        job.start();
        QVERIFY(job.wait(10000));
        QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 3 Calendar events.") });
        QCOMPARE(report.progressTexts().last(), QStringLiteral("Events:3 / 3"));
        QCOMPARE(db.countEvents(), 2);
    }
    {
        QList<NoteRecord> notes(2);
        notes[0].title = QStringLiteral("Shopping");
        notes[0].content = QStringLiteral("<p>milk</p>");
        notes[1] = notes[0];
        LocalNotesDb db(path("notes.db"));
        testsupport::RecordingJobReport report;
        BackupNotesThread job(&db, notes, &report);
        job.start();
        QVERIFY(job.wait(10000));
        QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 2 notes.") });
        QCOMPARE(report.progress().first().status, QStringLiteral("Backing up Notes. Please wait..."));
        QCOMPARE(report.progressTexts().first(), QStringLiteral("Notes:1 / 2"));
        QCOMPARE(db.count(), 1);
    }
    {
        QList<PlaylistRecord> lists(2);
        lists[0].name = QStringLiteral("Run");
        lists[1].name = QStringLiteral("Sleep");
        LocalPlaylistDb db(path("playlists.db"));
        db.addPlaylist(lists[0]);
        testsupport::RecordingJobReport report;
        BackupPlaylistsThread job(&db, lists, &report);
        job.start();
        QVERIFY(job.wait(10000));
        QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully backup 2 Playlists.") });
        QCOMPARE(report.progressTexts(),
            (QStringList { QStringLiteral("Playlists:1 / 2"), QStringLiteral("Playlists:2 / 2") }));
        QCOMPARE(db.count(), 2);
    }
}

QTEST_GUILESS_MAIN(TestBackupJobs)
#include "test_backupjobs.moc"
