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

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
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
                                "clean_orphaned_attachments", "set_message_has_attachments",
                                "clear_message_has_attachments"}));
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
        db.executeScriptThrow("insert into handle(ROWID,id,service) values(1,'+1','SMS');"
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
        b.message(group, ann, QString(), 40)->item_type = 4; // a location notice: neither counted nor loaded
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(db.getMessageCount(), 3);
        QCOMPARE(count(db, QStringLiteral("message")), 4);
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
        QCOMPARE(ds->chats.value(groupId)->_last, 40);
        // Shared handle: the same record in both chats.
        _MsgHandle* annLoaded = ds->chats.value(oneId)->handles.values().first();
        QVERIFY(ds->chats.value(groupId)->handles.values().contains(annLoaded));
        QCOMPARE(ds->chats.value(groupId)->last_addressed_handle, QStringLiteral("+100"));
    }

    void addressBookCacheIsReadOnlyAndRebuiltWhenNewer()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("addressbook")));
        const QString bookPath
            = dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/AddressBook/AddressBook.sqlitedb"));
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
        db.executeScriptThrow("insert into handle(ROWID,id,service,_ct_name) values(1,'138 0013 8000','SMS','old');"
                              "insert into handle(ROWID,id,service) values(3,'Someone@Mail.COM','SMS');"
                              "insert into chat(ROWID,guid,chat_identifier) values(1,'c1','x');"
                              "insert into chat_handle_join values(1,1),(1,3);");
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        // Handles are normalised with the current country, in memory only.
        QCOMPARE(ds->handles.value(1)->id, QStringLiteral("+8613800138000"));
        QCOMPARE(ds->handles.value(1)->_ct_name, QStringLiteral("Ann Lee"));
        QCOMPARE(ds->handles.value(3)->id, QStringLiteral("someone@mail.com"));
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from handle where id='138 0013 8000'")), 1);

        IOSContactsMemDb& cache = db.contactsDb();
        // Two numbers equal after normalisation: one row.
        QCOMPARE(cache.queryInt64Throw(Sqlite3Sql("select count(*) from tel")), 1);
        QCOMPARE(QFileInfo(cache.cachePath()).lastModified(), bookTime); // stamped with the book's time

        // The backup's address book is untouched.
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.readAll(), bookBytes);
        book.close();

        QCOMPARE(IOSContactsMemDb::fullName(cache.findByNumber(QStringLiteral("+8613800138000"))),
                 QStringLiteral("Ann Lee"));
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

    // The writer.
    void roundTripThroughDataSet()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("roundtrip"));
        const QDir dir(base + QStringLiteral("/store"));
        MsgBuilder b;
        auto* ann = b.handle(QStringLiteral("+100"), 1);
        ann->_ct_name = QStringLiteral("Ann");
        auto* bob = b.handle(QStringLiteral("bob@example.com"), 2);
        bob->service = QStringLiteral("iMessage");
        auto* chat = b.chat(QStringLiteral("group"), {ann, bob});
        chat->display_name = QStringLiteral("Friends");
        b.message(chat, ann, QStringLiteral("hello"), 100);
        auto* m2 = b.message(chat, nullptr, QStringLiteral("pic"), 200);
        m2->is_from_me = 1;
        m2->subject = QStringLiteral("subj");
        const QString src = writeFile(base + QStringLiteral("/in/photo.jpg"), "JPEGDATA");
        auto* att = b.attach(m2, 5, QStringLiteral("~/Library/SMS/Attachments/ab/cd/photo.jpg"), src);
        att->transfer_name = QStringLiteral("photo.jpg");
        att->total_bytes = 8;
        m2->attributedBody = makeAttributedBody(att->guid);
        auto* added = b.message(chat, ann, QString(), 300);
        added->item_type = 1;
        added->otherHandle = bob;
        writeAll(dir, b);

        IOS6MessageDb db(dir, QString(), false);
        auto ds = loadAll(db);
        QCOMPARE(ds->chats.size(), 1);
        QCOMPARE(ds->attachments.size(), 1);
        _MsgChat* c = ds->chats.begin().value();
        QCOMPARE(c->display_name, QStringLiteral("Friends"));
        QCOMPARE(c->_last, 300);
        QCOMPARE(c->handles.size(), 2);
        QCOMPARE(c->messages.size(), 3);

        MsgMessageList list = getDataSetMessages(*ds);
        sortMessages(list);
        QCOMPARE(list[0]->text, QStringLiteral("hello"));
        QCOMPARE(list[0]->handle->_ct_name, QStringLiteral("Ann"));
        QCOMPARE(list[1]->subject, QStringLiteral("subj"));
        QVERIFY(list[1]->handle == nullptr);
        QCOMPARE(list[1]->attributedBody, m2->attributedBody);
        QVERIFY(list[2]->otherHandle && list[2]->otherHandle->id == QStringLiteral("bob@example.com"));
        QCOMPARE(getMsgSummary(list[2]).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Ann Added bob@example.com to the conversation."));
        // The logic hash survives the round trip.
        QCOMPARE(makeLogicHash(list[1]), makeLogicHash(m2));

        _MsgAttachment* a = getAttachments(list[1]).value(0);
        QVERIFY(a);
        QCOMPARE(a->total_bytes, 8);
        QCOMPARE(a->localPath,
                 dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/ab/cd/photo.jpg")));
        QFile copied(a->localPath);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), QByteArray("JPEGDATA"));
    }

    void sameMessageTwiceLeavesOneRow()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("twice")));
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+100"), 1);
        auto* chat = b.chat(QStringLiteral("+100"), {h});
        auto* m = b.message(chat, h, QStringLiteral("same"), 100);
        auto* sameGuid = b.message(chat, h, QStringLiteral("changed"), 999);
        auto* second = b.message(chat, h, QStringLiteral("2"), 200);
        const QString storedGuid = m->guid;
        sameGuid->guid = storedGuid; // same guid, other content: not written again
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.end(); // closes the store; the next begin() reopens it
        m->guid = newMsgGuid(); // a producer made a new guid: found by its logic hash
        w.begin();
        w.write(*m);
        w.write(*sameGuid);
        w.write(*second);
        w.end();

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("message")), 2);
        QCOMPARE(count(db, QStringLiteral("chat_message_join")), 2);
        QCOMPARE(count(db, QStringLiteral("chat_handle_join")), 1);
        QCOMPARE(db.findMessageByLogicHash(m), db.findMessageByGuid(storedGuid));
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select _last from chat")), 200);
    }

    void chatBringsAllHandlesAndOrphansAreSkipped()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("handles")));
        MsgBuilder b;
        auto* a = b.handle(QStringLiteral("+1"), 1);
        auto* chat
            = b.chat(QStringLiteral("g"), {a, b.handle(QStringLiteral("+2"), 2), b.handle(QStringLiteral("+3"), 3)});
        b.message(chat, a, QStringLiteral("x"), 1);
        auto* unknown = b.chat(QStringLiteral("u"), {a});
        unknown->ROWID = -2047483647;
        b.message(nullptr, a, QStringLiteral("no chat"), 1);
        b.message(unknown, a, QStringLiteral("unknown chat"), 2);
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("message")), 1);
        QCOMPARE(count(db, QStringLiteral("chat_handle_join")), 3);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from chat where last_addressed_handle='+1'")), 1);
    }

    void attachmentPathsStayInsideTheStore()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("paths"));
        const QDir dir(base + QStringLiteral("/store"));
        const QString src = writeFile(base + QStringLiteral("/in/data.bin"), "DATA");
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* chat = b.chat(QStringLiteral("+1"), {h});
        auto* m = b.message(chat, h, QStringLiteral("files"), 1);
        b.attach(m, 1, QStringLiteral("~/Library/SMS/Attachments/a:b/x:y.jpg"), src);
        b.attach(m, 2, QStringLiteral("~/Library/SMS/Attachments/../../../../../escape.txt"), src);
        b.attach(m, 3, QStringLiteral("//etc/escape2.txt"), src);
        b.attach(m, 4, QStringLiteral("~/Library/SMS/Attachments/missing.jpg"), base + QStringLiteral("/in/none.bin"));
        const QString kept = writeFile( // an existing target is not overwritten
            dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/k.jpg")), "OLD");
        b.attach(m, 5, QStringLiteral("~/Library/SMS/Attachments/k.jpg"), src);

        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.end();
        QCOMPARE(w.skippedAttachmentCopies(), 2); // the two escapes; the missing source is a failed copy

        // The colon is dropped from the copy's path; the row keeps it.
        QVERIFY(QFile::exists(
            dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/ab/xy.jpg"))));
        QVERIFY(!QFile::exists(base + QStringLiteral("/escape.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("/etc/escape2.txt")));
        QFile f(kept);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("OLD"));

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("attachment")), 5);
        QCOMPARE(count(db, QStringLiteral("message_attachment_join")), 5);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from attachment where filename like '%a:b/x:y.jpg'")),
                 1);
        // Loading maps a refused path to no local path at all.
        auto ds = loadAll(db);
        int empty = 0;
        for (_MsgAttachment* a : ds->attachments) {
            if (a->localPath.isEmpty())
                ++empty;
            else
                QVERIFY(a->localPath.startsWith(dir.absoluteFilePath(QStringLiteral("file-relay/"))));
        }
        QCOMPARE(empty, 2);
    }
};

QTEST_GUILESS_MAIN(TestMessageStore)
#include "test_messagestore.moc"
