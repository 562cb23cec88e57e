// Counting a backup folder only reads it: files an older version left,
// which the writing paths bring up to date, keep every byte.
#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"
#include "records/absdb.h"
#include "records/localcallhistorydb.h"
#include "shell/main/navsources.h"

#include "testsupport.h"

#include <QtTest>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A record database made by its schema script alone, as older versions left
// it (no columns or indexes added since), with rows.
void makeOldFile(const QDir& folder, const char* name, const char* script, const char* rows)
{
    Sqlite3DB raw;
    raw.openThrow(folder.absoluteFilePath(QLatin1String(name)), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    runSchemaScript(raw, QString::fromLatin1(script));
    raw.executeScriptThrow(rows);
}

// A message store with one message, its chat table older than the columns
// the store has gained since.
void makeOldMessageStore(const QDir& folder)
{
    ExportMessagesDb writer(folder, QString());
    writer.begin();
    _MsgHandle handle;
    _MsgChat chat;
    makeSmsChat(u"+4930123"_s, QString(), &handle, &chat);
    _MsgMessage msg;
    msg.handle = &handle;
    msg.chat = &chat;
    msg.guid = newMsgGuid();
    writer.write(msg);
    writer.store().executeThrow(u"ALTER TABLE chat DROP COLUMN group_id"_s);
    writer.end();
}

// A child process runs the statements on the file and dies without closing
// it, as in a crash or a power cut.
void dieAfter(const QString& path, const QByteArray& statements)
{
    const QByteArray file = QFile::encodeName(path);
    const pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        const bool ran = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
            && sqlite3_exec(db, statements.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        _exit(ran ? 0 : 1);
    }
    int status = -1;
    QVERIFY(child > 0 && waitpid(child, &status, 0) == child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A write cut off inside its transaction (changed pages spilled into the
// file): its journal is left beside the file.
void interruptWrite(const QString& path, const char* statements)
{
    dieAfter(path, QByteArray("PRAGMA cache_size=10; BEGIN; ") + statements);
    QVERIFY(QFileInfo(path + u"-journal"_s).size() > 0);
}

// Rewrites every row and adds a table of 600 KB: far more than the cache.
constexpr const char* kBigChange
    = "CREATE TABLE spill(x); WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM r "
      "WHERE i<300) INSERT INTO spill SELECT randomblob(2000) FROM r;";

} // namespace

class TestNavSources : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void countingAnOldBackup_leavesEveryByte()
    {
        const QDir folder(testsupport::makeTempDir(u"oldbackup"_s));
        makeOldFile(folder, "calls.db", ":res/local_callhistory_db.sql",
                    "insert into call(address,date,hash) values('555',100,'h1');"
                    "insert into call(address,date,hash) values('556',200,'h2')");
        makeOldFile(folder, "calendars.db", ":res/local_calendars_db.sql", "select 1");
        makeOldFile(folder, "contacts.db", ":res/local_contacts_db.sql", "select 1");
        makeOldMessageStore(folder);
        // A damaged file is left alone too.
        QFile damaged(folder.absoluteFilePath(u"notes.db"_s));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("SQLite format 3\0 cut short", 26) == 26);
        damaged.close();
        auto snapshot = [&] {
            QMap<QString, QByteArray> files; // every file below the folder with its bytes
            for (const QString& f : testsupport::filesBelow(folder.absolutePath()))
                files.insert(f, testsupport::readFile(folder.absoluteFilePath(f)));
            return files;
        };
        const QMap<QString, QByteArray> before = snapshot();

        const _LocalDbItemNode::Counts counts = navsources::countLocalDb(folder);
        QCOMPARE(counts[_LocalDbItemNode::CallRecords], 2);
        QCOMPARE(counts[_LocalDbItemNode::Messages], 1);
        QCOMPARE(counts[_LocalDbItemNode::Notes], 0);
        QCOMPARE(snapshot(), before);
    }

    // Backups whose last write was cut off, one a tool left in
    // write-ahead-log mode and one with a log left: each counts what it last
    // committed, and counting leaves no new file. On a read-only medium an interrupted file counts as
    // unknown, never 0, and keeps every byte.
    void countingAfterAnInterruptedWrite_givesTheCommittedRecords()
    {
        const QDir folder(testsupport::makeTempDir(u"cutoff"_s));
        const QString calls = folder.absoluteFilePath(u"calls.db"_s);
        makeOldFile(folder, "calls.db", ":res/local_callhistory_db.sql",
                    "WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM r WHERE i<600) "
                    "INSERT INTO call(address,date,hash) SELECT '555'||i, i, 'h'||i FROM r");
        makeOldMessageStore(folder);
        const QString sms = IOS6MessageDb(folder, QString(), false).dbPath();
        makeOldFile(folder, "notes.db", ":res/local_notes_db.sql",
                    "insert into notes(title,hash) values('a','h1');insert into notes(title,hash) values('b','h2');"
                    "PRAGMA journal_mode=WAL");
        interruptWrite(calls, "DELETE FROM call; UPDATE call SET person='gone';");
        interruptWrite(sms, kBigChange);
        // Committed into a log that was never folded into the file.
        const QString playlists = folder.absoluteFilePath(u"playlists.db"_s);
        makeOldFile(folder, "playlists.db", ":res/local_playlists_db.sql", "select 1");
        dieAfter(playlists, "PRAGMA journal_mode=WAL; insert into playlists(name) values('a'),('b'),('c');");
        QVERIFY(QFileInfo(playlists + u"-wal"_s).size() > 0);
        {
            // Read-only: nothing can be rolled back, nothing changes.
            const QMap<QString, QByteArray> before = testsupport::fileDigests(folder.absolutePath());
            testsupport::ReadOnlyMedium medium(folder.absolutePath());
            if (medium.ok()) {
                const _LocalDbItemNode::Counts counts = navsources::countLocalDb(folder);
                QCOMPARE(counts[_LocalDbItemNode::CallRecords], _LocalDbItemNode::kUnknownCount);
                QCOMPARE(counts[_LocalDbItemNode::Messages], _LocalDbItemNode::kUnknownCount);
                QCOMPARE(counts[_LocalDbItemNode::Notes], 2);
                QCOMPARE(counts[_LocalDbItemNode::Playlists], 3);
                QCOMPARE(_LocalDbItemNode::countText(counts[_LocalDbItemNode::CallRecords]), u"?"_s);
            } else {
                qWarning("no read-only medium here: its half is not checked");
            }
            QCOMPARE(testsupport::fileDigests(folder.absolutePath()), before);
        }
        const QStringList files = testsupport::filesBelow(folder.absolutePath());
        const _LocalDbItemNode::Counts counts = navsources::countLocalDb(folder);
        QCOMPARE(counts[_LocalDbItemNode::CallRecords], 600);
        QCOMPARE(counts[_LocalDbItemNode::Messages], 1);
        QCOMPARE(counts[_LocalDbItemNode::Notes], 2);
        QCOMPARE(counts[_LocalDbItemNode::Playlists], 3);
        // The journals were rolled back and the log folded into its file
        // (and so are gone); nothing was added.
        QStringList expected = files;
        expected.removeAll(u"calls.db-journal"_s);
        expected.removeAll(u"playlists.db-wal"_s);
        expected.removeAll(u"playlists.db-shm"_s);
        expected.removeAll(QDir(folder).relativeFilePath(sms) + u"-journal"_s);
        QCOMPARE(testsupport::filesBelow(folder.absolutePath()), expected);
        LocalCallHistoryDb db(calls);
        QCOMPARE(db.countOf(u"select count(*) from call where person is null"_s), 600);
    }

    // A backup in write-ahead-log mode whose log still holds commits, copied
    // without the log's index file onto a read-only medium: what it last
    // committed cannot be read there, so it counts as unknown, never 0, and
    // keeps every byte.
    void countingALogThatCannotBeRead_isUnknown()
    {
        const QDir folder(testsupport::makeTempDir(u"walcopy"_s));
        const QString playlists = folder.absoluteFilePath(u"playlists.db"_s);
        makeOldFile(folder, "playlists.db", ":res/local_playlists_db.sql", "select 1");
        dieAfter(playlists, "PRAGMA journal_mode=WAL; insert into playlists(name) values('a'),('b'),('c');");
        QVERIFY(QFileInfo(playlists + u"-wal"_s).size() > 0);
        QVERIFY(QFile::remove(playlists + u"-shm"_s));
        const QMap<QString, QByteArray> before = testsupport::fileDigests(folder.absolutePath());
        {
            testsupport::ReadOnlyMedium medium(folder.absolutePath());
            if (!medium.ok())
                QSKIP("no read-only medium here");
            const _LocalDbItemNode::Counts counts = navsources::countLocalDb(folder);
            QCOMPARE(counts[_LocalDbItemNode::Playlists], _LocalDbItemNode::kUnknownCount);
            QCOMPARE(_LocalDbItemNode::countText(counts[_LocalDbItemNode::Playlists]), u"?"_s);
        }
        QCOMPARE(testsupport::fileDigests(folder.absolutePath()), before);
        // Where the medium allows, the log is folded into the file and read.
        QCOMPARE(navsources::countLocalDb(folder)[_LocalDbItemNode::Playlists], 3);
    }
};

QTEST_GUILESS_MAIN(TestNavSources)
#include "test_navsources.moc"
