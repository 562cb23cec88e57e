// Message records: the logic hash, the message order, thumbnails and the
// emoji scanner (data/emoji.json).
#include "messagestore/emoji.h"
#include "messagestore/msgrecords.h"

#include "pictures/imageencoding.h"

#include "msgtesthelpers.h"
#include "testpictures.h"

#include <QtGui>
#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Fixture : MsgBuilder {
    _MsgMessage* msg(int date, qint64 src = 0)
    {
        auto* m = messages.emplace_back(make<_MsgMessage>());
        m->date = date;
        m->_src_id = src;
        m->ROWID = qint64(messages.size());
        return m;
    }
};

} // namespace

class TestMsgRecords : public QObject {
    Q_OBJECT
private slots:
    void sortKeepsCloseRunsBySource()
    {
        // Two messages {date, source id}, whether the first is flagged, and
        // the date sorted first.
        const int cases[][6] = {
            {200, 5, 100, 10, 0, 200}, // 100 s apart, rowids 5 apart: by rowid although newer
            {200, 5, 100, 26, 0, 100}, // 21 rowids apart: by date
            {221, 5, 100, 10, 0, 100}, // 121 seconds apart: by date
            {200, 0, 100, 0, 0, 100}, // built by a producer (no source id): by date
            {200, 5, 100, 10, 1, 100}, // flagged: by date
        };
        for (const auto& c : cases) {
            Fixture f;
            MsgMessageList l = {f.msg(c[0], c[1]), f.msg(c[2], c[3])};
            l[0]->_src_flag = c[4] != 0;
            sortMessages(l);
            QCOMPARE(l[0]->date, c[5]);
        }
        Fixture f; // newest first is the reverse
        MsgMessageList l = {f.msg(200, 5), f.msg(100, 10), f.msg(1000, 100)};
        sortMessages(l, true);
        QCOMPARE(l, (MsgMessageList {f.messages[2], f.messages[1], f.messages[0]}));
    }

    void orderIsConsistent()
    {
        // The messages of the fault report: A<B<C<A under the old rule.
        Fixture f;
        MsgMessageList l = {f.msg(100, 1), f.msg(0, 21), f.msg(50, 41)};
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

        // Conversation groups: newest first, a strict order too.
        const MsgChatGroup older {{}, 10}, newer {{}, 30};
        QVERIFY(intGreaterEqual(newer, older) && !intGreaterEqual(older, newer) && !intGreaterEqual(newer, newer));
    }

    void thumbnailMadeOncePerSourcePath()
    {
        // A thumbnail is named after the picture's whole path: two pictures
        // of one name in two folders get one each.
        const QString dir = testsupport::makeTempDir(u"thumb"_s);
        QImage img(300, 150, QImage::Format_RGB32);
        img.fill(Qt::red);
        _MsgAttachment a, b, junk;
        a.localPath = dir + u"/a/pic.png"_s;
        b.localPath = dir + u"/b/pic.png"_s;
        QVERIFY(QDir(dir).mkpath(u"a"_s) && QDir(dir).mkpath(u"b"_s));
        QVERIFY(img.save(a.localPath, "PNG") && img.save(b.localPath, "PNG"));
        const QString thumb = getAttachmentThumbnail(&a);
        QImage t;
        QVERIFY(t.load(thumb, "PNG"));
        QCOMPARE(t.size(), QSize(120, 60));
        const QString other = getAttachmentThumbnail(&b);
        QVERIFY(other != thumb && QFile::exists(other));
        junk.localPath = QCoreApplication::applicationFilePath(); // not a picture: no file is made
        QVERIFY(!QFile::exists(getAttachmentThumbnail(&junk)));
    }

    // A thumbnail reads a picture as a transfer does: a photo turned by its
    // orientation shows upright; a drawing named as a JPEG, a JPEG of more
    // scans or work than the bounds allow, and PNGs whose chunks claim more
    // than the file holds or whose texts would take more than the budget,
    // give none; a BMP gives one. The window waits for it: a picture a
    // transfer decodes, but whose decode is beyond a much smaller bound of
    // work, gives none either. Large grey and palette pictures give one.
    void thumbnailsShowPhotosUpright_andNoHostilePicture()
    {
        const QString dir = testsupport::makeTempDir(u"thumbs"_s);
        const auto thumbnailOf = [&dir](const QString& name, const QByteArray& bytes) {
            _MsgAttachment att;
            att.localPath = dir + u'/' + name;
            QFile file(att.localPath);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                return QImage();
            file.close();
            return QImage(getAttachmentThumbnail(&att));
        };
        QImage photo(300, 200, QImage::Format_RGB32);
        photo.fill(Qt::blue);
        const QImage upright
            = thumbnailOf(u"turned.jpg"_s, testpictures::withOrientation(testpictures::encoded(photo, "JPG"), 6));
        QCOMPARE(upright.size(), QSize(80, 120));
        QCOMPARE(thumbnailOf(u"plain.bmp"_s, testpictures::encoded(photo, "BMP")).size(), QSize(120, 80));
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='200'>"
                               "<rect width='200' height='200' fill='red'/></svg>";
        QVERIFY(thumbnailOf(u"drawing.jpg"_s, "\x1F\x8B\x08\0\0\0\0\0\0\x03"_ba + qCompress(svg).mid(6)).isNull());
        QVERIFY(thumbnailOf(u"scans.jpg"_s,
                            testpictures::withScans(testpictures::encoded(photo, "JPG", true), kMaxJpegScans + 1))
                    .isNull());
        QVERIFY(thumbnailOf(u"work.jpg"_s, testpictures::greyScans(16000, 16000, 99)).isNull());
        const QByteArray png = testpictures::encoded(photo, "PNG");
        QVERIFY(thumbnailOf(u"claims.png"_s, testpictures::withLongChunk(png, 2147483000u)).isNull());
        QVERIFY(thumbnailOf(u"texts.png"_s, testpictures::withTexts(png, 30, 7600000)).isNull());
        const QByteArray heavy = testpictures::greyScans(4096, 4096, 15);
        QVERIFY(readImageHeader(heavy).isEncoded());
        QVERIFY(thumbnailOf(u"heavy.jpg"_s, heavy).isNull());
        // Seven scans and the pass that makes the picture: at the bound.
        QCOMPARE(thumbnailOf(u"light.jpg"_s, testpictures::greyScans(4096, 4096, 6)).size(), QSize(120, 120));
        // Grey and palette pictures too large for Qt's allocation limit,
        // which counts them at 32 bits a pixel, as colour ones.
        QImage grey(6800, 5100, QImage::Format_Grayscale8);
        grey.fill(Qt::darkGray);
        QCOMPARE(thumbnailOf(u"grey.jpg"_s, testpictures::encoded(grey, "JPG")).size(), QSize(120, 90));
        QImage palette(6000, 5800, QImage::Format_Indexed8);
        palette.setColorTable({qRgb(200, 30, 30), qRgb(30, 30, 200)});
        palette.fill(1);
        QCOMPARE(thumbnailOf(u"palette.png"_s, testpictures::encoded(palette, "PNG")).pixel(60, 58), qRgb(30, 30, 200));
    }

    // The scanner pairs surrogates in one pass over the original text: the
    // unit after U+D83D pairs with it even when it is an emoji of its own,
    // and no replacement is read back as text.
    void replaceEmoji_data()
    {
        QTest::addColumn<QString>("replacer");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        for (const QJsonValue& row : dataJson("emoji.json").array())
            QTest::newRow(qPrintable(row[0].toString())) << row[1].toString() << row[2].toString() << row[3].toString();
    }
    void replaceEmoji()
    {
        QFETCH(QString, replacer);
        QFETCH(QString, in);
        EmojiCallback func = emojiToPlaceholder;
        if (replacer == QLatin1String("code"))
            func = [](void*, QString code) { return QLatin1Char('<') + code + QLatin1Char('>'); };
        else if (replacer == QLatin1String("lookalike")) // a replacement that itself looks like an emoji
            func = [](void*, QString) { return QString(QChar(0xE001)); };
        QTEST(::replaceEmoji(in, func, nullptr), "out");
    }
};

QTEST_GUILESS_MAIN(TestMsgRecords)
#include "test_msgrecords.moc"
