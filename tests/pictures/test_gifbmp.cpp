// GIF and BMP parts are read within bounds their headers decide: a GIF's
// work is its screen and the pixels of its picture, whatever its LZW codes
// make; screens and pictures beyond the bounds are refused without a
// decode; every kind of BMP and GIF layout reads as written; cut files
// show what they hold.
#include "pictures/gifbmplayout.h"

#include "decodewatch.h"
#include "testpictures.h"
#include "testsupport.h"

#include <QImageReader>
#include <QtTest>

Q_DECLARE_METATYPE(testpictures::BmpShape)

using namespace Qt::StringLiterals;
using testpictures::encoded;

namespace {

pictures::Layout layoutOf(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return pictures::readGifBmpLayout(buffer);
}

// The bytes of a GIF's first LZW data, after its code size at dataAt.
qint64 lzwBytes(const QByteArray& gif, qsizetype dataAt)
{
    qint64 bytes = 0;
    for (qsizetype at = dataAt; at < gif.size() && gif.at(at) != 0; at += 1 + uchar(gif.at(at)))
        bytes += uchar(gif.at(at));
    return bytes;
}

// A buffer that says how far a decode read it.
class ReadReach : public QBuffer {
public:
    using QBuffer::QBuffer;
    qint64 reach = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = QBuffer::readData(data, maxSize);
        reach = qMax(reach, pos() + qMax<qint64>(n, 0));
        return n;
    }
};

// A buffer that sets its stop once a read reaches so far, when armed.
class StopAt : public ReadReach {
public:
    explicit StopAt(qint64 at)
        : m_at(at)
    {
    }
    bool armed = false;
    std::atomic_bool stop {false};

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = ReadReach::readData(data, maxSize);
        if (armed && reach >= m_at)
            stop = true;
        return n;
    }

private:
    qint64 m_at;
};

QImage read(QByteArray bytes, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readPictureAlsoGifBmp(buffer, stop, format);
}

} // namespace

class TestGifBmp : public QObject {
    Q_OBJECT

private slots:
    // An encoder's GIF, whose codes grow from 9 to 12 bits through clear
    // codes, counts its picture three times and each pixel once; BMPs of
    // every depth read as written.
    void gifsAndBmpsAreRead_aGifCountedByItsPixels()
    {
        testsupport::DecodeWatch decodes;
        const QImage picture = testpictures::greys(300, 200);
        const QByteArray gif = testpictures::gif(picture);
        const qint64 pixels = 300 * 200;
        QCOMPARE(layoutOf(gif).work, 3 * pixels + pictures::kGifWorkOfAPixel * (pixels + lzwBytes(gif, 792)));
        QByteArray format;
        QCOMPARE(read(gif, nullptr, &format).convertToFormat(QImage::Format_Grayscale8), picture);
        QCOMPARE(format, "gif"_ba);
        QImage colour(64, 48, QImage::Format_RGB32);
        colour.fill(QColor(200, 30, 60));
        for (const QImage::Format depth : {QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_ARGB32}) {
            const QImage image = colour.convertToFormat(depth);
            QCOMPARE(read(encoded(image, "BMP"), nullptr, &format).pixel(5, 5), image.pixel(5, 5));
            QCOMPARE(format, "bmp"_ba);
        }
        QCOMPARE(decodes.count(), 4);
    }

    void beyondTheBoundsNothingIsDecoded_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray screen = testpictures::gif(testpictures::greys(16, 16));
        screen.replace(6, 4, "\xFF\xFF\xFF\xFF"_ba);
        QTest::newRow("GIF screen of 4 G pixels") << screen;
        QTest::newRow("GIF picture of 400 M pixels") << testpictures::gifOfCodes(QSize(20000, 20000), {256, 1, 257});
        // Each pixel of the picture is placed, also off its small screen.
        QByteArray offScreen = testpictures::gifOfCodes(QSize(16, 16), testpictures::growingCodes(1));
        offScreen.replace(13 + 768 + 5, 4, "\xFF\xFF\xFF\xFF"_ba);
        QTest::newRow("GIF picture of 4 G pixels on a small screen") << offScreen;
        const QByteArray bmp = encoded(testpictures::greys(16, 16).convertToFormat(QImage::Format_RGB32), "BMP");
        QTest::newRow("BMP of 1.6 G pixels") << QByteArray(bmp).replace(18, 8, "\x40\x9C\0\0\x40\x9C\0\0"_ba);
    }

    void beyondTheBoundsNothingIsDecoded()
    {
        QFETCH(QByteArray, bytes);
        testsupport::DecodeWatch decodes;
        QVERIFY(!layoutOf(bytes).header.isEncoded());
        QVERIFY(read(bytes).isNull());
        QCOMPARE(decodes.count(), 0);
    }

    // A GIF's decode places its picture's pixels and stops: codes that
    // make far more pixels than the picture holds (a stale code among
    // them), crafted or damaged, cost no more than the picture, and its
    // data are read no further.
    void aGifIsMadeInTheWorkOfItsPicture()
    {
        QList<int> stale {256, 1, 511};
        stale.resize(530000, 1);
        for (const QByteArray& crafted : {testpictures::gifOfCodes(QSize(100, 100), testpictures::growingCodes(200)),
                                          testpictures::gifOfCodes(QSize(100, 100), stale << 257)}) {
            QVERIFY(crafted.size() > 600000);
            const pictures::Layout layout = layoutOf(crafted);
            QCOMPARE(layout.work, 3 * 10000 + pictures::kGifWorkOfAPixel * (10000 + lzwBytes(crafted, 792)));
            ReadReach device;
            device.setData(crafted);
            QVERIFY(device.open(QIODevice::ReadOnly));
            // The walk reads the data through; the decode from the start.
            decodewatch::watch(false, [&device] { device.reach = 0; });
            QCOMPARE(readPictureAlsoGifBmp(device).size(), QSize(100, 100));
            QVERIFY2(device.reach < crafted.size() / 4, qPrintable(QString::number(device.reach)));
        }
        decodewatch::unwatch();
    }

    // A BMP of every depth, header and compression reads as written; RLE
    // pixels jumped over and rows after the picture's early end are value 0.
    void everyKindOfBmpIsRead_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<testpictures::BmpShape>("shape");
        const QImage photo = testpictures::detailedPhoto(37, 23, 3);
        QTest::newRow("1 bit") << testpictures::indexed(37, 23, 2) << testpictures::BmpShape {.bits = 1};
        QTest::newRow("4 bits") << testpictures::indexed(37, 23, 16) << testpictures::BmpShape {.bits = 4};
        QTest::newRow("8 bits") << testpictures::indexed(37, 23, 200) << testpictures::BmpShape {.bits = 8};
        QTest::newRow("8 bits, OS/2") << testpictures::indexed(37, 23, 256)
                                      << testpictures::BmpShape {.bits = 8, .os2 = true};
        QTest::newRow("8 bits, RLE") << testpictures::indexed(37, 23, 200)
                                     << testpictures::BmpShape {.bits = 8, .rle = true};
        QTest::newRow("8 bits, RLE, top down")
            << testpictures::indexed(37, 23, 9) << testpictures::BmpShape {.bits = 8, .topDown = true, .rle = true};
        QTest::newRow("4 bits, RLE") << testpictures::indexed(37, 23, 16)
                                     << testpictures::BmpShape {.bits = 4, .rle = true};
        // Rows jumped over, values as they are.
        QTest::newRow("8 bits, RLE, speckled")
            << testpictures::speckled(37, 23, 200) << testpictures::BmpShape {.bits = 8, .rle = true};
        QTest::newRow("4 bits, RLE, speckled")
            << testpictures::speckled(37, 23, 16) << testpictures::BmpShape {.bits = 4, .rle = true};
        QTest::newRow("4 bits, RLE, speckled, top down")
            << testpictures::speckled(37, 23, 16) << testpictures::BmpShape {.bits = 4, .topDown = true, .rle = true};
        QTest::newRow("16 bits") << photo << testpictures::BmpShape {.bits = 16};
        QTest::newRow("16 bits, 5-6-5") << photo << testpictures::BmpShape {.bits = 16, .fields565 = true};
        QTest::newRow("24 bits") << photo << testpictures::BmpShape {};
        QTest::newRow("24 bits, OS/2, top down") << photo << testpictures::BmpShape {.os2 = true, .topDown = true};
        QTest::newRow("32 bits") << photo << testpictures::BmpShape {.bits = 32};
        QImage alpha = photo.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < alpha.height(); ++y)
            for (int x = 0; x < alpha.width(); ++x)
                alpha.setPixel(x, y, (alpha.pixel(x, y) & 0xFFFFFF) | uint(x * 7) << 24);
        QTest::newRow("32 bits, alpha") << alpha << testpictures::BmpShape {.bits = 32, .alpha = true};
    }

    void everyKindOfBmpIsRead()
    {
        QFETCH(QImage, picture);
        QFETCH(testpictures::BmpShape, shape);
        const QImage image = read(testpictures::bmp(picture, shape));
        QCOMPARE(image.size(), picture.size());
        QCOMPARE(image.hasAlphaChannel(), shape.alpha);
        // 5 or 6 bits of a colour spread over 8, as a reader shows them.
        const auto spread = [](int value, int bits) {
            const int v = value >> (8 - bits);
            return v << (8 - bits) | v >> (2 * bits - 8);
        };
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                QRgb expected = picture.pixel(x, y);
                if (shape.bits == 16)
                    expected = qRgb(spread(qRed(expected), 5), spread(qGreen(expected), shape.fields565 ? 6 : 5),
                                    spread(qBlue(expected), 5));
                QVERIFY2(image.pixel(x, y) == expected, qPrintable(u"%1,%2"_s.arg(x).arg(y)));
            }
        }
    }

    // Each value a BMP's pixel holds past its colour table has a colour
    // (as Qt's conversions give it: opaque black, of 1 bit white), so that
    // nothing that scales, paints or writes the picture reads past the
    // table; a table that covers the values stays as the file has it, and
    // a grey picture, of no table, gets none.
    void valuesPastTheirTableHaveAColour()
    {
        const QImage grey = read(encoded(testpictures::greys(37, 23), "JPG"));
        QCOMPARE(grey.format(), QImage::Format_Grayscale8);
        QCOMPARE(grey.colorCount(), 0);
        using testpictures::BmpShape;
        using testpictures::withShortTable;
        const QList<std::pair<QImage, BmpShape>> files {
            {withShortTable(testpictures::indexed(37, 23, 2), 1), {.bits = 1}},
            {withShortTable(testpictures::indexed(37, 23, 16), 3), {.bits = 4}},
            {withShortTable(testpictures::indexed(37, 23, 256), 1), {.bits = 8}},
            {withShortTable(testpictures::indexed(37, 23, 256), 5), {.bits = 8}},
            {withShortTable(testpictures::speckled(37, 23, 16), 3), {.bits = 4, .rle = true}},
            {withShortTable(testpictures::speckled(37, 23, 200), 5), {.bits = 8, .rle = true}},
            {testpictures::indexed(37, 23, 200), {.bits = 8}},
        };
        for (const auto& [picture, shape] : files) {
            const QImage image = read(testpictures::bmp(picture, shape));
            const QList<QRgb> table = picture.colorTable();
            QCOMPARE(image.colorTable().mid(0, table.size()), table);
            QCOMPARE(image.colorCount(), table.size() == 200 ? 200 : shape.bits == 1 ? 2 : 256);
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    const int value = picture.pixelIndex(x, y);
                    const QRgb past = shape.bits == 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                    QVERIFY2(
                        image.pixel(x, y) == (value < table.size() ? table.at(value) : past),
                        qPrintable(u"%1 bits, %2 colours: %3,%4"_s.arg(shape.bits).arg(table.size()).arg(x).arg(y)));
                }
            }
        }
    }

    // A BMP without its last row's padding, which some writers leave out,
    // shows every row; without a byte of that row's pixels, the others.
    void aBmpWithoutItsLastPaddingShowsEveryRow()
    {
        using testpictures::BmpShape;
        const QImage photo = testpictures::detailedPhoto(5, 4, 1);
        const QList<std::pair<QImage, BmpShape>> files {
            {testpictures::indexed(5, 4, 2), {.bits = 1}},
            {testpictures::indexed(5, 4, 16), {.bits = 4}},
            {testpictures::indexed(5, 4, 200), {.bits = 8}},
            {photo, {}},
            {photo, {.topDown = true}},
        };
        for (const auto& [picture, shape] : files) {
            const QByteArray whole = testpictures::bmp(picture, shape);
            const int pixelBytes = (5 * shape.bits + 7) / 8;
            const int padding = 4 - pixelBytes % 4;
            const auto rgb = [](const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); };
            QCOMPARE(rgb(read(whole.chopped(padding))), rgb(picture));
            // The last row in the file is the picture's top, or its bottom
            // when stored top down.
            const QImage lacking = rgb(read(whole.chopped(padding + 1)));
            // Its pixels are zero: value 0 of a colour table.
            const QColor zero = picture.colorCount() > 0 ? QColor(picture.color(0)) : QColor(Qt::black);
            QCOMPARE(lacking.copy(0, shape.topDown ? 3 : 0, 5, 1), rgb(testpictures::filled(5, 1, zero)));
            QCOMPARE(lacking.copy(0, shape.topDown ? 0 : 1, 5, 3), rgb(picture).copy(0, shape.topDown ? 0 : 1, 5, 3));
        }
    }

    // GIFs of every smallest code size read as written: strings of the
    // value they begin with (a code of the entry about to be made) within
    // a row and across rows' ends, and fine detail that fills the table.
    void gifsOfEveryCodeSizeAreRead()
    {
        for (int bits = 2; bits <= 8; ++bits) {
            const int values = 1 << bits;
            QImage runs(45, 31, QImage::Format_Grayscale8);
            QImage detail(45, 31, QImage::Format_Grayscale8);
            for (int y = 0; y < runs.height(); ++y) {
                for (int x = 0; x < runs.width(); ++x) {
                    runs.scanLine(y)[x] = uchar(1 + (y * runs.width() + x) / 10 % (values - 1));
                    detail.scanLine(y)[x] = uchar((x * x + y * 7) % values);
                }
            }
            for (const QImage& picture : {runs, detail}) {
                for (const bool interlaced : {false, true}) {
                    const QImage image = read(testpictures::gif(picture, {.interlaced = interlaced, .codeBits = bits}));
                    QVERIFY2(image.convertToFormat(QImage::Format_Grayscale8) == picture,
                             qPrintable(u"code size %1"_s.arg(bits)));
                }
            }
        }
    }

    // A stop set while a GIF or BMP decodes ends the decode where it is: it
    // reads no further than a few steps past where the stop came.
    void aStopEndsTheDecodeWhereItIs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("GIF") << testpictures::gif(testpictures::greys(2000, 2000));
        QTest::newRow("BMP") << testpictures::bmp(testpictures::detailedPhoto(2000, 1000, 1), {});
        QTest::newRow("RLE8 BMP") << testpictures::bmp(testpictures::speckled(2000, 1500, 200),
                                                       {.bits = 8, .rle = true});
        QTest::newRow("RLE4 BMP") << testpictures::bmp(testpictures::speckled(4000, 1200, 16),
                                                       {.bits = 4, .rle = true});
    }

    void aStopEndsTheDecodeWhereItIs()
    {
        QFETCH(QByteArray, bytes);
        constexpr qint64 kStopAt = 256 * 1024;
        QVERIFY2(bytes.size() > kStopAt + 1536 * 1024, qPrintable(QString::number(bytes.size())));
        StopAt device(kStopAt);
        device.setData(bytes);
        QVERIFY(device.open(QIODevice::ReadOnly));
        const pictures::GifBmpPlan plan = pictures::readGifBmpPlan(device);
        QVERIFY(plan.layout.header.isEncoded());
        device.reach = 0;
        device.armed = true;
        QVERIFY(pictures::decodeGifBmp(device, plan, &device.stop).isNull());
        QVERIFY(device.stop);
        QVERIFY2(device.reach < kStopAt + 512 * 1024, qPrintable(QString::number(device.reach)));
    }

    // The first picture of a GIF shows on its screen, on the transparent
    // colour or the background around it, from the screen's colour table
    // or its own, its rows in passes or in order.
    void gifLayoutsAreRead()
    {
        const QImage picture = testpictures::greys(45, 31);
        const auto on = [&](QSize screen, QPoint at, QRgb around) {
            QImage expected(screen, QImage::Format_ARGB32);
            expected.fill(around);
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (at.x() + x < screen.width() && at.y() + y < screen.height())
                        expected.setPixel(at.x() + x, at.y() + y, picture.pixel(x, y));
            return expected;
        };
        const auto same = [](const QImage& a, const QImage& b) {
            return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
        };
        QVERIFY(same(read(testpictures::gif(picture, {.interlaced = true})), picture));
        QVERIFY(same(read(testpictures::gif(picture, {.ownTable = true})), picture));
        QVERIFY(
            same(read(testpictures::gif(picture, {.moreFrames = {testpictures::greys(45, 31).mirrored()}})), picture));
        const QImage around
            = read(testpictures::gif(picture, {.screen = QSize(60, 40), .at = QPoint(5, 3), .background = 77}));
        QVERIFY(same(around, on(QSize(60, 40), QPoint(5, 3), qRgb(77, 77, 77))));
        // The transparent grey, here and around, keeps its colour without alpha.
        const QImage read9 = read(testpictures::gif(
            picture, {.screen = QSize(50, 50), .at = QPoint(20, 30), .transparent = 9, .interlaced = true}));
        QCOMPARE(read9.pixel(0, 0), 0x00090909u);
        QVERIFY(read9.hasAlphaChannel());
        QCOMPARE(read9.pixel(20, 30), picture.pixel(0, 0));
        QCOMPARE(read9.size(), QSize(50, 50));
    }

    // A whole, sound GIF or BMP shows what Qt's decoders make of it (a BMP
    // of 16 bits a pixel is the exception: everyKindOfBmpIsRead).
    void soundFilesReadAsQtReadsThem()
    {
        using testpictures::BmpShape;
        const QImage picture = testpictures::greys(45, 31);
        // Without any colour table: the picture's own one dropped.
        QByteArray noTable = testpictures::gif(picture, {.ownTable = true});
        noTable[22] = char(noTable.at(22) & ~0x87);
        noTable.remove(23, 768);
        const QImage photo = testpictures::detailedPhoto(37, 23, 3);
        const QList<QByteArray> files {
            testpictures::gif(picture),
            testpictures::gif(picture, {.interlaced = true}),
            testpictures::gif(picture, {.screen = QSize(60, 40), .at = QPoint(5, 3), .background = 77}),
            testpictures::gif(picture, {.screen = QSize(60, 40), .at = QPoint(5, 3), .transparent = 9}),
            testpictures::gif(picture, {.ownTable = true, .moreFrames = {picture.mirrored()}}),
            noTable,
            testpictures::bmp(testpictures::indexed(37, 23, 2), {.bits = 1}),
            testpictures::bmp(testpictures::indexed(37, 23, 16), {.bits = 4}),
            testpictures::bmp(testpictures::indexed(37, 23, 200), {.bits = 8}),
            testpictures::bmp(testpictures::indexed(37, 23, 256), {.bits = 8, .os2 = true}),
            testpictures::bmp(photo, {.os2 = true, .topDown = true}),
            testpictures::bmp(photo, {.bits = 32}),
            testpictures::bmp(photo.convertToFormat(QImage::Format_ARGB32), {.bits = 32, .alpha = true}),
            encoded(photo, "BMP"),
        };
        for (qsizetype i = 0; i < files.size(); ++i) {
            QByteArray bytes = files.at(i);
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            const QImage qt = QImageReader(&buffer).read();
            QVERIFY2(!qt.isNull()
                         && read(files.at(i)).convertToFormat(QImage::Format_ARGB32)
                             == qt.convertToFormat(QImage::Format_ARGB32),
                     qPrintable(QString::number(i)));
        }
    }

    // Nor is a GIF or BMP once a stop was asked for (no other format ever
    // is: test_msgrecords), and a stop asked for while one decodes ends it;
    // cut at every byte, one gives its picture or none; the rows a cut BMP
    // holds show, the others are zero.
    void stoppedAndCutFiles()
    {
        testsupport::DecodeWatch decodes;
        const QImage image = testpictures::greys(40, 30);
        const std::atomic_bool stop {true};
        const QByteArray files[] = {testpictures::gif(image), encoded(image, "BMP")};
        QVERIFY(read(files[0], &stop).isNull() && read(files[1], &stop).isNull());
        QCOMPARE(decodes.count(), 0);
        for (const QByteArray& whole : files) {
            for (qsizetype n = 0; n < whole.size(); ++n) {
                const QImage cut = read(whole.left(n));
                QVERIFY2(cut.isNull() || cut.size() == image.size(), qPrintable(QString::number(n)));
            }
        }
        const QImage photo = testpictures::detailedPhoto(200, 150, 1);
        const QImage cut = read(testpictures::bmp(photo, {}).left(54 + 600 * 20 + 300));
        QCOMPARE(cut.copy(0, 130, 200, 20), photo.copy(0, 130, 200, 20));
        QImage black(200, 130, QImage::Format_RGB32);
        black.fill(0);
        QCOMPARE(cut.copy(0, 0, 200, 130), black);

        std::atomic_bool stopNow {false};
        decodewatch::watch(false, [&stopNow] { stopNow = true; });
        QVERIFY(read(testpictures::gifOfCodes(QSize(4000, 4000), testpictures::growingCodes(60)), &stopNow).isNull());
        stopNow = false;
        QVERIFY(read(testpictures::bmp(photo, {}), &stopNow).isNull());
        QCOMPARE(decodes.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestGifBmp)
#include "test_gifbmp.moc"
