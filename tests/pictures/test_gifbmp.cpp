// A message part shown as it is: a GIF's first picture or a BMP is read
// within bounds its header decides, as a JPEG or PNG is. GIFs as encoders
// write them and BMPs of every depth Qt writes are read, the GIF's work
// counted as the pixels its codes make; a screen or picture beyond Qt's
// allocation limit, LZW codes that stand for entries not made anew, and
// BMPs of impossible sizes are refused without a decode; any other format
// (a drawing, an icon) is not read; cut files give a clear result.
#include "pictures/gifbmplayout.h"
#include "pictures/picturereader.h"

#include "testpictures.h"
#include "testsupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

std::atomic_int g_decodes {0};

void countDecode()
{
    ++g_decodes;
}

// Greys of fine detail, so that the LZW table fills and starts again.
QImage greys(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * x + y * 7) & 0xFF, (x * x + y * 7) & 0xFF, (x * x + y * 7) & 0xFF));
    return image;
}

QByteArray written(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

pictures::Layout layoutOf(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return pictures::readGifBmpLayout(buffer);
}

} // namespace

class TestGifBmp : public QObject {
    Q_OBJECT

    QString m_dir;
    int m_files = 0;

    QString file(const QByteArray& bytes)
    {
        const QString path = m_dir + u"/%1"_s.arg(++m_files);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return QString();
        return path;
    }

private slots:
    void initTestCase()
    {
        m_dir = testsupport::makeTempDir(u"gifbmp"_s);
        pictures::setDecodeObserver(countDecode);
    }

    void cleanupTestCase() { pictures::setDecodeObserver(nullptr); }

    void init() { g_decodes = 0; }

    // The GIF's counted work is its picture three times and one pixel of
    // each pixel its codes make, exactly: the walk reads the codes as the
    // decoder does, 9 to 12 bits wide and through clear codes.
    void gifsAndBmpsAreRead_gifsCountedByThePixelsTheirCodesMake()
    {
        const QImage picture = greys(300, 200);
        const QByteArray gif = testpictures::gif(picture);
        const pictures::Layout layout = layoutOf(gif);
        QCOMPARE(layout.header.format, "gif"_ba);
        QCOMPARE(layout.header.size, picture.size());
        QCOMPARE(layout.work, qint64(4) * 300 * 200);
        QByteArray format;
        const QImage read = readPictureAlsoGifBmp(file(gif), nullptr, &format);
        QCOMPARE(format, "gif"_ba);
        QCOMPARE(read.convertToFormat(QImage::Format_Grayscale8), picture);
        // As a web encoder writes a 1 x 1 GIF.
        QCOMPARE(readPictureAlsoGifBmp(
                     file(QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7")))
                     .size(),
                 QSize(1, 1));

        QImage colour(64, 48, QImage::Format_RGB32);
        colour.fill(QColor(200, 30, 60));
        for (const QImage::Format depth :
             {QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_RGB32, QImage::Format_ARGB32}) {
            const QImage image = colour.convertToFormat(depth);
            format.clear();
            const QImage bmp = readPictureAlsoGifBmp(file(written(image, "BMP")), nullptr, &format);
            QCOMPARE(format, "bmp"_ba);
            QCOMPARE(bmp.size(), colour.size());
            QCOMPARE(bmp.pixel(5, 5), image.pixel(5, 5));
        }
        // JPEG and PNG as the reader reads them.
        format.clear();
        QVERIFY(!readPictureAlsoGifBmp(file(written(colour, "PNG")), nullptr, &format).isNull());
        QCOMPARE(format, "png"_ba);
        QCOMPARE(g_decodes.load(), 2 + 4 + 1);
    }

    void beyondTheBoundsNothingIsDecoded_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray small = testpictures::gif(greys(16, 16));
        QByteArray screen = small;
        screen.replace(6, 4, "\xFF\xFF\xFF\xFF"_ba); // a logical screen of 65535 x 65535
        QTest::newRow("GIF screen of 4 G pixels") << screen;
        QTest::newRow("GIF picture of 400 M pixels") << testpictures::gifOfCodes(QSize(20000, 20000), {256, 1, 257});
        // After a clear code, a code beyond the entries made anew: up to the
        // next clear code every code counts at the most a code can make.
        QList<int> stale {256, 1, 511};
        stale.resize(530000, 1);
        QTest::newRow("GIF codes of entries not made anew") << testpictures::gifOfCodes(QSize(16, 16), stale << 257);
        QByteArray codeSize = small;
        codeSize[13 + 768 + 10] = 12; // after the header, the palette and the picture's frame
        QTest::newRow("GIF of 12-bit smallest codes") << codeSize;
        QByteArray bmp = written(greys(16, 16).convertToFormat(QImage::Format_RGB32), "BMP");
        QByteArray huge = bmp;
        huge.replace(18, 8, "\x40\x9C\x00\x00\x40\x9C\x00\x00"_ba); // 40000 x 40000
        QTest::newRow("BMP of 1.6 G pixels") << huge;
        QByteArray planes = bmp;
        planes[26] = 2;
        QTest::newRow("BMP of two planes") << planes;
        QByteArray header = bmp;
        header[14] = 52;
        QTest::newRow("BMP header of 52 bytes") << header;
    }

    void beyondTheBoundsNothingIsDecoded()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!layoutOf(bytes).header.isEncoded());
        QVERIFY(readPictureAlsoGifBmp(file(bytes)).isNull());
        QCOMPARE(g_decodes.load(), 0);
    }

    // A drawing, an icon or a bitmap of another format is not read
    // whatever its name, nor is a GIF or BMP once a stop was asked for.
    void otherFormatsAndStoppedReadsAreNotDecoded()
    {
        const QImage image = greys(32, 32).convertToFormat(QImage::Format_RGB32);
        QList<QByteArray> others {"<svg xmlns='http://www.w3.org/2000/svg' width='9000' height='9000'/>"};
        for (const char* format : {"ICO", "PPM", "PBM", "XPM", "CUR"}) {
            const QByteArray bytes = written(image, format);
            if (!bytes.isEmpty())
                others << bytes;
        }
        QVERIFY(others.size() >= 4);
        for (const QByteArray& bytes : std::as_const(others))
            QVERIFY(readPictureAlsoGifBmp(file(bytes)).isNull());
        const std::atomic_bool stop {true};
        QVERIFY(readPictureAlsoGifBmp(file(testpictures::gif(image)), &stop).isNull());
        QVERIFY(readPictureAlsoGifBmp(file(written(image, "BMP")), &stop).isNull());
        QCOMPARE(g_decodes.load(), 0);
    }

    // Cut at every byte, a GIF or BMP gives its picture or none, never one
    // of another size.
    void cutFilesGiveAClearResult()
    {
        const QImage image = greys(40, 30);
        for (const QByteArray& whole : {testpictures::gif(image), written(image, "BMP")}) {
            for (qsizetype n = 0; n < whole.size(); ++n) {
                const QImage read = readPictureAlsoGifBmp(file(whole.left(n)));
                QVERIFY2(read.isNull() || read.size() == image.size(), qPrintable(QString::number(n)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestGifBmp)
#include "test_gifbmp.moc"
