// GIF and BMP parts are read within bounds their headers decide: a GIF's
// work is the pixels its LZW codes make, counted as the decoder reads them;
// screens, pictures and codes beyond the bounds are refused without a
// decode; cut files give a clear result.
#include "pictures/gifbmplayout.h"

#include "decodewatch.h"
#include "testpictures.h"
#include "testsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using testpictures::encoded;

namespace {

// Greys of fine detail: the LZW table fills and starts again.
QImage greys(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = uchar(x * x + y * 7);
    return image;
}

pictures::Layout layoutOf(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return pictures::readGifBmpLayout(buffer);
}

QImage read(const QByteArray& bytes, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr)
{
    static const QString path = testsupport::makeTempDir(u"gifbmp"_s) + u"/picture"_s;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QImage();
    file.close();
    return readPictureAlsoGifBmp(path, stop, format);
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
        const QImage picture = greys(300, 200);
        const QByteArray gif = testpictures::gif(picture);
        QCOMPARE(layoutOf(gif).work, qint64(4) * 300 * 200);
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
        QByteArray screen = testpictures::gif(greys(16, 16));
        screen.replace(6, 4, "\xFF\xFF\xFF\xFF"_ba);
        QTest::newRow("GIF screen of 4 G pixels") << screen;
        QTest::newRow("GIF picture of 400 M pixels") << testpictures::gifOfCodes(QSize(20000, 20000), {256, 1, 257});
        // A code beyond the entries made since the clear code: the decoder
        // would follow entries it never set.
        QList<int> stale {256, 1, 511};
        stale.resize(530000, 1);
        QTest::newRow("GIF codes of entries not made anew") << testpictures::gifOfCodes(QSize(16, 16), stale << 257);
        const QByteArray bmp = encoded(greys(16, 16).convertToFormat(QImage::Format_RGB32), "BMP");
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

    // Nor is a GIF or BMP once a stop was asked for (no other format ever
    // is: test_msgrecords); cut at every byte, one gives its picture or none.
    void stoppedAndCutFiles()
    {
        testsupport::DecodeWatch decodes;
        const QImage image = greys(40, 30);
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
    }
};

QTEST_GUILESS_MAIN(TestGifBmp)
#include "test_gifbmp.moc"
