#include "messagestore/emoji.h"
#include "messagestore/msgrecords.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
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

QString codeOnly(void*, QString code)
{
    return QLatin1Char('<') + code + QLatin1Char('>');
}

// Replacement text that itself looks like an emoji: must not be searched again.
QString emojiBack(void*, QString)
{
    return QString(QChar(0xE001));
}

QString fromUnits(std::initializer_list<char16_t> units)
{
    QString s;
    for (char16_t u : units)
        s += QChar(u);
    return s;
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

    void storedLayouts()
    {
        // Without a sender the date bytes come first.
        _MsgMessage m;
        m.date = 0x01020304;
        m.is_from_me = 0x101; // only the low byte counts
        m.text = QStringLiteral("x");
        const QByteArray bytes = QByteArray("\x04\x03\x02\x01", 4) + QByteArray(1, '\x01') + QByteArray("x");
        QCOMPARE(makeLogicHash(&m),
                 QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));

        // A notice hashes its guid alone.
        _MsgMessage left1;
        left1.item_type = 3;
        left1.guid = QStringLiteral("G1");
        QCOMPARE(makeLogicHash(&left1),
                 QString::fromLatin1(QCryptographicHash::hash("G1", QCryptographicHash::Md5).toHex()));

        // Guids from data and the attributed body keep the phone's layout.
        QCOMPARE(makeGuidFromData("abc"), QStringLiteral("90015098-3CD2-4FB0-D696-3F7D28E17F72"));
        const QString guid = QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF");
        const QByteArray body = makeAttributedBody(guid);
        QCOMPARE(body.size(), 200 + 36 + 72);
        QVERIFY(body.startsWith(QByteArray("\x04\x0bstreamtyped", 13)));
        QCOMPARE(body.mid(199, 37), QByteArray("\x24") + guid.toLatin1());
    }

    void sortKeepsCloseRunsBySource()
    {
        // {date, source id} of two messages, and the date sorted first.
        struct Case {
            int d1;
            qint64 s1;
            int d2;
            qint64 s2;
            bool flagged;
            int first;
        };
        const Case cases[] = {
            {200, 5, 100, 10, false, 200}, // 100 s apart, rowids 5 apart: by rowid although newer
            {200, 5, 100, 26, false, 100}, // 21 rowids apart: by date
            {221, 5, 100, 10, false, 100}, // 121 seconds apart: by date
            {200, 0, 100, 0, false, 100}, // built by a producer (no source id): by date
            {200, 5, 100, 10, true, 100}, // flagged: by date
        };
        for (const Case& c : cases) {
            Fixture f;
            MsgMessageList l = {f.msg(c.d1, c.s1), f.msg(c.d2, c.s2)};
            l[0]->_src_flag = c.flagged;
            sortMessages(l);
            QCOMPARE(l[0]->date, c.first);
        }
        Fixture f; // newest first is the reverse
        MsgMessageList l = {f.msg(200, 5), f.msg(100, 10), f.msg(1000, 100)};
        sortMessages(l, true);
        QCOMPARE(srcIds(l), (QList<qint64> {100, 10, 5}));
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
    }

    void summariesAndPlaceholders()
    {
        Fixture f;
        auto* m = f.msg(0);
        m->text = QStringLiteral("look") + QChar(0xFFFC) + QChar(0x2714);
        f.attach(m, 1, QStringLiteral("a.jpg"), QStringLiteral("IMAGE/JPEG"));
        QCOMPARE(getMsgSummary(m), QStringLiteral("look") + QChar(0x2714) + QStringLiteral(" [IMAGE]"));
        QCOMPARE(getMsgPlainText(m), QStringLiteral("look[EMOJI] [IMAGE]"));
        QCOMPARE(removeObjReplacementChars(m), QStringLiteral("look") + QChar(0x2714));
        QCOMPARE(
            ::replaceEmoji(QStringLiteral("ok ") + fromUnits({0x2714, 0xD83D, 0xDE04}), emojiToPlaceholder, nullptr),
            QStringLiteral("ok [EMOJI][EMOJI]"));
        // Any unit follows a high surrogate, even a line feed.
        QCOMPARE(::replaceEmoji(fromUnits({0xD83D, u'\n'}), emojiToPlaceholder, nullptr), QStringLiteral("[EMOJI]"));
        QCOMPARE(::replaceEmoji(fromUnits({0xE000, 0xE000}), emojiBack, nullptr), fromUnits({0xE001, 0xE001}));
        QCOMPARE(::replaceEmoji(fromUnits({0xD83D, 0xE001}), emojiToPlaceholder, nullptr), QStringLiteral("[EMOJI]"));

        _MsgHandle h;
        h.id = QStringLiteral("+100");
        auto* left = f.msg(0);
        left->item_type = 3;
        left->handle = &h;
        const QString date = dateFromIosTime(0).toString(QStringLiteral("dd MMM yyyy h:m AP"));
        QCOMPARE(getMsgSummary(left), QStringLiteral("+100 left the conversation.\n") + date);
    }

    void groupsAndOrderHelpers()
    {
        auto ds = newMsgDataSet();
        for (const auto& [id, ident, last] :
             {std::tuple(1, "+1", 10), std::tuple(2, "+1", 30), std::tuple(3, "+2", 20)}) {
            auto* c = ds->chats.insert(id, new _MsgChat).value();
            c->ROWID = id;
            c->chat_identifier = QString::fromLatin1(ident);
            c->_last = last;
        }
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

        _MsgAttachment junk; // not a picture: no file is made
        junk.localPath = QCoreApplication::applicationFilePath();
        QVERIFY(!QFile::exists(getAttachmentThumbnail(&junk)));
    }

    void replaceEmoji_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("private use range") << fromUnits({0xE000, u'a', 0xE537, 0xE538, 0xE5FF})
                                           << QStringLiteral("<E000>a<E537>") + fromUnits({0xE538, 0xE5FF});
        QTest::newRow("listed symbols") << fromUnits({0x2714, 0x203C, 0x3030, 0x2713})
                                        << QStringLiteral("<2714><203C><3030>") + fromUnits({0x2713});
        QTest::newRow("surrogate pairs") << fromUnits({u'x', 0xD83D, 0xDE04, u'y', 0xD83C, 0xDF89})
                                         << QStringLiteral("x<1F604>y<1F389>");
        QTest::newRow("other high surrogate") << fromUnits({0xD83E, 0xDD14}) << fromUnits({0xD83E, 0xDD14});
        QTest::newRow("dangling high surrogate") << fromUnits({u'a', 0xD83D}) << fromUnits({u'a', 0xD83D});
        // The unit after U+D83D pairs with it even when it is an emoji of its
        // own; no replacement is read back as text.
        QTest::newRow("high surrogate before a private-use emoji")
            << fromUnits({0xD83D, 0xE001, 0xE001}) << QStringLiteral("<1F801><E001>");
        QTest::newRow("emoji, then a pair") << fromUnits({0x2714, 0xD83C, 0xDF89}) << QStringLiteral("<2714><1F389>");
    }
    void replaceEmoji()
    {
        QFETCH(QString, in);
        QTEST(::replaceEmoji(in, codeOnly, nullptr), "out");
    }
};

QTEST_GUILESS_MAIN(TestMsgRecords)
#include "test_msgrecords.moc"
