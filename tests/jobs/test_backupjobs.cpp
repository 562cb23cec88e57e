// The backup jobs: progress and result per kind, duplicates counted but not
// stored twice, cancel and database failures leaving the folder unchanged.
#include "jobs/backupthreads.h"
#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localcontactsdb.h"
#include "records/localplaylistdb.h"
#include "shell/core/translations.h"

#include "testsupport.h"

#include <QtTest>

#include <sqlite3.h>
#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;
using Report = testsupport::RecordingJobReport;

namespace {

QList<CallRecord> makeCalls(int n, int from = 0)
{
    QList<CallRecord> calls(n);
    for (int i = 0; i < n; ++i) {
        calls[i].address = u"0170%1"_s.arg(1000 + from + i);
        calls[i].date = QDateTime::fromSecsSinceEpoch(1690000000 + (from + i) * 97);
    }
    return calls;
}

// Runs one backup job to its end.
template <typename Job, typename Db, typename Items> bool backup(Db* db, const Items& items, Report& report)
{
    Job job(db, items, &report);
    job.start();
    return job.wait(10000);
}

} // namespace

class TestBackupJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init() { m_dir = testsupport::makeTempDir(u"backup"_s); }

    void calls_countDuplicatesButStoreThemOnce_andCancelKeepsNone();
    void calls_badFile_givesClearError_andLeavesItUnchanged();
    void contacts_mergedByName_andCancelKeepsWhatWasDone();
    void otherKinds_skipDuplicatesAndCountFolderContents();

private:
    QString path(const char* file) const { return m_dir + u'/' + QLatin1String(file); }
    QString m_dir;
};

void TestBackupJobs::calls_countDuplicatesButStoreThemOnce_andCancelKeepsNone()
{
    LocalCallHistoryDb db(path("calls.db"));
    for (const CallRecord& c : makeCalls(2))
        db.addCall(c);
    const QList<CallRecord> calls = makeCalls(4); // the first two are stored already
    Report report;
    QVERIFY(backup<BackupCallsThread>(&db, &calls, report));
    QCOMPARE(report.successes(), QStringList {u"Successfully backup 4 Call History."_s});
    QCOMPARE(report.progressTexts(),
             (QStringList {u"Calls:1 / 4"_s, u"Calls:2 / 4"_s, u"Calls:3 / 4"_s, u"Calls:4 / 4"_s}));
    QCOMPARE(db.countCalls(), 4);

    const QList<CallRecord> more = makeCalls(50, 100);
    Report cancelled;
    cancelled.cancelWhenProgressContains(u"Calls:20 / 50"_s);
    QVERIFY(backup<BackupCallsThread>(&db, &more, cancelled));
    QCOMPARE(cancelled.endCount(), 0);
    QCOMPARE(cancelled.progressTexts().last(), u"Calls:20 / 50"_s);
    QCOMPARE(db.countCalls(), 4);
    QCOMPARE(db.connection().tranDepth(), 0);
}

void TestBackupJobs::calls_badFile_givesClearError_andLeavesItUnchanged()
{
    const QList<CallRecord> calls = makeCalls(5);
    // Empty when the backup ends with one error that names the cause.
    auto failure = [&calls](LocalCallHistoryDb& db, const QString& cause) {
        Report report;
        if (!backup<BackupCallsThread>(&db, &calls, report) || report.endCount() != 1 || report.errors().size() != 1
            || !report.errors().first().contains(cause))
            return u"errors: "_s + report.errors().join(u'\n');
        return QString();
    };

    // A corrupt file is reported and left byte for byte.
    const QByteArray garbage = QByteArray("this is no database at all ").repeated(200);
    QFile bad(path("bad.db"));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(garbage) == garbage.size());
    bad.close();
    {
        LocalCallHistoryDb db(path("bad.db"));
        QCOMPARE(failure(db, u"not a database"_s), QString());
    }
    QVERIFY(bad.open(QIODevice::ReadOnly));
    QCOMPARE(bad.readAll(), garbage);

    LocalCallHistoryDb db(path("calls.db"));
    for (const CallRecord& c : makeCalls(2, 900))
        db.addCall(c);
    // Another program holds the file: every write is refused.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(path("calls.db").toUtf8().constData(), &other), SQLITE_OK);
    sqlite3_busy_timeout(db.connection().handle(), 50);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(failure(db, u"locked"_s), QString());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // A file without write permission (only meaningful when not running as root).
    if (::geteuid() != 0) {
        QFile::setPermissions(path("calls.db"), QFile::ReadOwner);
        LocalCallHistoryDb readOnly(path("calls.db"));
        QCOMPARE(failure(readOnly, u"readonly"_s), QString());
        QFile::setPermissions(path("calls.db"), QFile::ReadOwner | QFile::WriteOwner);
    }
    QCOMPARE(db.countCalls(), 2);
}

void TestBackupJobs::contacts_mergedByName_andCancelKeepsWhatWasDone()
{
    auto contact = [](const char* name, const char* phone) {
        pim::_Contact c(0, QString(), QLatin1String(name));
        pim::ContactDataRow n, p;
        n.values = {{u"data1"_s, QLatin1String(name)}, {u"data2"_s, QLatin1String(name)}};
        p.values = {{u"data1"_s, QLatin1String(phone)}, {u"data2"_s, 2}};
        c.entities[pim::ENTITY_NAME].append(n);
        c.entities[pim::ENTITY_PHONE].append(p);
        return c;
    };
    auto rule = [] { return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule); };
    LocalContactsDb db(path("contacts.db"), rule());
    pim::_Contact stored;
    bool merged = false;
    db.addOrMergeContact(contact("Ann", "111"), stored, &merged);
    db.addOrMergeContact(contact("Bob", "222"), stored, &merged);
    const QList<pim::_Contact> five {contact("Ann", "111"), contact("Cid", "333"), contact("Bob", "999"),
                                     contact("Dee", "444"), contact("Eve", "555")};
    Report report;
    QVERIFY(backup<BackupContactsThread>(&db, five, report));
    QCOMPARE(report.successes(), QStringList {u"Successfully backup 3 contacts with 2  merged."_s});
    QCOMPARE(db.countContacts(), 5);

    // A cancel keeps the contacts handled so far and reports them.
    LocalContactsDb other(path("contacts2.db"), rule());
    Report cancelled;
    cancelled.cancelWhenProgressContains(u"Contacts:2/5"_s);
    QVERIFY(backup<BackupContactsThread>(&other, five, cancelled));
    QCOMPARE(cancelled.successes(), QStringList {u"Successfully backup 2 contacts."_s});
    QCOMPARE(other.countContacts(), 2);
}

void TestBackupJobs::otherKinds_skipDuplicatesAndCountFolderContents()
{
    // A folder counts its bookmarks; its empty sub-folder is stored too.
    auto folder = std::make_unique<BookmarkRecord>(nullptr, true, u"News"_s, QString(), 0, QString());
    for (int i = 0; i < 3; ++i)
        folder->children.append(
            new BookmarkRecord(folder.get(), false, u"n%1"_s.arg(i), u"https://n%1.example/"_s.arg(i), i, QString()));
    folder->children.append(new BookmarkRecord(folder.get(), true, u"Later"_s, QString(), 3, QString()));
    auto single = std::make_unique<BookmarkRecord>(nullptr, false, u"One"_s, u"https://one.example/"_s, 1, QString());
    LocalBookmarkDb bookmarks(path("bookmarks.db"));
    Report r1;
    QVERIFY(backup<BackupBookmarsThread>(&bookmarks, QList {folder.get(), single.get()}, r1));
    QCOMPARE(r1.successes(), QStringList {u"Successfully backup 4 Bookmarks."_s});
    QCOMPARE(r1.progressTexts(), (QStringList {u"Bookmarks:3 / 4"_s, u"Bookmarks:4 / 4"_s}));
    QCOMPARE(bookmarks.countBookmarks(), 4);
    const QList<BookmarkRecord*> roots = bookmarks.loadAll();
    QCOMPARE(roots.size(), 2);
    QCOMPARE(roots.first()->children.size() + roots.last()->children.size(), 4);
    qDeleteAll(roots);

    QList<CalendarEventRecord> events(3, CalendarEventRecord(0, 0, u"Home"_s));
    for (int i = 0; i < 3; ++i) {
        events[i].summary = u"E%1"_s.arg(i % 2); // the third repeats the first
        events[i].start = QDateTime::fromSecsSinceEpoch(1700000000 + (i % 2) * 60);
    }
    LocalCalendarsDb calendars(path("calendars.db"));
    Report r2;
    QVERIFY(backup<BackupCalendarsThread>(&calendars, events, r2));
    QCOMPARE(r2.successes(), QStringList {u"Successfully backup 3 Calendar events."_s});
    QCOMPARE(calendars.countEvents(), 2);

    QList<PlaylistRecord> lists(2);
    lists[0].name = u"Run"_s;
    lists[1].name = u"Sleep"_s;
    LocalPlaylistDb playlists(path("playlists.db"));
    playlists.addPlaylist(lists[0]);
    Report r3;
    QVERIFY(backup<BackupPlaylistsThread>(&playlists, lists, r3));
    QCOMPARE(r3.successes(), QStringList {u"Successfully backup 2 Playlists."_s});
    QCOMPARE(playlists.count(), 2);
}

QTEST_GUILESS_MAIN(TestBackupJobs)
#include "test_backupjobs.moc"
