#include "messagestore/msgrecords.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

struct Fixture {
    std::vector<std::unique_ptr<_MsgMessage>> messages;
    std::vector<std::unique_ptr<_MsgAttachment>> attachments;

    _MsgMessage* msg(int date, qint64 src = 0)
    {
        messages.push_back(std::make_unique<_MsgMessage>());
        messages.back()->date = date;
        messages.back()->_src_id = src;
        messages.back()->ROWID = qint64(messages.size());
        return messages.back().get();
    }
    _MsgAttachment* attach(_MsgMessage* m, qint64 rowid, const QString& filename, const QString& mime = {})
    {
        attachments.push_back(std::make_unique<_MsgAttachment>());
        auto* a = attachments.back().get();
        a->ROWID = rowid;
        a->filename = filename;
        a->mime_type = mime;
        m->attachments.insert(QString::number(rowid), a);
        return a;
    }
};

QList<qint64> srcIds(const MsgMessageList& list)
{
    QList<qint64> out;
    for (auto* m : list)
        out << m->_src_id;
    return out;
}

} // namespace

class TestMsgRecords : public QObject {
    Q_OBJECT
private slots:
    void logicHashIgnoresAttachmentCaseAndOrder()
    {
        Fixture f;
        _MsgHandle h;
        h.id = QStringLiteral("+8613800138000");
        auto* a = f.msg(1000);
        auto* b = f.msg(1000);
        a->handle = b->handle = &h;
        a->text = QStringLiteral("hi") + QChar(0xFFFC);
        b->text = QStringLiteral("hi");
        f.attach(a, 1, QStringLiteral("~/Library/SMS/Attachments/ab/IMG_1.JPG"));
        f.attach(a, 2, QStringLiteral("/var/mobile/x/b.png"));
        f.attach(b, 7, QStringLiteral("~/Library/SMS/Attachments/zz/b.png"));
        f.attach(b, 3, QStringLiteral("~/Library/SMS/Attachments/cd/img_1.jpg"));
        QCOMPARE(makeLogicHash(a), makeLogicHash(b));
        b->is_from_me = 1;
        QVERIFY(makeLogicHash(a) != makeLogicHash(b));
    }

    void logicHashLayout()
    {
        // Without a sender the date bytes come first.
        _MsgMessage m;
        m.date = 0x01020304;
        m.is_from_me = 0x101; // only the low byte counts
        m.text = QStringLiteral("x");
        const QByteArray bytes = QByteArray("\x04\x03\x02\x01", 4) + QByteArray(1, '\x01') + QByteArray("x");
        QCOMPARE(makeLogicHash(&m), QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));

        // A notice hashes its guid alone.
        _MsgMessage left1;
        left1.item_type = 3;
        left1.guid = QStringLiteral("G1");
        QCOMPARE(makeLogicHash(&left1),
                 QString::fromLatin1(QCryptographicHash::hash("G1", QCryptographicHash::Md5).toHex()));
    }

    void guidsAndAttributedBody()
    {
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")).match(newMsgGuid()).hasMatch());
        QCOMPARE(makeGuidFromData("abc"), QStringLiteral("90015098-3CD2-4FB0-D696-3F7D28E17F72"));
        const QString guid = QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF");
        const QByteArray body = makeAttributedBody(guid);
        QCOMPARE(body.size(), 200 + 36 + 72);
        QVERIFY(body.startsWith(QByteArray("\x04\x0bstreamtyped", 13)));
        QCOMPARE(body.mid(199, 37), QByteArray("\x24") + guid.toLatin1());
        QVERIFY(body.contains("__kIMFileTransferGUIDAttributeName"));
    }

    void sortKeepsCloseRunsBySource()
    {
        Fixture f;
        // 100 s apart, rowids 5 apart: by rowid even though the smaller rowid is newer.
        MsgMessageList l = {f.msg(200, 5), f.msg(100, 10)};
        sortMessages(l);
        QCOMPARE(srcIds(l), (QList<qint64>{5, 10}));
        // 21 rowids apart: by date.
        l = {f.msg(200, 5), f.msg(100, 26)};
        sortMessages(l);
        QCOMPARE(srcIds(l), (QList<qint64>{26, 5}));
        l = {f.msg(221, 5), f.msg(100, 10)}; // 121 seconds apart: by date
        sortMessages(l);
        QCOMPARE(srcIds(l), (QList<qint64>{10, 5}));
        // Built by a producer (no source id), or flagged: by date.
        l = {f.msg(200, 0), f.msg(100, 0)};
        l[0]->ROWID = 1;
        l[1]->ROWID = 2;
        sortMessages(l);
        QCOMPARE(l[0]->date, 100);
        auto* flagged = f.msg(200, 5);
        flagged->_src_flag = true;
        l = {flagged, f.msg(100, 10)};
        sortMessages(l);
        QCOMPARE(l[0]->date, 100);
        // Newest first is the reverse.
        l = {f.msg(200, 5), f.msg(100, 10), f.msg(1000, 100)};
        sortMessages(l, true);
        QCOMPARE(srcIds(l), (QList<qint64>{100, 10, 5}));
    }

    void orderIsConsistent()
    {
        // The messages of the fault report: A<B<C<A under the old rule.
        Fixture f;
        auto* a = f.msg(100, 1);
        auto* b = f.msg(0, 21);
        auto* c = f.msg(50, 41);
        MsgMessageList l = {a, b, c};
        MsgMessageList reference = l;
        sortMessages(reference);
        std::sort(l.begin(), l.end());
        do {
            MsgMessageList p = l;
            sortMessages(p);
            QCOMPARE(p, reference); // the same whatever the input order
        } while (std::next_permutation(l.begin(), l.end()));

        // msgLessThan is a strict weak order and msgGreaterThan its mirror.
        auto* rng = QRandomGenerator::global();
        MsgMessageList many;
        for (int i = 0; i < 60; ++i)
            many << f.msg(int(rng->bounded(400)), rng->bounded(2) ? qint64(rng->bounded(60)) : 0);
        for (auto* x : many) {
            QVERIFY(!msgLessThan(x, x));
            for (auto* y : many) {
                QCOMPARE(msgGreaterThan(x, y), msgLessThan(y, x));
                if (msgLessThan(x, y))
                    QVERIFY(!msgLessThan(y, x));
                for (auto* z : many) {
                    if (msgLessThan(x, y) && msgLessThan(y, z))
                        QVERIFY(msgLessThan(x, z));
                }
            }
        }
        MsgMessageList sorted = many;
        sortMessages(sorted);
        std::reverse(many.begin(), many.end());
        sortMessages(many);
        QCOMPARE(srcIds(sorted), srcIds(many));
    }

    void titles()
    {
        _MsgChat chat;
        QCOMPARE(getChatTitle(&chat, true), QStringLiteral("Unknown"));
        _MsgHandle h1, h2;
        h1.ROWID = 1;
        h1.id = QStringLiteral("+100");
        h1._ct_name = QStringLiteral("Ann");
        h2.ROWID = 2;
        h2.id = QStringLiteral("+200");
        h2._ct_name = QStringLiteral("Bob");
        chat.handles.insert(QStringLiteral("1"), &h1);
        chat.handles.insert(QStringLiteral("2"), &h2);
        QCOMPARE(getChatTitle(&chat, false), QStringLiteral("Ann, Bob"));
        _MsgMessage m;
        m.chat = &chat;
        m.handle = &h2;
        QCOMPARE(getMsgChatTitle(&m), QStringLiteral("Ann (+100), Bob (+200) (Bob)"));
        chat.display_name = QStringLiteral("Team");
        h2._ct_name.clear();
        QCOMPARE(getMsgChatTitle(&m), QStringLiteral("Team (+200)"));
    }

    void summaries()
    {
        Fixture f;
        auto* m = f.msg(0);
        m->text = QStringLiteral("look") + QChar(0xFFFC) + QChar(0x2714);
        f.attach(m, 1, QStringLiteral("a.jpg"), QStringLiteral("IMAGE/JPEG"));
        QCOMPARE(getMsgSummary(m), QStringLiteral("look") + QChar(0x2714) + QStringLiteral(" [IMAGE]"));
        QCOMPARE(getMsgPlainText(m), QStringLiteral("look[EMOJI] [IMAGE]"));
        QCOMPARE(removeObjReplacementChars(m), QStringLiteral("look") + QChar(0x2714));

        _MsgHandle h;
        h.id = QStringLiteral("+100");
        auto* left = f.msg(0);
        left->item_type = 3;
        left->handle = &h;
        const QString date = dateFromIosTime(0).toString(QStringLiteral("dd MMM yyyy h:m AP"));
        QCOMPARE(getMsgSummary(left), QStringLiteral("+100 left the conversation.\n") + date);
        QCOMPARE(getMsgSummary(f.msg(0)), QString()); // a NULL text reads as empty
    }

    void groupsAndOrderHelpers()
    {
        auto ds = newMsgDataSet();
        auto add = [&](qint64 id, const QString& ident, int last) {
            auto* c = new _MsgChat;
            c->ROWID = id;
            c->chat_identifier = ident;
            c->_last = last;
            ds->chats.insert(id, c);
        };
        add(1, QStringLiteral("+1"), 10);
        add(2, QStringLiteral("+1"), 30);
        add(3, QStringLiteral("+2"), 20);
        QList<MsgChatGroup> groups = mergeChatsByIdentifier(*ds);
        QCOMPARE(groups.size(), 2);
        std::sort(groups.begin(), groups.end(), intGreaterEqual);
        QCOMPARE(groups[0].last, 30);
        QCOMPARE(groups[0].chats.size(), 2);
        QVERIFY(!intGreaterEqual(groups[0], groups[0]));
    }

    void thumbnailMadeOncePerSourcePath()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("thumb"));
        QVERIFY(QDir(dir).mkpath(QStringLiteral("a")) && QDir(dir).mkpath(QStringLiteral("b")));
        QImage img(300, 150, QImage::Format_RGB32);
        img.fill(Qt::red);
        _MsgAttachment a, b;
        a.localPath = dir + QStringLiteral("/a/pic.png");
        b.localPath = dir + QStringLiteral("/b/pic.png"); // same file name, other folder
        QVERIFY(img.save(a.localPath, "PNG") && img.save(b.localPath, "PNG"));
        const QString thumb = getAttachmentThumbnail(&a);
        QImage t;
        QVERIFY(t.load(thumb, "PNG"));
        QCOMPARE(t.size(), QSize(120, 60));
        const QString other = getAttachmentThumbnail(&b);
        QVERIFY(other != thumb && QFile::exists(other));

        // The source changes: the existing thumbnail is returned as it is.
        QVERIFY(QImage(50, 200, QImage::Format_RGB32).save(a.localPath, "PNG"));
        QCOMPARE(getAttachmentThumbnail(&a), thumb);
        QVERIFY(t.load(thumb, "PNG"));
        QCOMPARE(t.size(), QSize(120, 60));

        _MsgAttachment junk; // not a picture: no file is made
        junk.localPath = dir + QStringLiteral("/junk.bin");
        QFile j(junk.localPath);
        QVERIFY(j.open(QIODevice::WriteOnly) && j.write("nothing") > 0);
        j.close();
        QVERIFY(!QFile::exists(getAttachmentThumbnail(&junk)));
    }
};

QTEST_GUILESS_MAIN(TestMsgRecords)
#include "test_msgrecords.moc"
