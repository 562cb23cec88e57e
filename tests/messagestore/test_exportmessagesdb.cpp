#include "messagestore/exportmessagesdb.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
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
        QCOMPARE(list[2]->item_type, 1);
        QVERIFY(list[2]->otherHandle && list[2]->otherHandle->id == QStringLiteral("bob@example.com"));
        QCOMPARE(getMsgSummary(list[2]).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Ann Added bob@example.com to the conversation."));
        // The logic hash survives the round trip.
        QCOMPARE(makeLogicHash(list[1]), makeLogicHash(m2));

        _MsgAttachment* a = getAttachments(list[1]).value(0);
        QVERIFY(a);
        QCOMPARE(a->filename, att->filename);
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
        QCOMPARE(count(db, QStringLiteral("chat_handle_join")), 1);
        QCOMPARE(db.findMessageByLogicHash(m), db.findMessageByGuid(storedGuid));
    }

    void writerReusableAfterEnd()
    {
        // end() closes the store; the next begin() reopens it.
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
        w.begin();
        w.write(*first);
        w.write(*second);
        w.end();
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(db.getMessageCount(), 2);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select _last from chat")), 2);
    }

    void chatBringsAllHandlesAndOrphansAreSkipped()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("handles")));
        MsgBuilder b;
        auto* a = b.handle(QStringLiteral("+1"), 1);
        auto* chat = b.chat(QStringLiteral("g"), {a, b.handle(QStringLiteral("+2"), 2), b.handle(QStringLiteral("+3"), 3)});
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

        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.end();
        QCOMPARE(w.skippedAttachmentCopies(), 2); // the two escapes; the missing source is a failed copy

        // The colon is dropped from the copy's path; the row keeps it.
        QVERIFY(QFile::exists(dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/ab/xy.jpg"))));
        QVERIFY(!QFile::exists(base + QStringLiteral("/escape.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("/etc/escape2.txt")));

        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("attachment")), 4);
        QCOMPARE(count(db, QStringLiteral("message_attachment_join")), 4);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from attachment where filename like '%a:b/x:y.jpg'")), 1);

        QCOMPARE(IOS6MessageDb::storeRelativePath(QStringLiteral("/var/mobile/Media/x.png")),
                 QStringLiteral("var/mobile/Media/x.png"));
        QCOMPARE(IOS6MessageDb::storeRelativePath(QStringLiteral("..")), QString());
        QCOMPARE(IOS6MessageDb::storeRelativePath(QStringLiteral("~/a\\..\\..\\b")), QStringLiteral("var/mobile/a....b"));
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
        IOS6MessageDb db(dir, QString(), false);
        makePlainStore(db.dbPath());
        QVERIFY(!db.hasItemTypeColumn());
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* chat = b.chat(QStringLiteral("+1"), {h});
        b.message(chat, h, QString(), 5)->item_type = 4;
        b.message(chat, h, QStringLiteral("kept"), 6);
        writeAll(dir, b); // the writer migrates: the notice is kept
        db.close();
        db.open();
        QVERIFY(db.hasItemTypeColumn());
        QCOMPARE(count(db, QStringLiteral("message")), 2);
        QCOMPARE(db.getMessageCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExportMessagesDb)
#include "test_exportmessagesdb.moc"
