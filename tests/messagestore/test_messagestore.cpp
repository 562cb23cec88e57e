#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QThread>

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

qint64 count(Sqlite3DB& db, const QString& table)
{
    return db.queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from %1").arg(table)));
}

// A store as an iOS 6 phone makes it: without the columns and indexes of
// our own and without item_type and the later columns.
void makePlainStore(const QString& dbPath)
{
    QDir().mkpath(QFileInfo(dbPath).absolutePath());
    Sqlite3DB db;
    db.openThrow(dbPath, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    db.executeScriptThrow(
        "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT, "
        "replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, subject TEXT, country TEXT, "
        "attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER DEFAULT 0, service TEXT, account TEXT, "
        "account_guid TEXT, error INTEGER DEFAULT 0, date INTEGER, date_read INTEGER, date_delivered INTEGER, "
        "is_delivered INTEGER DEFAULT 0, is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me "
        "INTEGER DEFAULT 0, is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER "
        "DEFAULT 0, is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER DEFAULT 0, "
        "is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, is_service_message INTEGER DEFAULT 0, "
        "is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, is_archive INTEGER DEFAULT 0, "
        "cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT, was_data_detected INTEGER DEFAULT 0, "
        "was_deduplicated INTEGER DEFAULT 0);"
        "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT, "
        "service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));"
        "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER, "
        "state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, room_name TEXT, "
        "account_login TEXT, is_archived INTEGER DEFAULT 0, last_addressed_handle TEXT, display_name TEXT);"
        "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, created_date "
        "INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, mime_type TEXT, transfer_state "
        "INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0);"
        "CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER, UNIQUE(chat_id, handle_id));"
        "CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER, PRIMARY KEY (chat_id, message_id));"
        "CREATE TABLE message_attachment_join (message_id INTEGER, attachment_id INTEGER, UNIQUE(message_id, "
        "attachment_id));"
        // A phone's trigger calling a function that only the phone has.
        "CREATE TRIGGER phone_delete AFTER DELETE ON attachment BEGIN SELECT delete_attachment_path(old.filename); "
        "END;");
}

} // namespace

class TestMessageStore : public QObject {
    Q_OBJECT
private slots:
    void newStoreHasLayout()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("new")) + QStringLiteral("/a/b"));
        IOS6MessageDb db(dir, QString(), false);
        QVERIFY(!db.isOpen());
        QCOMPARE(db.dbPath(), dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/sms.db")));
        QCOMPARE(db.getMessageCount(), 0);
        QVERIFY(QFile::exists(db.dbPath()));
        QCOMPARE(db.version(), 6);
        QVERIFY(!QFile::exists(dir.absoluteFilePath(QStringLiteral("recycle.db"))));

        const QSet<QString> tables = schemaNames(db, QStringLiteral("table"));
        for (const char* t : {"message", "handle", "chat", "attachment", "chat_handle_join", "chat_message_join",
                              "message_attachment_join"})
            QVERIFY2(tables.contains(QLatin1String(t)), t);
        const QSet<QString> indexes = schemaNames(db, QStringLiteral("index"));
        for (const char* i : {"message_idx_handle", "message_idx_logic_hash", "chat_idx_last", "chat_idx_identifier",
                              "chat_message_join_idx_message_id"})
            QVERIFY2(indexes.contains(QLatin1String(i)), i);
        QCOMPARE(schemaNames(db, QStringLiteral("trigger")),
                 (QSet<QString>{QStringLiteral("clean_orphaned_handles2"), QStringLiteral("clean_orphaned_handles"),
                                QStringLiteral("clean_orphaned_messages"), QStringLiteral("clean_orphaned_attachments"),
                                QStringLiteral("set_message_has_attachments"),
                                QStringLiteral("clear_message_has_attachments")}));
        QVERIFY(db.hasItemTypeColumn());

        // Reopening changes nothing.
        const QString before = db.createSql(QStringLiteral("message"));
        db.close();
        IOS6MessageDb again(dir, QString(), true);
        again.open();
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
        auto* only = b.message(chatA, ann, QStringLiteral("only"), 10);
        auto* bob = b.handle(QStringLiteral("+200"), 2);
        auto* chatB = b.chat(QStringLiteral("+200"), {bob});
        b.message(chatB, bob, QStringLiteral("one"), 20);
        b.message(chatB, bob, QStringLiteral("two"), 30);
        {
            ExportMessagesDb w(dir, QString());
            w.begin();
            for (auto& m : b.messages)
                w.write(*m);
            w.end();
        }
        Q_UNUSED(only);
        IOS6MessageDb db(dir, QString(), false);
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
        QCOMPARE(ds->messages.size(), 3);

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
        auto* notice = b.message(chat, h, QString(), 120);
        notice->item_type = 4;
        {
            IOS6MessageDb db(dir, QString(), false);
            QVERIFY(!db.hasItemTypeColumn());
            QCOMPARE(db.findMessageByLogicHash(m), 0);
            const qint64 chatId = db.insertChat(*chat);
            const qint64 msgId = db.insertMessage(*m, 1, 0);
            db.joinChatMessage(chatId, msgId);
            db.updateChatLast(chatId, 100); // no _last column: nothing
            QVERIFY(!db.createSql(QStringLiteral("message")).contains(QLatin1String("logic_hash")));
            QCOMPARE(db.getMessageCount(), 1);
            auto ds = newMsgDataSet();
            db.loadChats(*ds);
            db.loadMessages(*ds, 0);
            QCOMPARE(ds->chats.size(), 1);
            // No _last column: the newest message date is worked out.
            QCOMPARE(ds->chats.begin().value()->_last, 100);
            QCOMPARE(ds->messages.begin().value()->text, QStringLiteral("hello"));
            // The phone's trigger function is there.
            db.executeThrow(QStringLiteral("insert into attachment(guid) values('x')"));
            db.executeThrow(QStringLiteral("delete from attachment"));
        }
        {
            // A notice is skipped by the writer for a store without item_type.
            IOS6MessageDb db(dir, QString(), false);
            db.open();
            QCOMPARE(db.tbInfo(QStringLiteral("message")).contains(QStringLiteral("item_type")), false);
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
        QVERIFY(db.hasItemTypeColumn());
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
        ExportMessagesDb w(dir, QString());
        w.begin();
        for (auto& m : b.messages)
            w.write(*m);
        w.end();
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("message")), 2);
        QCOMPARE(db.getMessageCount(), 1);
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
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
        {
            ExportMessagesDb w(dir, QString());
            w.begin();
            for (auto& m : b.messages)
                w.write(*m);
            w.end();
        }
        IOS6MessageDb db(dir, QString(), false);
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        QCOMPARE(ds->handles.size(), 2);
        const qint64 oneId = db.findChatByGuid(one->guid);
        const qint64 groupId = db.findChatByGuid(group->guid);
        db.loadMessages(*ds, oneId);
        QCOMPARE(ds->messages.size(), 1);
        _MsgMessage* first = ds->messages.begin().value();
        db.loadMessages(*ds, groupId);
        QCOMPARE(ds->messages.size(), 3);
        QVERIFY(ds->messages.values().contains(first));
        QCOMPARE(ds->chats.value(oneId)->messages.size(), 1);
        QCOMPARE(ds->chats.value(groupId)->messages.size(), 2);
        // Shared handle: the same record in both chats.
        _MsgHandle* annLoaded = ds->chats.value(oneId)->handles.values().first();
        QVERIFY(ds->chats.value(groupId)->handles.values().contains(annLoaded));
        QCOMPARE(ds->chats.value(groupId)->last_addressed_handle, QStringLiteral("+100"));
        for (_MsgMessage* m : ds->messages)
            QVERIFY(m->_src_id == m->ROWID && m->_src_id > 0);
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
                              "insert into handle(ROWID,id,service) values(3,'Someone@Mail.COM','SMS');"
                              "insert into chat(ROWID,guid,chat_identifier) values(1,'c1','x');"
                              "insert into chat_handle_join values(1,1),(1,2),(1,3);");
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        QCOMPARE(ds->handles.value(1)->id, QStringLiteral("+8613800138000"));
        QCOMPARE(ds->handles.value(1)->country, QStringLiteral("cn"));
        QCOMPARE(ds->handles.value(2)->id, QStringLiteral("+8613900139000"));
        QCOMPARE(ds->handles.value(3)->id, QStringLiteral("someone@mail.com"));
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
        const QByteArray bookBytes = [&] {
            QFile f(bookPath);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
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
        QVERIFY(cache.isOpen());
        // Two numbers equal after normalisation: one row.
        QCOMPARE(cache.queryInt64Throw(Sqlite3Sql("select count(*) from tel")), 1);
        cache.close();
        const QDateTime cacheTime = QFileInfo(cache.cachePath()).lastModified();
        QCOMPARE(cacheTime, bookTime);

        // The backup's address book is untouched.
        QFile f(bookPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bookBytes);
        f.close();
        QCOMPARE(QFileInfo(bookPath).lastModified(), bookTime);

        // Opening again right after: no rebuild.
        cache.open();
        QVERIFY(cache.isOpen());
        cache.close();
        QCOMPARE(QFileInfo(cache.cachePath()).lastModified(), cacheTime);

        // A -wal file newer than the cache: rebuilt, and stamped with its time.
        QFile wal(bookPath + QStringLiteral("-wal"));
        QVERIFY(wal.open(QIODevice::WriteOnly));
        QVERIFY(wal.setFileTime(cacheTime.addSecs(60), QFileDevice::FileModificationTime));
        wal.close();
        cache.open();
        QVERIFY(cache.isOpen());
        QCOMPARE(QFileInfo(cache.cachePath()).lastModified(), cacheTime.addSecs(60));
        QCOMPARE(IOSContactsMemDb::fullName(cache.findByNumber(QStringLiteral("+8613800138000"))),
                 QStringLiteral("Ann Lee"));
        QCOMPARE(IOSContactsMemDb::fullName(cache.findByNumber(QStringLiteral("+1"))), QString());
    }

    void storeWithoutAddressBookKeepsNames()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("nobook")));
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        db.executeScriptThrow("insert into handle(ROWID,id,service,_ct_name) values(1,'+1','SMS','Kept');"
                              "insert into chat(ROWID,guid) values(1,'c1');"
                              "insert into chat_handle_join values(1,1);");
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        QCOMPARE(ds->handles.value(1)->_ct_name, QStringLiteral("Kept"));
        QVERIFY(!QFile::exists(dir.absoluteFilePath(QStringLiteral("ct-phone.db"))));
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
        auto ds2 = newMsgDataSet();
        ok.loadChats(*ds2);
        ok.loadMessages(*ds2, 0);
        QCOMPARE(ds2->messages.size(), 1);
        QCOMPARE(ds2->messages.begin().value()->text, QString());
        QCOMPARE(ds2->messages.begin().value()->date, 0);
        QVERIFY(ds2->messages.begin().value()->handle == nullptr);
        QVERIFY(!makeLogicHash(ds2->messages.begin().value()).isEmpty());
        QCOMPARE(getMsgPlainText(ds2->messages.begin().value()), QString());
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
        QCOMPARE(db1.queryInt64Throw(Sqlite3Sql("select count(*) from chat")), 0);

        chat->service_name = QStringLiteral("SMS");
        const QDir d2(testsupport::makeTempDir(QStringLiteral("chat2")));
        IOS6MessageDb db2(d2, QString(), false);
        db1.insertChat(*chat);
        db2.insertChat(*chat);
        const Sqlite3Sql q("select group_id from chat");
        Sqlite3Cursor c1 = db1.queryThrow(q);
        Sqlite3Cursor c2 = db2.queryThrow(q);
        QVERIFY(c1.moveNext() && c2.moveNext());
        QCOMPARE(c1.getText(0), makeGuidFromData(chat->guid.toUtf8()));
        QCOMPARE(c1.getText(0), c2.getText(0));
    }
};

QTEST_GUILESS_MAIN(TestMessageStore)
#include "test_messagestore.moc"
