#include "messagestore/exportmessagesdb.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

qint64 count(Sqlite3DB& db, const QString& table)
{
    return db.queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from %1").arg(table)));
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

void writeAll(const QDir& dir, const MsgBuilder& b)
{
    ExportMessagesDb w(dir, QString());
    w.begin();
    for (const auto& m : b.messages)
        w.write(*m);
    w.end();
}

} // namespace

class TestExportMessagesDb : public QObject {
    Q_OBJECT
private slots:
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
        auto* m1 = b.message(chat, ann, QStringLiteral("hello"), 100);
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
        Q_UNUSED(m1);
        writeAll(dir, b);

        IOS6MessageDb db(dir, QString(), false);
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
        QCOMPARE(ds->chats.size(), 1);
        QCOMPARE(ds->handles.size(), 2);
        QCOMPARE(ds->messages.size(), 3);
        QCOMPARE(ds->attachments.size(), 1);
        _MsgChat* c = ds->chats.begin().value();
        QCOMPARE(c->display_name, QStringLiteral("Friends"));
        QCOMPARE(c->_last, 300);
        QCOMPARE(c->handles.size(), 2);
        QCOMPARE(c->messages.size(), 3);

        MsgMessageList list = getDataSetMessages(*ds);
        sortMessages(list);
        QCOMPARE(list[0]->text, QStringLiteral("hello"));
        QCOMPARE(list[0]->handle->id, QStringLiteral("+100"));
        QCOMPARE(list[0]->handle->_ct_name, QStringLiteral("Ann"));
        QCOMPARE(list[1]->subject, QStringLiteral("subj"));
        QVERIFY(list[1]->handle == nullptr);
        QCOMPARE(list[1]->cache_has_attachments, 1);
        QCOMPARE(list[1]->attributedBody, m2->attributedBody);
        QCOMPARE(list[2]->item_type, 1);
        QVERIFY(list[2]->otherHandle && list[2]->otherHandle->id == QStringLiteral("bob@example.com"));
        QCOMPARE(getMsgSummary(list[2]).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Ann Added bob@example.com to the conversation."));
        // The logic hash survives the round trip.
        QCOMPARE(makeLogicHash(list[1]), makeLogicHash(m2));

        _MsgAttachment* a = getAttachments(list[1]).value(0);
        QVERIFY(a);
        QCOMPARE(a->filename, att->filename);
        QCOMPARE(a->transfer_name, QStringLiteral("photo.jpg"));
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
        writeAll(dir, b);
        const QString storedGuid = m->guid;
        m->guid = newMsgGuid(); // a producer made a new guid: found by its logic hash
        writeAll(dir, b);

        // Same guid, other content: not written again either.
        MsgBuilder b2;
        auto* h2 = b2.handle(QStringLiteral("+100"), 1);
        auto* chat2 = b2.chat(QStringLiteral("+100"), {h2});
        auto* other = b2.message(chat2, h2, QStringLiteral("changed"), 999);
        other->guid = storedGuid;
        writeAll(dir, b2);

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("message")), 1);
        QCOMPARE(count(db, QStringLiteral("chat_message_join")), 1);
        QCOMPARE(count(db, QStringLiteral("chat")), 1);
        QCOMPARE(count(db, QStringLiteral("handle")), 1);
        QCOMPARE(count(db, QStringLiteral("chat_handle_join")), 1);
        QCOMPARE(db.findMessageByLogicHash(m), db.findMessageByGuid(storedGuid));
    }

    void writerReusableAfterEnd()
    {
        // end() closes the store; the next begin() reopens it with fresh
        // statements.
        const QDir dir(testsupport::makeTempDir(QStringLiteral("reuse")));
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* chat = b.chat(QStringLiteral("+1"), {h});
        auto* first = b.message(chat, h, QStringLiteral("1"), 1);
        auto* second = b.message(chat, h, QStringLiteral("2"), 2);
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*first);
        w.end();
        QVERIFY(!w.store().isOpen());
        w.begin();
        w.write(*first);
        w.write(*second);
        w.end();
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(db.getMessageCount(), 2);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select _last from chat")), 2);
    }

    void chatBringsAllHandles()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("handles")));
        MsgBuilder b;
        auto* a = b.handle(QStringLiteral("+1"), 1);
        auto* c = b.handle(QStringLiteral("+2"), 2);
        auto* d = b.handle(QStringLiteral("+3"), 3);
        auto* chat = b.chat(QStringLiteral("g"), {a, c, d});
        b.message(chat, a, QStringLiteral("x"), 1);
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("handle")), 3);
        QCOMPARE(count(db, QStringLiteral("chat_handle_join")), 3);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from chat where last_addressed_handle='+1'")), 1);
    }

    void skippedMessages()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("skipped")));
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* unknown = b.chat(QStringLiteral("u"), {h});
        unknown->ROWID = -2047483647;
        b.message(nullptr, h, QStringLiteral("no chat"), 1);
        b.message(unknown, h, QStringLiteral("unknown chat"), 2);
        writeAll(dir, b);
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("message")), 0);
        QCOMPARE(count(db, QStringLiteral("chat")), 0);
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

        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.end();
        QCOMPARE(w.skippedAttachmentCopies(), 2);

        // The colon is dropped from the copy's path; the row keeps it.
        QVERIFY(QFile::exists(dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/ab/xy.jpg"))));
        QVERIFY(!QFile::exists(base + QStringLiteral("/escape.txt")));
        QVERIFY(!QFile::exists(dir.absoluteFilePath(QStringLiteral("escape.txt"))));
        QVERIFY(!QFile::exists(QStringLiteral("/etc/escape2.txt")));

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("attachment")), 4);
        QCOMPARE(count(db, QStringLiteral("message_attachment_join")), 4);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from attachment where filename like '%a:b/x:y.jpg'")), 1);

        QCOMPARE(IOS6MessageDb::storeRelativePath(QStringLiteral("/var/mobile/Media/x.png")),
                 QStringLiteral("var/mobile/Media/x.png"));
        QCOMPARE(IOS6MessageDb::storeRelativePath(QStringLiteral("..")), QString());
        QCOMPARE(IOS6MessageDb::storeRelativePath(QString()), QString());
        QCOMPARE(IOS6MessageDb::storeRelativePath(QStringLiteral("~/a\\..\\..\\b")), QStringLiteral("var/mobile/a....b"));
        // Loading maps a refused path to no local path at all.
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
        int empty = 0;
        for (_MsgAttachment* a : ds->attachments) {
            if (a->localPath.isEmpty())
                ++empty;
            else
                QVERIFY(a->localPath.startsWith(dir.absoluteFilePath(QStringLiteral("file-relay/"))));
        }
        QCOMPARE(empty, 2);
    }

    void existingTargetIsNotOverwritten()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("keep"));
        const QDir dir(base + QStringLiteral("/store"));
        const QString target = writeFile(
            dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/k.jpg")), "OLD");
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* m = b.message(b.chat(QStringLiteral("+1"), {h}), h, QString(), 1);
        b.attach(m, 1, QStringLiteral("~/Library/SMS/Attachments/k.jpg"),
                 writeFile(base + QStringLiteral("/in/k.jpg"), "NEW"));
        writeAll(dir, b);
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("OLD"));
    }

    void writerMigratesOldStore()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("noitemtype")));
        {
            IOS6MessageDb probe(dir, QString(), false);
            QDir().mkpath(QFileInfo(probe.dbPath()).absolutePath());
            Sqlite3DB raw;
            raw.openThrow(probe.dbPath(), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            raw.executeScriptThrow(
                "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT,"
                " replace INTEGER, service_center TEXT, handle_id INTEGER, subject TEXT, country TEXT, attributedBody "
                "BLOB, version INTEGER, type INTEGER, service TEXT, account TEXT, account_guid TEXT, error INTEGER, "
                "date INTEGER, date_read INTEGER, date_delivered INTEGER, is_delivered INTEGER, is_finished INTEGER, "
                "is_emote INTEGER, is_from_me INTEGER, is_empty INTEGER, is_delayed INTEGER, is_auto_reply INTEGER, "
                "is_prepared INTEGER, is_read INTEGER, is_system_message INTEGER, is_sent INTEGER, has_dd_results "
                "INTEGER, is_service_message INTEGER, is_forward INTEGER, was_downgraded INTEGER, is_archive INTEGER, "
                "cache_has_attachments INTEGER, cache_roomnames TEXT, was_data_detected INTEGER, was_deduplicated "
                "INTEGER);"
                "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER,"
                " state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, room_name "
                "TEXT, account_login TEXT, is_archived INTEGER, last_addressed_handle TEXT);"
                "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT,"
                " service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));"
                "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL);"
                "CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER, UNIQUE(chat_id, handle_id));"
                "CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER, PRIMARY KEY (chat_id, "
                "message_id));"
                "CREATE TABLE message_attachment_join (message_id INTEGER, attachment_id INTEGER);");
        }
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* chat = b.chat(QStringLiteral("+1"), {h});
        auto* n = b.message(chat, h, QString(), 5);
        n->item_type = 4;
        b.message(chat, h, QStringLiteral("kept"), 6);
        // The writer migrates the store when it first touches it, so an old
        // store gains item_type and keeps the notice.
        IOS6MessageDb db(dir, QString(), false);
        QVERIFY(!db.hasItemTypeColumn());
        ExportMessagesDb w(dir, QString());
        w.begin();
        for (const auto& m : b.messages)
            w.write(*m);
        w.end();
        // The writer migrates: the store gained item_type and both messages.
        db.close();
        db.open();
        QVERIFY(db.hasItemTypeColumn());
        QCOMPARE(count(db, QStringLiteral("message")), 2);
        QCOMPARE(db.getMessageCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExportMessagesDb)
#include "test_exportmessagesdb.moc"
