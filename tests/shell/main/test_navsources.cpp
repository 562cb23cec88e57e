// Counting a backup folder only reads it: files an older version left,
// which the writing paths bring up to date, keep every byte.
#include "messagestore/exportmessagesdb.h"
#include "messagestore/msgrecords.h"
#include "records/absdb.h"
#include "shell/main/navsources.h"

#include "testsupport.h"

#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestNavSources)
#include "test_navsources.moc"
