// Message records: the logic hash, the message order, thumbnails and the
// emoji scanner (data/emoji.json).
#include "messagestore/emoji.h"
#include "messagestore/msgrecords.h"

#include "pictures/imageencoding.h"
#include "pictures/picturereader.h"
#include "shell/core/dataroot.h"

#include "decodewatch.h"
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

// A stop asked for as a decode begins (by the decode observer), as when
// the page goes then.
std::atomic_bool g_stop {false};

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
        const QString thumb = attachmentThumbnailPath(&a);
        QVERIFY(!QFile::exists(thumb));
        QCOMPARE(makeAttachmentThumbnail(&a).size(), QSize(120, 60));
        QImage t;
        QVERIFY(t.load(thumb, "PNG"));
        QCOMPARE(t.size(), QSize(120, 60));
        QVERIFY(!makeAttachmentThumbnail(&b).isNull());
        const QString other = attachmentThumbnailPath(&b);
        QVERIFY(other != thumb && QFile::exists(other));
        junk.localPath = QCoreApplication::applicationFilePath(); // not a picture: no file is made
        QVERIFY(makeAttachmentThumbnail(&junk).isNull());
        QVERIFY(!QFile::exists(attachmentThumbnailPath(&junk)));
        // Made once: the file is what is asked for later, also when the
        // picture went.
        QVERIFY(QFile::remove(a.localPath));
        QCOMPARE(makeAttachmentThumbnail(&a).size(), QSize(120, 60));
    }

    // A thumbnail reads a picture as a transfer does: a photo turned by its
    // orientation shows upright; a drawing named as a JPEG, a JPEG of more
    // scans or work than the bounds allow, and PNGs whose chunks claim more
    // than the file holds or whose texts would take more than the budget,
    // give none; a BMP gives one. A thumbnail is made off the window's
    // thread, within the transfer's bounds: a picture a transfer decodes
    // gets one however much work its scans take. Large grey and palette
    // pictures give one.
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
            makeAttachmentThumbnail(&att);
            return QImage(attachmentThumbnailPath(&att));
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
        QCOMPARE(thumbnailOf(u"heavy.jpg"_s, heavy).size(), QSize(120, 120));
        QCOMPARE(thumbnailOf(u"light.jpg"_s, testpictures::greyScans(4096, 4096, 7)).size(), QSize(120, 120));
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

    // A thumbnail stopped while its picture decodes is not made: no file,
    // nothing beside it; asked for again, it is made.
    void thumbnailStoppedWhileItDecodesLeavesNoFile()
    {
        const QString dir = testsupport::makeTempDir(u"stopped"_s);
        QImage photo(600, 400, QImage::Format_RGB32);
        photo.fill(Qt::darkGreen);
        for (const char* format : {"JPG", "PNG"}) {
            _MsgAttachment att;
            att.localPath = dir + u"/photo."_s + QString::fromLatin1(format).toLower();
            QVERIFY(photo.save(att.localPath, format));
            const QStringList before = privateTempDir().entryList(QDir::Files | QDir::Hidden);
            g_stop = false;
            pictures::setDecodeObserver([] { g_stop = true; });
            const QImage made = makeAttachmentThumbnail(&att, &g_stop);
            pictures::setDecodeObserver(nullptr);
            QVERIFY(g_stop);
            QVERIFY(made.isNull());
            QCOMPARE(privateTempDir().entryList(QDir::Files | QDir::Hidden), before);
            QCOMPARE(makeAttachmentThumbnail(&att).size(), QSize(120, 80));
        }
    }

    // A GIF part is read within the bounds its header decides: one whose
    // LZW codes stand for entries not made anew is made in the work of its
    // picture, one whose picture places 4 G pixels gives no thumbnail, as
    // an icon or a bitmap of another format does; ordinary GIFs (animated,
    // interlaced, large) give theirs.
    void thumbnailsOfGifsAreBounded_noOtherFormatIsRead()
    {
        const QString dir = testsupport::makeTempDir(u"gifbmp"_s);
        int files = 0;
        const auto thumbnailOf = [&dir, &files](const QByteArray& bytes) {
            _MsgAttachment att;
            att.localPath = dir + u"/p"_s + QString::number(++files);
            QFile file(att.localPath);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
                ? makeAttachmentThumbnail(&att)
                : QImage();
        };
        const QImage photo = testpictures::filled(300, 200, Qt::darkGreen);
        QCOMPARE(thumbnailOf(testpictures::gif(photo)).size(), QSize(120, 80));
        QList<int> stale {256, 1, 511};
        stale.resize(530000, 1);
        QCOMPARE(thumbnailOf(testpictures::gifOfCodes(QSize(300, 200), stale << 257)).size(), QSize(120, 80));
        QByteArray offScreen = testpictures::gifOfCodes(QSize(300, 200), {256, 1, 257});
        offScreen.replace(13 + 768 + 5, 4, "\xFF\xFF\xFF\xFF"_ba);
        QVERIFY(thumbnailOf(offScreen).isNull());
        for (const char* format : {"ICO", "XPM", "PPM"})
            QVERIFY2(thumbnailOf(testpictures::encoded(photo, format)).isNull(), format);

        const QImage grey = testpictures::filled(2000, 2000, Qt::gray);
        QVERIFY(testpictures::shows(thumbnailOf(testpictures::gif(grey)), Qt::gray));
        const QImage frame = testpictures::filled(800, 600, Qt::darkGray);
        const QImage animated
            = thumbnailOf(testpictures::gif(frame, {.moreFrames = {testpictures::filled(800, 600, Qt::white)}}));
        QVERIFY(animated.size() == QSize(120, 90) && testpictures::shows(animated, Qt::darkGray));
        QImage lines = testpictures::filled(600, 800, Qt::black);
        for (int y = 0; y < 800; y += 2)
            lines.setPixel(0, y, qRgb(255, 255, 255));
        const QImage interlaced = thumbnailOf(testpictures::gif(lines, {.interlaced = true}));
        QVERIFY(interlaced.size() == QSize(90, 120) && testpictures::shows(interlaced, Qt::black));
    }

    // Thumbnails of GIFs and BMPs that earlier versions kept (their decoders
    // left process memory in them) are made anew once, told by the part's
    // bytes (a GIF named and labelled as a JPEG too): the old file goes, the
    // new one holds the picture and is what later asks get. A JPEG's or
    // PNG's kept thumbnail stays what it is, reused without a decode.
    void thumbnailsOfGifsAndBmpsKeptBeforeAreMadeAnewOnce()
    {
        const QString dir = testsupport::makeTempDir(u"kept"_s);
        // Where earlier versions kept every thumbnail.
        const auto keptBefore = [](const _MsgAttachment& att) {
            const QByteArray md5 = QCryptographicHash::hash(att.localPath.toUtf8(), QCryptographicHash::Md5).toHex();
            return privateTempDir().absoluteFilePath(QString::fromLatin1(md5) + u".thumb"_s);
        };
        const auto written = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
        };
        const QByteArray wrong = testpictures::encoded(testpictures::filled(30, 30, Qt::magenta), "JPG");
        const QImage photo = testpictures::filled(300, 200, Qt::gray);
        const struct {
            const char* name;
            QByteArray bytes;
            bool madeAnew;
        } parts[] = {
            {"gif.jpg", testpictures::gif(photo), true},
            {"picture.bmp", testpictures::bmp(photo, {}), true},
            {"photo.jpg", testpictures::encoded(photo, "JPG"), false},
            {"photo.png", testpictures::encoded(photo, "PNG"), false},
        };
        for (const auto& part : parts) {
            _MsgAttachment att;
            att.mime_type = u"image/jpeg"_s;
            att.localPath = dir + u'/' + QLatin1String(part.name);
            const QString old = keptBefore(att);
            QVERIFY(written(att.localPath, part.bytes) && written(old, wrong));
            QCOMPARE(attachmentThumbnailPath(&att) == old, !part.madeAnew);
            // The name an export gives its copy stays.
            QCOMPARE(QFileInfo(attachmentThumbnailPath(&att)).fileName(), QFileInfo(old).fileName());
            testsupport::DecodeWatch watch;
            const QImage made = makeAttachmentThumbnail(&att);
            QVERIFY2(made.size() == (part.madeAnew ? QSize(120, 80) : QSize(30, 30)), part.name);
            QVERIFY(testpictures::shows(made, part.madeAnew ? Qt::gray : Qt::magenta));
            QCOMPARE(testsupport::DecodeWatch::count(), part.madeAnew ? 1 : 0);
            QCOMPARE(QFile::exists(old), !part.madeAnew);
            const QImage kept(attachmentThumbnailPath(&att));
            QVERIFY(kept.size() == made.size() && testpictures::shows(kept, part.madeAnew ? Qt::gray : Qt::magenta));
            // Made once: asked again, the kept file without a decode.
            QCOMPARE(makeAttachmentThumbnail(&att).size(), made.size());
            QCOMPARE(testsupport::DecodeWatch::count(), part.madeAnew ? 1 : 0);
        }
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
