// The message store: its schema and triggers, stores a phone made (with and
// without migration), loading, the address book cache, and the writer.
#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QSet<QString> schemaNames(Sqlite3DB& db, const char* type)
{
    QSet<QString> out;
    Sqlite3Cursor c = db.queryThrow(u"select name from sqlite_master where type='%1'"_s.arg(type));
    while (c.moveNext())
        out.insert(c.getText(0));
    return out;
}

const QString kStoreFiles = u"file-relay/var/mobile/Library/SMS/"_s;

} // namespace

class TestMessageStore : public QObject {
    Q_OBJECT
private slots:
    void newStore_triggersRemoveOrphansAndReopeningChangesNothing()
    {
        const QDir dir(testsupport::makeTempDir(u"new"_s) + u"/a/b"_s);
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(db.getMessageCount(), 0);
        QCOMPARE(schemaNames(db, "trigger"),
                 QSet<QString>({"clean_orphaned_handles2", "clean_orphaned_handles", "clean_orphaned_messages",
                                "clean_orphaned_attachments", "set_message_has_attachments",
                                "clear_message_has_attachments"}));
        const QString before = db.createSql(u"message"_s);
        const QSet<QString> indexes = schemaNames(db, "index");
        db.close();
        IOS6MessageDb again(dir, QString(), true);
        again.open();
        QCOMPARE(again.createSql(u"message"_s), before);
        QCOMPARE(schemaNames(again, "index"), indexes);

        again.executeScriptThrow(dataFile("orphans.sql"));
        for (const QJsonValue& step : dataJson("orphan_steps.json").array()) { // why, statement, query, result
            if (!step[1].toString().isEmpty())
                again.executeThrow(step[1].toString());
            QVERIFY2(again.queryInt64Throw(Sqlite3Sql(step[2].toString())) == step[3].toInt(),
                     qPrintable(step[0].toString()));
        }
    }

    void deleteMessageRemovesEmptyChat()
    {
        const QDir dir(testsupport::makeTempDir(u"delete"_s));
        MsgBuilder b;
        b.single(u"+100"_s, u"only"_s, 10);
        auto* one = b.single(u"+200"_s, u"one"_s, 20);
        b.message(one->chat, one->handle, u"two"_s, 30);
        ExportMessagesDb w(dir, QString());
        w.begin();
        for (const _MsgMessage* m : b.messages)
            w.write(*m);
        w.end();
        IOS6MessageDb db(dir, QString(), false);
        auto ds = loadAll(db);
        db.beginTran();
        for (_MsgMessage* m : ds->messages) {
            if (m->text == QLatin1String("only") || m->text == QLatin1String("one"))
                db.deleteMessage(m);
        }
        db.endTran(true);
        QCOMPARE(count(db, u"chat"_s), 1);
        QCOMPARE(count(db, u"message"_s), 1);
        // The first handle had no chat and no message left.
        QCOMPARE(count(db, u"handle"_s, u"where id='+100'"_s), 0);
        QCOMPARE(count(db, u"handle"_s, u"where id='+200'"_s), 1);
    }

    void plainStore_worksWithoutMigrationAndGainsColumnsWithIt()
    {
        const QDir dir(testsupport::makeTempDir(u"plain"_s));
        {
            IOS6MessageDb probe(dir, QString(), false);
            QDir().mkpath(QFileInfo(probe.dbPath()).absolutePath());
            Sqlite3DB raw;
            raw.openThrow(probe.dbPath(), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            raw.executeScriptThrow(dataFile("plain_sms.sql"));
        }
        MsgBuilder b;
        auto* m = b.single(u"+100"_s, u"hello"_s, 100);
        {
            IOS6MessageDb db(dir, QString(), false);
            QVERIFY(!db.hasItemTypeColumn());
            const qint64 chatId = db.insertChat(*m->chat);
            db.joinChatMessage(chatId, db.insertMessage(*m, 1, 0));
            db.updateChatLast(chatId, 100); // no _last column: nothing
            // No _last column: the newest message date is worked out.
            QCOMPARE(loadAll(db)->chats.begin().value()->_last, 100);
            // The phone's trigger function is there.
            db.executeThrow(u"insert into attachment(guid) values('x')"_s);
            db.executeThrow(u"delete from attachment"_s);
        }
        IOS6MessageDb db(dir, QString(), true);
        db.open();
        const auto cols = db.tbInfo(u"message"_s);
        for (const char* c : {"is_audio_message", "item_type", "other_handle", "message_action_type", "logic_hash"})
            QVERIFY2(cols.contains(QLatin1String(c)), c);
        QVERIFY(db.tbInfo(u"chat"_s).contains(u"group_id"_s));
        QVERIFY(schemaNames(db, "index").contains(u"message_idx_logic_hash"_s));
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select other_handle from message")), -1);
    }

    void addressBookCacheLeavesTheBookUntouched()
    {
        const QDir dir(testsupport::makeTempDir(u"addressbook"_s));
        const QString bookPath
            = dir.absoluteFilePath(u"file-relay/var/mobile/Library/AddressBook/AddressBook.sqlitedb"_s);
        QDir().mkpath(QFileInfo(bookPath).absolutePath());
        {
            Sqlite3DB book;
            book.openThrow(bookPath, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            book.executeScriptThrow(dataFile("addressbook.sql"));
        }
        const QByteArray bookBytes = testsupport::readFile(bookPath);
        const QDateTime bookTime = QFileInfo(bookPath).lastModified();

        IOS6MessageDb db(dir, u"460"_s, false);
        db.open();
        db.executeScriptThrow(dataFile("addressbook_handles.sql"));
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        // Handles are normalised with the current country, in memory only.
        QCOMPARE(ds->handles.value(1)->id, u"+8613800138000"_s);
        QCOMPARE(ds->handles.value(1)->_ct_name, u"Ann Lee"_s);
        QCOMPARE(ds->handles.value(3)->id, u"someone@mail.com"_s);
        QCOMPARE(count(db, u"handle"_s, u"where id='138 0013 8000'"_s), 1);

        IOSContactsMemDb& cache = db.contactsDb();
        // Two numbers equal after normalisation: one row.
        QCOMPARE(cache.queryInt64Throw(Sqlite3Sql("select count(*) from tel")), 1);
        QCOMPARE(QFileInfo(cache.cachePath()).lastModified(), bookTime); // stamped with the book's time
        QCOMPARE(IOSContactsMemDb::fullName(cache.findByNumber(u"+8613800138000"_s)), u"Ann Lee"_s);
        // The backup's address book keeps every byte and its time.
        QCOMPARE(testsupport::readFile(bookPath), bookBytes);
        QCOMPARE(QFileInfo(bookPath).lastModified(), bookTime);
    }

    // A message written again (same guid, or a new guid with the same
    // content) leaves one row; a chat brings all its handles; messages
    // without a known chat are skipped.
    void repeatsAndOrphansLeaveOneRowEach()
    {
        const QDir dir(testsupport::makeTempDir(u"twice"_s));
        MsgBuilder b;
        auto* h = b.handle(u"+1"_s, 1);
        auto* chat = b.chat(u"g"_s, {h, b.handle(u"+2"_s, 2), b.handle(u"+3"_s, 3)});
        auto* m = b.message(chat, h, u"same"_s, 100);
        auto* sameGuid = b.message(chat, h, u"changed"_s, 999);
        auto* second = b.message(chat, h, u"2"_s, 200);
        auto* unknown = b.chat(u"u"_s, {h});
        unknown->ROWID = -2047483647;
        auto* noChat = b.message(nullptr, h, u"no chat"_s, 1);
        auto* unknownChat = b.message(unknown, h, u"unknown chat"_s, 2);
        const QString storedGuid = m->guid;
        sameGuid->guid = storedGuid;
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.end(); // closes the store; the next begin() reopens it
        m->guid = newMsgGuid(); // a producer made a new guid: found by its logic hash
        w.begin();
        for (auto* msg : {m, sameGuid, second, noChat, unknownChat})
            w.write(*msg);
        w.end();

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, u"message"_s), 2);
        QCOMPARE(count(db, u"chat_handle_join"_s), 3);
        QCOMPARE(db.findMessageByLogicHash(m), db.findMessageByGuid(storedGuid));
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select _last from chat")), 200);
        QCOMPARE(count(db, u"chat"_s, u"where last_addressed_handle='+1'"_s), 1);
    }

    void attachmentPathsStayInsideTheStore()
    {
        const QString base = testsupport::makeTempDir(u"paths"_s);
        const QDir dir(base + u"/store"_s);
        const QString src = writeFile(base + u"/in/data.bin"_s, "DATA");
        MsgBuilder b;
        auto* m = b.single(u"+1"_s, u"files"_s, 1);
        b.attach(m, 1, u"~/Library/SMS/Attachments/a:b/x:y.jpg"_s, src);
        b.attach(m, 2, u"~/Library/SMS/Attachments/../../../../../escape.txt"_s, src);
        b.attach(m, 3, u"//etc/escape2.txt"_s, src);
        b.attach(m, 4, u"~/Library/SMS/Attachments/missing.jpg"_s, base + u"/in/none.bin"_s);
        // An existing target is not overwritten: the file of an earlier
        // message. (begin() removes files that no attachment row names.)
        const QString kept = dir.absoluteFilePath(kStoreFiles + u"Attachments/k.jpg"_s);
        {
            MsgBuilder earlier;
            auto* e = earlier.single(u"+2"_s, u"earlier"_s, 0);
            earlier.attach(e, 1, u"~/Library/SMS/Attachments/k.jpg"_s, writeFile(base + u"/in/old.bin"_s, "OLD"));
            ExportMessagesDb first(dir, QString());
            first.begin();
            first.write(*e);
            first.end();
        }
        b.attach(m, 5, u"~/Library/SMS/Attachments/k.jpg"_s, src);

        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.end();
        QCOMPARE(w.skippedAttachmentCopies(), 2); // the two escapes; the missing source is a failed copy

        // The colon is dropped from the copy's path; the row keeps it.
        QCOMPARE(testsupport::readFile(dir.absoluteFilePath(kStoreFiles + u"Attachments/ab/xy.jpg"_s)),
                 QByteArray("DATA"));
        QVERIFY(!QFile::exists(base + u"/escape.txt"_s));
        QVERIFY(!QFile::exists(u"/etc/escape2.txt"_s));
        QCOMPARE(testsupport::readFile(kept), QByteArray("OLD"));

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, u"message_attachment_join"_s), 6); // with the earlier message's
        QCOMPARE(count(db, u"attachment"_s, u"where filename like '%a:b/x:y.jpg'"_s), 1);
        // Loading maps a refused path to no local path at all.
        auto ds = loadAll(db);
        int empty = 0;
        for (_MsgAttachment* a : ds->attachments) {
            if (a->localPath.isEmpty())
                ++empty;
            else
                QVERIFY(a->localPath.startsWith(dir.absoluteFilePath(u"file-relay/"_s)));
        }
        QCOMPARE(empty, 2);
    }
};

QTEST_GUILESS_MAIN(TestMessageStore)
#include "test_messagestore.moc"
