#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>

namespace {

QSet<QString> schemaNames(Sqlite3DB& db, const QString& type)
{
    QSet<QString> out;
    Sqlite3Sql sql(QStringLiteral("select name from sqlite_master where type=?"));
    sql.addTextParam(type);
    Sqlite3Cursor c = db.queryThrow(sql);
    while (c.moveNext())
        out.insert(c.getText(0));
    return out;
}

} // namespace

class TestMessageStore : public QObject {
    Q_OBJECT
private slots:
    void newStoreHasLayout()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("new")) + QStringLiteral("/a/b"));
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(db.dbPath(), dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/sms.db")));
        QCOMPARE(db.getMessageCount(), 0);

        const QSet<QString> tables = schemaNames(db, QStringLiteral("table"));
        for (const char* t : {"message", "handle", "chat", "attachment", "chat_handle_join", "chat_message_join",
                              "message_attachment_join"})
            QVERIFY2(tables.contains(QLatin1String(t)), t);
        const QSet<QString> indexes = schemaNames(db, QStringLiteral("index"));
        for (const char* i : {"message_idx_logic_hash", "chat_idx_last", "chat_message_join_idx_message_id"})
            QVERIFY2(indexes.contains(QLatin1String(i)), i);
        QCOMPARE(schemaNames(db, QStringLiteral("trigger")),
            QSet<QString>({"clean_orphaned_handles2", "clean_orphaned_handles", "clean_orphaned_messages",
                "clean_orphaned_attachments", "set_message_has_attachments", "clear_message_has_attachments"}));
        // Reopening changes nothing.
        const QString before = db.createSql(QStringLiteral("message"));
        db.close();
        IOS6MessageDb again(dir, QString(), true);
        again.open();
        QCOMPARE(again.createSql(QStringLiteral("message")), before);
        QCOMPARE(schemaNames(again, QStringLiteral("index")), indexes);
    }

    void triggersRemoveOrphans()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("triggers")));
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        db.executeScriptThrow(
            "insert into handle(ROWID,id,service) values(1,'+1','SMS');"
            "insert into chat(ROWID,guid) values(1,'c1');"
            "insert into chat_handle_join values(1,1);"
            "insert into message(ROWID,guid,handle_id) values(1,'m1',1),(2,'m2',1);"
            "insert into chat_message_join values(1,1),(1,2);"
            "insert into attachment(ROWID,guid) values(1,'a1');"
            "insert into message_attachment_join values(1,1),(2,1);");
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select sum(cache_has_attachments) from message")), 2);

        // The last chat link of a message goes: the message goes.
        db.executeThrow(QStringLiteral("delete from chat_message_join where message_id=2"));
        QCOMPARE(count(db, QStringLiteral("message")), 1);
        // One attachment link left: the attachment stays; then it goes too.
        QCOMPARE(count(db, QStringLiteral("attachment")), 1);
        db.executeThrow(QStringLiteral("delete from message_attachment_join where message_id=1"));
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select cache_has_attachments from message where rowid=1")), 0);
        db.executeThrow(QStringLiteral("delete from message_attachment_join"));
        QCOMPARE(count(db, QStringLiteral("attachment")), 0);
        // The handle stays while a chat refers to it, and goes with the last reference.
        db.executeThrow(QStringLiteral("delete from chat_message_join"));
        QCOMPARE(count(db, QStringLiteral("message")), 0);
        QCOMPARE(count(db, QStringLiteral("handle")), 1);
        db.executeThrow(QStringLiteral("delete from chat_handle_join"));
        QCOMPARE(count(db, QStringLiteral("handle")), 0);
    }

    void deleteMessageRemovesEmptyChat()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("delete")));
        MsgBuilder b;
        auto* ann = b.handle(QStringLiteral("+100"), 1);
        auto* chatA = b.chat(QStringLiteral("+100"), {ann});
        b.message(chatA, ann, QStringLiteral("only"), 10);
        auto* bob = b.handle(QStringLiteral("+200"), 2);
        auto* chatB = b.chat(QStringLiteral("+200"), {bob});
        b.message(chatB, bob, QStringLiteral("one"), 20);
        b.message(chatB, bob, QStringLiteral("two"), 30);
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        auto ds = loadAll(db);
        db.beginTran();
        for (_MsgMessage* m : ds->messages) {
            if (m->text == QLatin1String("only") || m->text == QLatin1String("one"))
                db.deleteMessage(m);
        }
        db.endTran(true);
        QCOMPARE(count(db, QStringLiteral("chat")), 1);
        QCOMPARE(count(db, QStringLiteral("message")), 1);
        // Ann's handle had no chat and no message left.
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from handle where id='+100'")), 0);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from handle where id='+200'")), 1);
    }

    void plainStoreWithoutMigration()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("plain")));
        IOS6MessageDb probe(dir, QString(), false);
        makePlainStore(probe.dbPath());

        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+100"), 1);
        auto* chat = b.chat(QStringLiteral("+100"), {h});
        auto* m = b.message(chat, h, QStringLiteral("hello"), 100);
        {
            IOS6MessageDb db(dir, QString(), false);
            QVERIFY(!db.hasItemTypeColumn());
            const qint64 chatId = db.insertChat(*chat);
            const qint64 msgId = db.insertMessage(*m, 1, 0);
            db.joinChatMessage(chatId, msgId);
            db.updateChatLast(chatId, 100); // no _last column: nothing
            auto ds = loadAll(db);
            // No _last column: the newest message date is worked out.
            QCOMPARE(ds->chats.begin().value()->_last, 100);
            // The phone's trigger function is there.
            db.executeThrow(QStringLiteral("insert into attachment(guid) values('x')"));
            db.executeThrow(QStringLiteral("delete from attachment"));
        }

        // With migration the store gains the columns and the index.
        IOS6MessageDb db(dir, QString(), true);
        db.open();
        const auto cols = db.tbInfo(QStringLiteral("message"));
        for (const char* c : {"is_audio_message", "item_type", "other_handle", "message_action_type", "logic_hash"})
            QVERIFY2(cols.contains(QLatin1String(c)), c);
        QVERIFY(db.tbInfo(QStringLiteral("chat")).contains(QStringLiteral("group_id")));
        QVERIFY(schemaNames(db, QStringLiteral("index")).contains(QStringLiteral("message_idx_logic_hash")));
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select other_handle from message")), -1);
    }

    void locationNoticesNotCountedNorLoaded()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("notices")));
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+100"), 1);
        auto* chat = b.chat(QStringLiteral("+100"), {h});
        b.message(chat, h, QStringLiteral("a"), 10);
        auto* n = b.message(chat, h, QString(), 20);
        n->item_type = 4;
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(db.getMessageCount(), 1);
        QCOMPARE(count(db, QStringLiteral("message")), 2);
        auto ds = loadAll(db);
        QCOMPARE(ds->messages.size(), 1);
        QCOMPARE(ds->chats.begin().value()->_last, 20);
    }

    void incrementalLoadsShareRecords()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("incremental")));
        MsgBuilder b;
        auto* ann = b.handle(QStringLiteral("+100"), 1);
        auto* bob = b.handle(QStringLiteral("+200"), 2);
        auto* one = b.chat(QStringLiteral("+100"), {ann});
        auto* group = b.chat(QStringLiteral("group"), {ann, bob});
        b.message(one, ann, QStringLiteral("1"), 10);
        b.message(group, bob, QStringLiteral("2"), 20);
        b.message(group, ann, QStringLiteral("3"), 30);
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        const qint64 oneId = db.findChatByGuid(one->guid);
        const qint64 groupId = db.findChatByGuid(group->guid);
        db.loadMessages(*ds, oneId);
        QCOMPARE(ds->messages.size(), 1);
        _MsgMessage* first = ds->messages.begin().value();
        db.loadMessages(*ds, groupId);
        QCOMPARE(ds->messages.size(), 3);
        QVERIFY(ds->messages.values().contains(first));
        QCOMPARE(ds->chats.value(groupId)->messages.size(), 2);
        // Shared handle: the same record in both chats.
        _MsgHandle* annLoaded = ds->chats.value(oneId)->handles.values().first();
        QVERIFY(ds->chats.value(groupId)->handles.values().contains(annLoaded));
        QCOMPARE(ds->chats.value(groupId)->last_addressed_handle, QStringLiteral("+100"));
    }

    void handleNormalisedWithCurrentCountry()
    {
        if (!QFile::exists(QStringLiteral(":/res/countries.db")))
            QSKIP("the country table is not bundled");
        const QDir dir(testsupport::makeTempDir(QStringLiteral("normalise")));
        IOS6MessageDb db(dir, QStringLiteral("460"), false);
        db.open();
        db.executeScriptThrow("insert into handle(ROWID,id,service) values(1,'138 0013 8000','SMS');"
                              "insert into handle(ROWID,id,service,country) values(2,'13900139000','SMS','cn');"
                              "insert into handle(ROWID,id,service,_ct_name) values(3,'Someone@Mail.COM','SMS','Kept');"
                              "insert into chat(ROWID,guid,chat_identifier) values(1,'c1','x');"
                              "insert into chat_handle_join values(1,1),(1,2),(1,3);");
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        QCOMPARE(ds->handles.value(1)->id, QStringLiteral("+8613800138000"));
        QCOMPARE(ds->handles.value(2)->id, QStringLiteral("+8613900139000"));
        QCOMPARE(ds->handles.value(3)->id, QStringLiteral("someone@mail.com"));
        QCOMPARE(ds->handles.value(3)->_ct_name, QStringLiteral("Kept")); // no address book: names stay
        // Only in memory.
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from handle where id='138 0013 8000'")), 1);
    }

    void addressBookCacheIsReadOnlyAndRebuiltWhenNewer()
    {
        if (!QFile::exists(QStringLiteral(":/res/countries.db")))
            QSKIP("the country table is not bundled");
        const QDir dir(testsupport::makeTempDir(QStringLiteral("addressbook")));
        const QString bookPath =
            dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/AddressBook/AddressBook.sqlitedb"));
        QDir().mkpath(QFileInfo(bookPath).absolutePath());
        {
            Sqlite3DB book;
            book.openThrow(bookPath, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            book.executeScriptThrow(
                "CREATE TABLE ABPerson(ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT, Middle TEXT);"
                "CREATE TABLE ABMultiValue(record_id INTEGER, property INTEGER, value TEXT);"
                "insert into ABPerson values(7,' Ann ','Lee','');"
                "insert into ABMultiValue values(7,3,'138 0013 8000'),(7,3,'+86 138-0013-8000'),(7,4,'a@b.c');");
        }
        QFile book(bookPath);
        QVERIFY(book.open(QIODevice::ReadOnly));
        const QByteArray bookBytes = book.readAll();
        book.close();
        const QDateTime bookTime = QFileInfo(bookPath).lastModified();

        IOS6MessageDb db(dir, QStringLiteral("460"), false);
        db.open();
        db.executeScriptThrow("insert into handle(ROWID,id,service,_ct_name) values(1,'13800138000','SMS','old');"
                              "insert into chat(ROWID,guid,chat_identifier) values(1,'c1','x');"
                              "insert into chat_handle_join values(1,1);");
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        QCOMPARE(ds->handles.value(1)->_ct_name, QStringLiteral("Ann Lee"));

        IOSContactsMemDb& cache = db.contactsDb();
        // Two numbers equal after normalisation: one row.
        QCOMPARE(cache.queryInt64Throw(Sqlite3Sql("select count(*) from tel")), 1);
        cache.close();
        const QDateTime cacheTime = QFileInfo(cache.cachePath()).lastModified();
        QCOMPARE(cacheTime, bookTime);

        // The backup's address book is untouched.
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.readAll(), bookBytes);
        book.close();
        QCOMPARE(QFileInfo(bookPath).lastModified(), bookTime);

        // A -wal file newer than the cache: rebuilt, and stamped with its time.
        QFile wal(bookPath + QStringLiteral("-wal"));
        QVERIFY(wal.open(QIODevice::WriteOnly));
        QVERIFY(wal.setFileTime(cacheTime.addSecs(60), QFileDevice::FileModificationTime));
        wal.close();
        cache.open();
        QCOMPARE(QFileInfo(cache.cachePath()).lastModified(), cacheTime.addSecs(60));
        QCOMPARE(IOSContactsMemDb::fullName(cache.findByNumber(QStringLiteral("+8613800138000"))),
                 QStringLiteral("Ann Lee"));
        QCOMPARE(IOSContactsMemDb::fullName(cache.findByNumber(QStringLiteral("+1"))), QString());
    }

    void badStoresGiveClearErrors()
    {
        // Tables missing: a clear error on migration, and on loading without it.
        const QDir dir(testsupport::makeTempDir(QStringLiteral("bad")));
        IOS6MessageDb probe(dir, QString(), false);
        QDir().mkpath(QFileInfo(probe.dbPath()).absolutePath());
        {
            Sqlite3DB raw;
            raw.openThrow(probe.dbPath(), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            raw.executeThrow(QStringLiteral("create table message(ROWID INTEGER PRIMARY KEY, guid TEXT)"));
        }
        {
            IOS6MessageDb db(dir, QString(), true);
            try {
                db.open();
                QFAIL("no error");
            } catch (const std::exception& e) {
                QVERIFY(QString::fromUtf8(e.what()).contains(QLatin1String("chat")));
            }
            QVERIFY(!db.isOpen());
        }
        IOS6MessageDb db(dir, QString(), false);
        auto ds = newMsgDataSet();
        QVERIFY_THROWS_EXCEPTION(std::exception, db.loadChats(*ds));

        // NULL text and date read as empty and 0.
        const QDir dir2(testsupport::makeTempDir(QStringLiteral("nulls")));
        IOS6MessageDb ok(dir2, QString(), false);
        ok.open();
        ok.executeScriptThrow("insert into chat(ROWID,guid) values(1,'c');"
                              "insert into message(ROWID,guid,text,date,handle_id) values(1,'m',NULL,NULL,99);"
                              "insert into chat_message_join values(1,1);");
        auto ds2 = loadAll(ok);
        const _MsgMessage* m = ds2->messages.begin().value();
        QCOMPARE(m->text, QString());
        QCOMPARE(m->date, 0);
        QVERIFY(m->handle == nullptr);
        QVERIFY(!makeLogicHash(m).isEmpty());
    }

    void insertChatRules()
    {
        MsgBuilder b;
        auto* chat = b.chat(QStringLiteral("+1"), {});
        chat->service_name = QStringLiteral("MMS");
        const QDir d1(testsupport::makeTempDir(QStringLiteral("chat1")));
        IOS6MessageDb db1(d1, QString(), false);
        db1.open();
        try {
            db1.insertChat(*chat);
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("IOS6MessageDb::insertChat, invalid chat, service_name:MMS"));
        }
        QCOMPARE(count(db1, QStringLiteral("chat")), 0);

        chat->service_name = QStringLiteral("SMS");
        const QDir d2(testsupport::makeTempDir(QStringLiteral("chat2")));
        IOS6MessageDb db2(d2, QString(), false);
        db1.insertChat(*chat);
        db2.insertChat(*chat);
        const Sqlite3Sql q("select group_id from chat");
        Sqlite3Cursor c1 = db1.queryThrow(q);
        Sqlite3Cursor c2 = db2.queryThrow(q);
        QVERIFY(c1.moveNext() && c2.moveNext());
        QCOMPARE(c1.getText(0), makeGuidFromData(chat->guid.toUtf8())); // the same in every store
        QCOMPARE(c1.getText(0), c2.getText(0));
    }
};

QTEST_GUILESS_MAIN(TestMessageStore)
#include "test_messagestore.moc"
