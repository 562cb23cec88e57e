// Backups and restores of records, and the backup folder chooser. A backup
// counts duplicates but stores them once, keeps nothing of a cancelled run
// and leaves a file it cannot write as it was. A restore goes in the phone's
// batches, which the simulated phone checks line by line, and keeps no batch
// of a failed run in the phone's cache. (Clean restores and the other kinds'
// jobs run in their pages' tests.)
#include "jobs/androidrestorecallsthread.h"
#include "jobs/backupmmsthread.h"
#include "jobs/backupthreads.h"
#include "jobs/localdbselform.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"
#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localcontactsdb.h"
#include "scriptedprompt.h"
#include "shell/core/dataroot.h"

#include "hiddendamage.h"
#include "jobtestutil.h"

#include <QMessageBox>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using phonesim::Fault;
using Report = testsupport::RecordingJobReport;

namespace {

QList<CallRecord> makeCalls(int n, int from = 0)
{
    QList<CallRecord> calls(n);
    for (int i = 0; i < n; ++i) {
        calls[i].address = u"+4930%1"_s.arg(100000 + from + i);
        calls[i].date = QDateTime::fromSecsSinceEpoch(1700000000 + (from + i) * 60);
    }
    return calls;
}

template <typename Job, typename Db, typename Items> bool backup(Db* db, const Items& items, Report& report)
{
    Job job(db, items, &report);
    return jobtest::run(job);
}

// Adds a table of its own to the database file and damages one of its
// pages: SQLite's quick_check finds it, while writes to the other tables
// still work. A checking helper (see CHECKED).
[[nodiscard]] bool damageFile(const QString& file, std::source_location at = std::source_location::current())
{
    sqlite3* raw = nullptr;
    HELPER_COMPARE(sqlite3_open(file.toUtf8().constData(), &raw), SQLITE_OK);
    const int rc = sqlite3_exec(raw,
                                "CREATE TABLE filler(x); WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i+1 "
                                "FROM r WHERE i<100) INSERT INTO filler SELECT randomblob(1000) FROM r;",
                                nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    HELPER_COMPARE(rc, SQLITE_OK);
    // A leaf of the new table, near the end of the file: its page type byte.
    QFile f(file);
    const qint64 page = 4096;
    HELPER_VERIFY(f.size() % page == 0 && f.size() / page > 10);
    HELPER_VERIFY(f.open(QIODevice::ReadWrite) && f.seek(f.size() - 3 * page) && f.putChar(char(0x7f)));
    return true;
}

// The backup ended with the one error that calls file damaged: nothing of
// it was saved. A checking helper.
[[nodiscard]] bool failedAsDamaged(const Report& report, const QString& file,
                                   std::source_location at = std::source_location::current())
{
    HELPER_COMPARE(report.successes(), QStringList());
    HELPER_COMPARE(report.errors().size(), 1);
    HELPER_VERIFY2(report.errors().first().startsWith(
                       u"The backup file %1 is damaged: nothing was saved to it. SQLite found: "_s.arg(file)),
                   qPrintable(report.errors().first()));
    return true;
}

// Points one entry of the index at a row the table does not hold, keeping
// the entry's size and place: every page still reads as sound (quick_check
// says "ok"), but a read that goes through the index finds the database
// malformed. The index must fit its root page, and an entry's columns
// (the row id last) must be small integers or NULL. A checking helper.
[[nodiscard]] bool misdirectIndexEntry(const QString& file, const char* index,
                                       std::source_location at = std::source_location::current())
{
    qint64 root = 0;
    qint64 pageSize = 0;
    {
        Sqlite3DB raw;
        raw.openThrow(file, Sqlite3DB::ReadWrite);
        Sqlite3Sql find(u"select rootpage from sqlite_master where type='index' and name=?"_s);
        find.addTextParam(QLatin1String(index));
        root = raw.queryInt64Throw(find);
        pageSize = raw.queryInt64Throw(Sqlite3Sql(u"PRAGMA page_size"_s));
    }
    QFile f(file);
    HELPER_VERIFY(root > 1 && f.open(QIODevice::ReadWrite) && f.seek((root - 1) * pageSize));
    QByteArray page = f.read(pageSize);
    HELPER_COMPARE(page.size(), pageSize);
    HELPER_COMPARE(quint8(page[0]), quint8(0x0A)); // a leaf of an index
    const auto byte = [&page](qsizetype at) { return quint8(page[at]); };
    const int cells = (byte(3) << 8) | byte(4);
    for (int i = 0; i < cells; ++i) {
        const qsizetype cell = (byte(8 + 2 * i) << 8) | byte(9 + 2 * i);
        // One-byte varints: the payload's size, the record header's size
        // and each column's serial type.
        const int payload = byte(cell);
        const int header = byte(cell + 1);
        HELPER_VERIFY(payload < 0x80 && header < 0x80);
        // The row id is the last column; serial type 1 is one byte.
        if (byte(cell + header) != 1)
            continue;
        page[cell + payload] = char(0x7f);
        HELPER_VERIFY(f.seek((root - 1) * pageSize) && f.write(page) == pageSize);
        return true;
    }
    HELPER_VERIFY2(false, "no entry with a one-byte row id");
    return false;
}

} // namespace

class TestRecordJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { jobtest::initJobTests(); }
    void init() { m_dir = testsupport::makeTempDir(u"records"_s); }

    void backup_calls_storesDuplicatesOnce_andACancelKeepsNone();
    void backup_intoAFileItCannotWrite_failsClearly_andLeavesItUnchanged();
    void backup_contacts_mergedByName_andACancelKeepsWhatWasDone();
    void backup_intoADamagedFile_failsClearly_andLeavesItUnchanged();
    void backup_intoADamagedOlderFile_leavesItUnchanged_data();
    void backup_intoADamagedOlderFile_leavesItUnchanged();
    void backup_intoAFileWithAMisdirectedIndex_failsClearly_andLeavesItUnchanged();
    void backup_intoAnOlderFileDamagedBeyondItsColumns_keepsEveryByte_data();
    void backup_intoAnOlderFileDamagedBeyondItsColumns_keepsEveryByte();
    void restore_failures_keepNoBatchInTheCache_data();
    void restore_failures_keepNoBatchInTheCache();
    void chooser_badNames_warnAndKeepTheDialogOpen();

private:
    QString path(const QString& file) const { return m_dir + u'/' + file; }
    QString m_dir;
};

void TestRecordJobs::backup_calls_storesDuplicatesOnce_andACancelKeepsNone()
{
    LocalCallHistoryDb db(path(u"calls.db"_s));
    for (const CallRecord& c : makeCalls(2))
        db.addCall(c);
    const QList<CallRecord> calls = makeCalls(4); // the first two are stored already
    Report report;
    QVERIFY(backup<BackupCallsThread>(&db, &calls, report));
    QCOMPARE(report.successes(), QStringList {u"Successfully backup 4 Call History."_s});
    QCOMPARE(report.progressTexts(), u"Calls:1 / 4|Calls:2 / 4|Calls:3 / 4|Calls:4 / 4"_s.split(u'|'));
    QCOMPARE(db.countCalls(), 4);

    const QList<CallRecord> more = makeCalls(50, 100);
    Report cancelled;
    cancelled.cancelWhenProgressContains(u"Calls:20 / 50"_s);
    QVERIFY(backup<BackupCallsThread>(&db, &more, cancelled));
    QCOMPARE(cancelled.endCount(), 0);
    QCOMPARE(db.countCalls(), 4);
    QCOMPARE(db.connection().tranDepth(), 0);
}

void TestRecordJobs::backup_intoAFileItCannotWrite_failsClearly_andLeavesItUnchanged()
{
    const QList<CallRecord> calls = makeCalls(5);
    // Empty when the backup ends with one error that names the cause (and
    // not the wrong one).
    auto failure = [&calls](LocalCallHistoryDb& db, const QString& cause, const QString& wrongCause = QString()) {
        Report report;
        if (!backup<BackupCallsThread>(&db, &calls, report) || report.endCount() != 1 || report.errors().size() != 1
            || !report.errors().first().contains(cause)
            || (!wrongCause.isEmpty() && report.errors().first().contains(wrongCause)))
            return u"errors: "_s + report.errors().join(u'\n');
        return QString();
    };
    const QByteArray garbage = QByteArray("this is no database at all ").repeated(200);
    QVERIFY(jobtest::writeFile(path(u"bad.db"_s), garbage));
    {
        LocalCallHistoryDb bad(path(u"bad.db"_s));
        QCOMPARE(failure(bad, u"not a database"_s), QString());
    }
    QCOMPARE(testsupport::readFile(path(u"bad.db"_s)), garbage);

    LocalCallHistoryDb db(path(u"calls.db"_s));
    for (const CallRecord& c : makeCalls(2, 900))
        db.addCall(c);
    // Another program holds the file: every write is refused.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(path(u"calls.db"_s).toUtf8().constData(), &other), SQLITE_OK);
    sqlite3_busy_timeout(db.connection().handle(), 50);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(failure(db, u"locked"_s, u"damaged"_s), QString()); // a sound file is not called damaged
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(db.countCalls(), 2);
}

void TestRecordJobs::backup_contacts_mergedByName_andACancelKeepsWhatWasDone()
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
    LocalContactsDb db(path(u"contacts.db"_s), rule());
    pim::_Contact stored;
    db.addOrMergeContact(contact("Ann", "111"), stored, nullptr);
    db.addOrMergeContact(contact("Bob", "222"), stored, nullptr);
    const QList<pim::_Contact> five {contact("Ann", "111"), contact("Cid", "333"), contact("Bob", "999"),
                                     contact("Dee", "444"), contact("Eve", "555")};
    Report report;
    QVERIFY(backup<BackupContactsThread>(&db, five, report));
    QCOMPARE(report.successes(), QStringList {u"Successfully backup 3 contacts with 2  merged."_s});
    QCOMPARE(db.countContacts(), 5);

    // A cancel keeps the contacts handled so far and reports them.
    LocalContactsDb other(path(u"contacts2.db"_s), rule());
    Report cancelled;
    cancelled.cancelWhenProgressContains(u"Contacts:2/5"_s);
    QVERIFY(backup<BackupContactsThread>(&other, five, cancelled));
    QCOMPARE(cancelled.successes(), QStringList {u"Successfully backup 2 contacts."_s});
    QCOMPARE(other.countContacts(), 2);
}

// A backup file that SQLite finds damaged (quick_check) takes nothing and
// says so, for records and for messages: never the success text for records
// the user could not get back. The file stays as it was.
void TestRecordJobs::backup_intoADamagedFile_failsClearly_andLeavesItUnchanged()
{
    const QString calls = path(u"calls.db"_s);
    {
        LocalCallHistoryDb db(calls);
        for (const CallRecord& c : makeCalls(2))
            db.addCall(c);
    }
    CHECKED(damageFile(calls));
    const QByteArray damaged = testsupport::readFile(calls);
    {
        LocalCallHistoryDb db(calls);
        const QList<CallRecord> more = makeCalls(3, 50);
        Report report;
        QVERIFY(backup<BackupCallsThread>(&db, &more, report));
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().startsWith(
                     u"The backup file %1 is damaged: nothing was saved to it. SQLite found: "_s.arg(calls)),
                 qPrintable(report.errors().first()));
        QCOMPARE(db.countCalls(), 2);
    }
    QCOMPARE(testsupport::readFile(calls), damaged);

    // The message store: one message in, then the store is damaged.
    _MsgHandle handle;
    _MsgChat chat;
    makeSmsChat(u"+4930123"_s, QString(), &handle, &chat);
    QList<_MsgMessage> msgs(2);
    for (int i = 0; i < 2; ++i) {
        std::tie(msgs[i].handle, msgs[i].chat, msgs[i].guid, msgs[i].text, msgs[i].date)
            = std::tuple(&handle, &chat, newMsgGuid(), u"text %1"_s.arg(i), 1000 + i);
    }
    const QDir folder(path(u"messages"_s));
    Report first;
    BackupMMSThread firstJob(folder, QString(), {&msgs[0]}, &first);
    QVERIFY(jobtest::run(firstJob));
    QVERIFY2(first.succeeded(), qPrintable(first.errors().join(u'\n')));
    const QString store = IOS6MessageDb(folder, QString(), false).dbPath();
    CHECKED(damageFile(store));
    const QByteArray storeBytes = testsupport::readFile(store);
    Report second;
    BackupMMSThread secondJob(folder, QString(), {&msgs[1]}, &second);
    QVERIFY(jobtest::run(secondJob));
    QCOMPARE(second.successes(), QStringList());
    QCOMPARE(second.errors().size(), 1);
    QVERIFY2(second.errors().first().startsWith(u"The backup file %1 is damaged"_s.arg(store)),
             qPrintable(second.errors().first()));
    QCOMPARE(testsupport::readFile(store), storeBytes);
}

// A file of an older schema, which opening it for writing brings up to date
// (new columns, new indexes), is refused before that: a damaged one keeps
// every byte.
void TestRecordJobs::backup_intoADamagedOlderFile_leavesItUnchanged_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("schema");
    QTest::newRow("calls") << u"calls.db"_s << u":res/local_callhistory_db.sql"_s;
    QTest::newRow("calendars") << u"calendars.db"_s << u":res/local_calendars_db.sql"_s;
    QTest::newRow("contacts") << u"contacts.db"_s << u":res/local_contacts_db.sql"_s;
}

void TestRecordJobs::backup_intoADamagedOlderFile_leavesItUnchanged()
{
    QFETCH(QString, file);
    QFETCH(QString, schema);
    const QString target = path(file);
    {
        Sqlite3DB raw; // the schema script alone, as older versions left it
        raw.openThrow(target, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        runSchemaScript(raw, schema);
    }
    CHECKED(damageFile(target));
    const QByteArray damaged = testsupport::readFile(target);
    Report report;
    if (file == "calls.db"_L1) {
        LocalCallHistoryDb db(target);
        const QList<CallRecord> calls = makeCalls(2);
        QVERIFY(backup<BackupCallsThread>(&db, &calls, report));
    } else if (file == "calendars.db"_L1) {
        LocalCalendarsDb db(target);
        CalendarEventRecord event(0, 0, u"Home"_s);
        event.start = QDateTime::fromSecsSinceEpoch(1700000000);
        event.end = event.start.addSecs(3600);
        event.summary = u"meeting"_s;
        QVERIFY(backup<BackupCalendarsThread>(&db, QList<CalendarEventRecord> {event}, report));
    } else {
        LocalContactsDb db(target, QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
        QVERIFY(
            backup<BackupContactsThread>(&db, QList<pim::_Contact> {pim::_Contact(0, QString(), u"Ann"_s)}, report));
    }
    CHECKED(failedAsDamaged(report, target));
    QCOMPARE(testsupport::readFile(target), damaged);
}

// An index that leads the page's read to a row that is not there: the
// bookmark page cannot show the file ("database disk image is malformed"),
// although every page of it reads. A backup into it takes nothing and says
// why.
void TestRecordJobs::backup_intoAFileWithAMisdirectedIndex_failsClearly_andLeavesItUnchanged()
{
    const QString file = path(u"bookmarks.db"_s);
    {
        LocalBookmarkDb db(file);
        for (int i = 0; i < 4; ++i) {
            BookmarkRecord bookmark(nullptr, false, u"site %1"_s.arg(i), u"https://example.org/%1"_s.arg(i), i + 2,
                                    QString::number(i));
            db.addBookmarkWithParents(&bookmark, nullptr);
        }
    }
    CHECKED(misdirectIndexEntry(file, "folder_list_index"));
    const QByteArray misdirected = testsupport::readFile(file);
    {
        LocalBookmarkDb db(file);
        db.openReadOnly();
        QCOMPARE(db.connection().quickCheck(), QString());
        QString readError;
        try {
            qDeleteAll(db.loadAll());
        } catch (const std::exception& e) {
            readError = QString::fromUtf8(e.what());
        }
        QVERIFY2(readError.contains(u"database disk image is malformed"_s), qPrintable(readError));
    }

    LocalBookmarkDb db(file);
    BookmarkRecord folder(nullptr, true, u"new folder"_s, QString(), 9, u"f"_s);
    folder.children.append(new BookmarkRecord(&folder, false, u"new"_s, u"https://example.org/new"_s, 0, u"n"_s));
    Report report;
    QVERIFY(backup<BackupBookmarsThread>(&db, QList<BookmarkRecord*> {&folder}, report));
    CHECKED(failedAsDamaged(report, file));
    QCOMPARE(testsupport::readFile(file), misdirected);
}

// An older file whose damage SQLite's checks see only once the backup has
// added its columns: the backup adds them in its own unit, finds the file
// damaged, and the file keeps every byte. Made sound again (a copy put
// back), it takes the next backup through the same database.
void TestRecordJobs::backup_intoAnOlderFileDamagedBeyondItsColumns_keepsEveryByte_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("table");
    QTest::newRow("calls") << u"calls.db"_s << u":res/local_callhistory_db.sql"_s << u"old_calls.sql"_s << u"call"_s;
    QTest::newRow("calendars") << u"calendars.db"_s << u":res/local_calendars_db.sql"_s << u"old_calendars.sql"_s
                               << u"events"_s;
}

void TestRecordJobs::backup_intoAnOlderFileDamagedBeyondItsColumns_keepsEveryByte()
{
    QFETCH(QString, file);
    QFETCH(QString, schema);
    QFETCH(QString, rows);
    QFETCH(QString, table);
    const QString target = path(file);
    {
        Sqlite3DB raw; // as an older version left it
        raw.openThrow(target, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        runSchemaScript(raw, schema);
        raw.executeScriptThrow(testsupport::readFile(testsupport::sourceDir() + u"/tests/records/data/"_s + rows));
    }
    const QByteArray sound = testsupport::readFile(target);
    CHECKED(hiddendamage::beyondLastColumn(target, table, 1));
    const QByteArray damaged = testsupport::readFile(target);
    {
        Sqlite3DB raw;
        raw.openReadOnlyThrow(target);
        QCOMPARE(raw.integrityCheck(), QString()); // sound as it stands
    }

    LocalCallHistoryDb calls(target);
    LocalCalendarsDb calendars(target);
    const QList<CallRecord> newCalls = makeCalls(2);
    CalendarEventRecord event(0, 0, u"Home"_s);
    event.start = QDateTime::fromSecsSinceEpoch(1700000000);
    event.end = event.start.addSecs(3600);
    event.summary = u"meeting"_s;
    const auto backUp = [&](Report& report) {
        return file == "calls.db"_L1 ? backup<BackupCallsThread>(&calls, &newCalls, report)
                                     : backup<BackupCalendarsThread>(&calendars, QList {event}, report);
    };
    for (int round = 0; round < 2; ++round) { // the second as the first
        Report report;
        QVERIFY(backUp(report));
        CHECKED(failedAsDamaged(report, target));
        QCOMPARE(testsupport::readFile(target), damaged);
    }

    QVERIFY(jobtest::writeFile(target, sound));
    Report report;
    QVERIFY(backUp(report));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(u'\n')));
    if (file == "calls.db"_L1) {
        QCOMPARE(calls.countCalls(), 4);
        QCOMPARE(calls.connection().tbInfo(u"call"_s).size(), 20);
    } else {
        QCOMPARE(calendars.countEvents(), 2);
        QVERIFY(calendars.connection().tbInfo(u"events"_s).contains(u"url"_s));
    }
}

void TestRecordJobs::restore_failures_keepNoBatchInTheCache_data()
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

void TestRecordJobs::restore_failures_keepNoBatchInTheCache()
{
    QFETCH(int, count);
    QFETCH(Fault, fault);
    QFETCH(QString, cancelAt);
    QFETCH(QString, error);
    QFETCH(QList<int>, phoneBatches);
    static int row = 10;
    const bool reachable = !error.startsWith("can not connect"_L1);
    testsupport::SimPhone::Options o;
    o.address = u"127.0.111.%1"_s.arg(++row);
    o.listen = reachable; // nobody listens when unreachable
    testsupport::SimPhone phone(o);
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    if (reachable)
        phone.sim->addFault(fault);
    LocalCallHistoryDb cache(path(u"calls.db"_s));
    for (const CallRecord& c : makeCalls(3, 900))
        cache.addCall(c);
    Report report;
    if (!cancelAt.isEmpty())
        report.cancelWhenProgressContains(cancelAt);
    AndroidRestoreCallsThread job(&phone.device, &cache, makeCalls(count), &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.errors(),
             error.isEmpty() ? QStringList() : QStringList {reachable ? error : error.arg(phone.device.host)});
    QCOMPARE(report.endCount(), error.isEmpty() ? 0 : 1); // a cancel posts no end
    QVERIFY(cancelAt.isEmpty() || report.progressTexts().endsWith(cancelAt));
    // The cache keeps only what it had and stays usable.
    QCOMPARE(cache.countCalls(), 3);
    QCOMPARE(cache.connection().tranDepth(), 0);
    QVERIFY(!cache.connection().isRollbackOnly());
    if (!reachable)
        return;
    QCOMPARE(phone.verdict(1), QString());
    QCOMPARE(phone.store->completedSessions(u"calls"_s), 0);
    QCOMPARE(phone.store->batchSizes(u"calls"_s), phoneBatches);
    if (fault.kind == Fault::Kind::WrongLineAt) // the phone is told why it is dropped
        QTRY_VERIFY_WITH_TIMEOUT(phone.sim->linesReceived(u"calls"_s).last().startsWith("$error:"),
                                 testsupport::kHangGuardMs);
}

// Names made only of dots would select the backup root or the data root.
void TestRecordJobs::chooser_badNames_warnAndKeepTheDialogOpen()
{
    const QString invalid = u"Invalid Local Database name(can't contain \\ / : * ? \" < > |)"_s;
    const QDir root = getLocalDatabasesDir();
    const QStringList before = root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& name : {u"   "_s, u"my:phone"_s, u"a/b"_s, u"a\tb"_s, u" . "_s, u".."_s, u"...."_s}) {
        const QString warning
            = name.trimmed().isEmpty() ? u"Select one Database or enter a new Database name"_s : invalid;
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, warning);
        LocalDbSelForm form(nullptr, name);
        form.onBtnOkPress();
        QVERIFY2(prompt.unexpected().isEmpty() && prompt.messages() == QStringList {warning}, qPrintable(name));
        QVERIFY2(!form.hasChoice() && form.result() == 0, qPrintable(name));
    }
    QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

QTEST_MAIN(TestRecordJobs)
#include "test_recordjobs.moc"
