// What a transfer sends of a picture: the bytes earlier versions sent of
// every picture they encoded and that has no turn, the picture turned
// upright by its EXIF orientation (with what earlier versions sent beside
// it), camera photos and grey or palette pictures beyond the old decoder's
// limit scaled like any other, hostile files sent as they are without
// being decoded (told by their headers, also where only their scans or
// chunks together cost too much), a decode that ends once told to stop,
// before the next scan, and cut or crafted files that give a clear result.
#include "pictures/imageencoding.h"
#include "pictures/picturedecode.h"
#include "pictures/picturelayout.h"
#include "pictures/picturereader.h"

#include "testpictures.h"
#include "testsupport.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

using namespace Qt::StringLiterals;
using Result = EncodedImage::Result;

namespace {

const QString kJpeg = u"image/jpeg"_s;
const QString kPng = u"image/png"_s;

// Grey, with a red block at the top left corner and a green one at the top
// right.
QImage photo(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(Qt::gray);
    const int side = qMin(width, height) / 8;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            image.setPixel(x, y, qRgb(255, 0, 0));
            image.setPixel(width - 1 - x, y, qRgb(0, 255, 0));
        }
    }
    return image;
}

QByteArray bytesOf(const QImage& image, const char* format = "JPG", bool progressive = false)
{
    return testpictures::encoded(image, format, progressive);
}

// The JPEG's frame saying another size, and all components at full
// resolution unless asked to keep their sampling.
QByteArray withFrame(const QByteArray& jpeg, int width, int height, bool fullColour = true)
{
    QByteArray patched = jpeg;
    qsizetype sof = patched.indexOf("\xFF\xC0"_ba);
    if (sof < 0)
        sof = patched.indexOf("\xFF\xC2"_ba);
    qToBigEndian<quint16>(quint16(height), patched.data() + sof + 5);
    qToBigEndian<quint16>(quint16(width), patched.data() + sof + 7);
    for (int c = 0; fullColour && c < uchar(patched[sof + 9]); ++c)
        patched[sof + 11 + 3 * c] = 0x11;
    return patched;
}

// A progressive JPEG of side x side at 4:2:0 of no data: dcScans scans
// of the DC coefficients, then, when asked, every AC coefficient.
QByteArray emptyScans(int side, int dcScans, bool everyCoefficient = false)
{
    return testpictures::emptyScans(side, side, dcScans, everyCoefficient);
}

// A baseline JPEG of width x height at 4:4:4 of no data, coded
// arithmetically.
QByteArray arithmetic(int width, int height)
{
    return testpictures::codedArithmetically(testpictures::craftedJpeg(width, height, {{1}, {2}, {3}}, {{{1, 2, 3}}}));
}

// The photo as a palette picture (of its three colours).
QImage paletted(int width, int height)
{
    return photo(width, height).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

// The JPEG with so many comments of 65533 bytes after its SOI.
QByteArray withComments(const QByteArray& jpeg, int count)
{
    const QByteArray comment = "\xFF\xFE\xFF\xFF"_ba + QByteArray(65533, 'c');
    return jpeg.left(2) + comment.repeated(count) + jpeg.mid(2);
}

// A PNG with so many texts long enough that the writer compresses them.
QByteArray pngWithTexts(int texts)
{
    QImage image = photo(1200, 900);
    for (int i = 0; i < texts; ++i)
        image.setText(u"Key%1"_s.arg(i), u"A text long enough that the writer compresses it."_s);
    return bytesOf(image, "PNG");
}

// What earlier versions sent of the file.
QByteArray oldEncoding(const QString& path, const QString& mime)
{
    QImage image;
    for (const char* format : {"JPG", "PNG"}) {
        QImageReader reader(path, format);
        reader.setAutoDetectImageFormat(false);
        if (reader.read(&image))
            break;
    }
    if (image.isNull())
        return QByteArray();
    if (qMax(image.width(), image.height()) > 1080) {
        image = image.width() <= image.height() ? image.scaledToHeight(1080, Qt::FastTransformation)
                                                : image.scaledToWidth(1080, Qt::FastTransformation);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, mime.endsWith(u"png"_s) ? "PNG" : "JPG");
    return bytes;
}

// The corners of the red and the green block ("TL TR": red top left, green
// top right).
QString markers(const QImage& image)
{
    QString red = u"?"_s, green = u"?"_s;
    for (const auto& [name, x, y] :
         {std::tuple(u"TL"_s, 3, 3), std::tuple(u"TR"_s, image.width() - 4, 3),
          std::tuple(u"BL"_s, 3, image.height() - 4), std::tuple(u"BR"_s, image.width() - 4, image.height() - 4)}) {
        const QColor c = image.pixelColor(x, y);
        if (c.red() > 180 && c.green() < 90 && c.blue() < 90)
            red = name;
        if (c.green() > 180 && c.red() < 90 && c.blue() < 90)
            green = name;
    }
    return red + u' ' + green;
}

// A picture's bytes that count what is read of them, and set a flag once a
// read reaches stopAt for the pass-th time (the header walk reads a JPEG
// whole before the decoder reads it). (Not a QBuffer, whose data readers
// may take without reading.)
class WatchedBytes : public QIODevice {
public:
    WatchedBytes(const QByteArray& bytes, qint64 stopAt, std::atomic_bool* stop, int pass = 1)
        : m_bytes(bytes)
        , m_stopAt(stopAt)
        , m_stop(stop)
        , m_pass(pass)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    qint64 size() const override { return m_bytes.size(); }
    qint64 bytesRead = 0;
    // Since the read that set the flag: the bytes read from stopAt on, and
    // where the furthest read ended.
    qint64 readFromStop = 0;
    qint64 furthest = -1;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 at = pos();
        const qint64 n = qBound<qint64>(0, m_bytes.size() - at, maxSize);
        std::memcpy(data, m_bytes.constData() + at, size_t(n));
        bytesRead += n;
        if (at <= m_stopAt && at + n > m_stopAt && --m_pass == 0)
            *m_stop = true;
        if (m_pass <= 0) {
            readFromStop += qMax<qint64>(0, at + n - qMax(at, m_stopAt));
            furthest = qMax(furthest, at + n);
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_stopAt;
    std::atomic_bool* m_stop;
    int m_pass;
};

} // namespace

class TestImageEncoding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_dir = testsupport::makeTempDir(u"pictures"_s); }

    void sentAsEarlierVersionsSentIt_turnedUpright_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("mime");
        QTest::addColumn<QString>("corners"); // of the markers in what is sent
        QTest::addColumn<bool>("before"); // whether earlier versions encoded it
        const auto row = [](const char* name, const QByteArray& file, const QString& corners = u"TL TR"_s,
                            const QString& mime = kJpeg,
                            bool before = true) { QTest::newRow(name) << file << mime << corners << before; };
        // Shapes phones take; Qt rounds the scaled side, so that 16:9 and
        // 8000x1500 come out one longer than integer arithmetic makes them.
        row("16:9, 1920x1080", bytesOf(photo(1920, 1080)));
        row("16:9, 4000x2250", bytesOf(photo(4000, 2250)));
        row("9:16, 1080x1920", bytesOf(photo(1080, 1920)));
        row("3:2, 3000x2000", bytesOf(photo(3000, 2000)));
        row("square", bytesOf(photo(3000, 3000)));
        row("panorama", bytesOf(photo(8000, 1500)));
        row("small", bytesOf(photo(800, 600)));
        row("PNG", bytesOf(photo(2560, 1440), "PNG"), u"TL TR"_s, kPng);
        row("PNG sent as JPEG", bytesOf(photo(1600, 1200), "PNG"));
        row("JPEG sent as PNG", bytesOf(photo(1600, 1200)), u"TL TR"_s, kPng);
        row("grey", bytesOf(photo(2000, 1500, QImage::Format_Grayscale8)), u"? ?"_s);
        row("progressive", bytesOf(photo(3000, 2000), "JPG", true));
        row("cut short in its data", bytesOf(photo(2000, 1500)).chopped(5000));
        row("copy of a copy", encodeImage(bytesOf(photo(2000, 1500)), kJpeg).upright);
        row("100 scans", testpictures::withScans(bytesOf(photo(1200, 900), "JPG", true), kMaxJpegScans));
        row("PNG of 32 compressed texts", pngWithTexts(kMaxPngCompressedChunks), u"TL TR"_s, kPng);
        // Turned as EXIF orientations say.
        const QByteArray small = bytesOf(photo(400, 300));
        const char* const turns[] = {"TL TR", "TR TL", "BR BL", "BL BR", "TL BL", "TR BR", "BR TR", "BL TL"};
        for (int o = 1; o <= 8; ++o)
            QTest::addRow("orientation %d", o)
                << testpictures::withOrientation(small, o) << kJpeg << QString::fromLatin1(turns[o - 1]) << true;
        row("orientation 6, little-endian", testpictures::withOrientation(small, 6, true), u"TR BR"_s);
        row("3:4, stored 4:3 turned by 6", testpictures::withOrientation(bytesOf(photo(4000, 3000)), 6), u"TR BR"_s);
        row("3:4, stored 4:3 turned by 8", testpictures::withOrientation(bytesOf(photo(4000, 3000)), 8), u"BL TL"_s);
        // Beyond what earlier versions decoded (128 MB as decoded).
        const QByteArray camera = bytesOf(photo(8000, 6000));
        row("48 MP", camera, u"TL TR"_s, kJpeg, false);
        row("48 MP turned by 6", testpictures::withOrientation(camera, 6), u"TR BR"_s, kJpeg, false);
        row("48 MP progressive", bytesOf(photo(8000, 6000), "JPG", true), u"TL TR"_s, kJpeg, false);
        row("35 MP of odd sides", bytesOf(photo(6001, 5601)), u"TL TR"_s, kJpeg, false);
        row("PNG of 34 MP", bytesOf(photo(5800, 5800), "PNG"), u"TL TR"_s, kPng, false);
        // Qt's allocation limit counts them at 32 bits a pixel too.
        row("grey JPEG of 35 MP", bytesOf(photo(6800, 5100, QImage::Format_Grayscale8)), u"? ?"_s, kJpeg, false);
        row("palette PNG of 35 MP", bytesOf(paletted(6000, 5800), "PNG"), u"TL TR"_s, kPng, false);
    }

    void sentAsEarlierVersionsSentIt_turnedUpright()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, mime);
        QFETCH(QString, corners);
        QFETCH(bool, before);
        const QString path = writePicture(file);
        const ImageHeader header = readImageHeader(path);
        QVERIFY(header.isEncoded());
        const EncodedImage sent = encodeImage(path, mime, true);
        QCOMPARE(sent.result, Result::Encoded);
        const EncodedImage fromBytes = encodeImage(file, mime, true);
        QCOMPARE(fromBytes.upright, sent.upright);
        QCOMPARE(fromBytes.unturned, sent.unturned);

        const QImage upright = QImage::fromData(sent.upright);
        QCOMPARE(upright.size(), sentSize(header));
        QCOMPARE(markers(upright), corners);
        QCOMPARE(sent.unturned.isEmpty(), !header.turns());
        if (header.turns())
            QCOMPARE(QImage::fromData(sent.unturned).size(), sentSize(header, false));
        const QByteArray old = oldEncoding(path, mime);
        QCOMPARE(!old.isEmpty(), before);
        if (before)
            QCOMPARE(header.turns() ? sent.unturned : sent.upright, old);
    }

    void hostileOrBrokenFilesGoAsTheyAre_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("before"); // whether earlier versions decoded it (slowly)
        QTest::addColumn<int>("mostRead"); // bytes read to tell; -1: not checked
        // A compressed SVG, which a reader picking by content inflates and
        // parses whole.
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='9000' height='9000'>"
            + "<rect width='9000' height='9000' fill='red'/>"_ba.repeated(20000) + "</svg>";
        QTest::newRow("svgz") << "\x1F\x8B\x08\0\0\0\0\0\0\x03"_ba + qCompress(svg).mid(6) << false << 8;
        QTest::newRow("empty") << QByteArray() << false << 8;
        QTest::newRow("text") << "not a picture"_ba << false << 8;
        QTest::newRow("BMP") << bytesOf(photo(300, 200), "BMP") << false << 8;
        QTest::newRow("JPEG cut in its header") << bytesOf(photo(300, 200)).left(100) << false << -1;
        QTest::newRow("PNG cut before its data") << bytesOf(photo(300, 200), "PNG").left(40) << false << -1;
        const QByteArray progressive = bytesOf(photo(1200, 900), "JPG", true);
        QTest::newRow("101 scans") << testpictures::withScans(progressive, kMaxJpegScans + 1) << true << -1;
        QTest::newRow("PNG of 33 compressed texts") << pngWithTexts(kMaxPngCompressedChunks + 1) << true << -1;
        QTest::newRow("JPEG of 400 MP") << withFrame(bytesOf(photo(300, 200)), 20000, 20000) << false << -1;
        // Its coefficients alone (16000 x 16000 x 3 components x 2 bytes)
        // are more than the budget.
        QTest::newRow("progressive JPEG of 256 MP") << withFrame(progressive, 16000, 16000) << false << -1;
    }

    void hostileOrBrokenFilesGoAsTheyAre()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, before);
        QFETCH(int, mostRead);
        const QString path = writePicture(file);
        QVERIFY(!readImageHeader(path).isEncoded());
        QCOMPARE(encodeImage(path, kJpeg).result, Result::AsItIs);
        QCOMPARE(encodeImage(file, kPng).result, Result::AsItIs);
        QCOMPARE(!oldEncoding(path, kJpeg).isEmpty(), before);
        if (mostRead >= 0) {
            std::atomic_bool unused = false;
            WatchedBytes watched(file, file.size(), &unused);
            QVERIFY(!readImageHeader(watched).isEncoded());
            QVERIFY2(watched.bytesRead <= mostRead, qPrintable(QString::number(watched.bytesRead)));
        }
        QCOMPARE(encodeImage(m_dir + u"/gone.jpg"_s, kJpeg).result, Result::AsItIs);
        QVERIFY(!readImageHeader(m_dir + u"/gone.jpg"_s).isEncoded());
    }

    // What a decode would cost is counted from the header before it starts:
    // pictures within the bounds of pixels, scans and their image's memory
    // whose scans together, or whose texts and chunks kept beside the
    // picture, would cost beyond the bounds go as they are; camera photos
    // stay within them.
    void decodesBeyondTheBoundsAreToldByTheirHeaders_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("encoded");
        // 256 MP of one sample each, and a pass that makes the picture of
        // all the scans: 15 scans are within the work bound, 16 beyond it,
        // and 100 (0.5 MB) far beyond.
        QTest::newRow("256 MP grey of 100 scans") << testpictures::greyScans(16000, 16000, 99) << false;
        QTest::newRow("256 MP grey of 16 scans") << testpictures::greyScans(16000, 16000, 15) << false;
        QTest::newRow("256 MP grey of 15 scans") << testpictures::greyScans(16000, 16000, 14) << true;
        // 16384 x 16384 at 4:2:0: each scan 402 M samples, 4.02 G of them
        // and 4.43 G with the pass that makes the picture.
        QTest::newRow("4:2:0 of 10 empty DC scans") << emptyScans(16384, 10) << false;
        // 14944 x 14944 at 4:2:0: 335 M samples a pass. The last of 12
        // passes tips it over.
        QTest::newRow("10 DC scans and every coefficient") << emptyScans(14944, 10, true) << true;
        QTest::newRow("11 DC scans and every coefficient") << emptyScans(14944, 11, true) << false;
        // What no camera writes: libjpeg gives each scan of the repeated id
        // another component (here of four times the samples).
        const auto ids = [](int second) {
            return testpictures::craftedJpeg(64, 64, {{1}, {second, 2, 2}, {3}},
                                             {{{1, second, 3}, 0, 0}, {{1}, 1, 63}, {{second}, 1, 63}, {{3}, 1, 63}},
                                             true);
        };
        QTest::newRow("repeated component ids") << ids(1) << false;
        QTest::newRow("distinct component ids") << ids(2) << true;
        // Ten scans, every component at full resolution: 618 MB of
        // coefficients, and 72 MB of comments, which libjpeg keeps and Qt
        // copies, are too many beside them.
        const QByteArray progressive = bytesOf(photo(1200, 900), "JPG", true);
        QTest::newRow("108 MP progressive") << withFrame(progressive, 12000, 9000) << true;
        QTest::newRow("108 MP progressive with comments")
            << withComments(withFrame(progressive, 12000, 9000), 1100) << false;
        QTest::newRow("200 MP progressive at 4:2:0") << withFrame(progressive, 16320, 12240, false) << true;
        // 916 MB of coefficients.
        QTest::newRow("160 MP progressive") << withFrame(progressive, 16000, 10000) << false;
        // 639 and 640.3 MB of coefficients.
        QTest::newRow("every coefficient, 639 MB") << emptyScans(14944, 1, true) << true;
        QTest::newRow("every coefficient, 640.3 MB") << emptyScans(14960, 1, true) << false;
        // Made in one stretch (192 and 192.8 MB of coefficients): of one
        // scan, which clears them and makes the picture, and smoothed.
        QTest::newRow("one scan, 192 MB") << emptyScans(8192, 1) << true;
        QTest::newRow("one scan, 192.8 MB") << emptyScans(8208, 1) << false;
        QTest::newRow("smoothed, 192 MB") << emptyScans(8192, 2) << true;
        QTest::newRow("smoothed, 192.8 MB") << emptyScans(8208, 2) << false;
        // Decoded whole, as earlier versions did, or not at all.
        QTest::newRow("arithmetic, 8192 x 4096") << arithmetic(8192, 4096) << true;
        QTest::newRow("arithmetic, 8192 x 4097") << arithmetic(8192, 4097) << false;
        const QByteArray png = bytesOf(photo(300, 200), "PNG");
        QTest::newRow("PNG whose chunk claims 2 GB") << testpictures::withLongChunk(png, 2147483000u) << false;
        QTest::newRow("PNG cut in its data") << png.left(png.indexOf("IDAT") + 100) << false;
        // 30 compressed texts of 7.6 MB, which the decoder would hold
        // several times over.
        QTest::newRow("PNG of 30 texts of 7.6 MB") << testpictures::withTexts(png, 30, 7600000) << false;
    }

    void decodesBeyondTheBoundsAreToldByTheirHeaders()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, encoded);
        QCOMPARE(readImageHeader(file).isEncoded(), encoded);
        if (!encoded)
            QCOMPARE(encodeImage(file, kJpeg).result, Result::AsItIs);
    }

    // The stop is set once the decoder reads the middle of the picture
    // (where its header says nothing): the rest is never read.
    void aStopEndsTheDecode_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("stoppedBefore");
        QTest::newRow("JPEG decoded whole") << bytesOf(photo(4000, 3000)) << false;
        QTest::newRow("JPEG decoded reduced") << bytesOf(photo(8000, 6000)) << false;
        QTest::newRow("stopped before it began") << bytesOf(photo(4000, 3000)) << true;
    }

    void aStopEndsTheDecode()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, stoppedBefore);
        QCOMPARE(encodeImage(file, kJpeg).result, Result::Encoded);
        std::atomic_bool stop = stoppedBefore;
        const qint64 middle = file.size() / 2;
        WatchedBytes watched(file, middle, &stop, 2);
        const EncodedImage sent = encodeImage(watched, kJpeg, true, &stop);
        QCOMPARE(sent.result, Result::Stopped);
        QVERIFY(sent.upright.isEmpty());
        if (stoppedBefore)
            QCOMPARE(watched.bytesRead, 0);
        QVERIFY2(watched.readFromStop < file.size() - middle,
                 qPrintable(u"%1 of %2"_s.arg(watched.readFromStop).arg(file.size() - middle)));
    }

    // The decoder asks for more before each scan and finds the stop there:
    // set as it reaches a scan, nothing of the next is read, also where
    // the scans hold next to no data (and the rest would be decoded from
    // what was read already).
    void aStopIsHeardBeforeTheNextScan_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("grey, scans of a few bytes") << testpictures::greyScans(4096, 4096, 40);
        QTest::newRow("progressive photo") << bytesOf(photo(3000, 2000), "JPG", true);
    }

    void aStopIsHeardBeforeTheNextScan()
    {
        QFETCH(QByteArray, file);
        QList<qint64> scans;
        for (qsizetype at = file.indexOf("\xFF\xDA"_ba); at >= 0; at = file.indexOf("\xFF\xDA"_ba, at + 2))
            scans << at;
        QVERIFY(scans.size() >= 8);
        QCOMPARE(encodeImage(file, kJpeg).result, Result::Encoded);
        for (const int n : {1, 5}) {
            std::atomic_bool stop = false;
            WatchedBytes watched(file, scans.at(n), &stop, 2);
            QCOMPARE(encodeImage(watched, kJpeg, false, &stop).result, Result::Stopped);
            QVERIFY2(watched.furthest > 0 && watched.furthest <= scans.at(n + 1),
                     qPrintable(u"scan %1 at %2, the next at %3, read to %4"_s.arg(n)
                                    .arg(scans.at(n))
                                    .arg(scans.at(n + 1))
                                    .arg(watched.furthest)));
        }
    }

    // Once stopped, the decoder is never let make the picture of what it
    // read (libjpeg would in a pass over every sample, without a read):
    // stopped as it reads a scan, the last scan of a photo or the middle
    // of a picture of one scan, the decode ends without a picture, and no
    // read goes past the next scan or the end of the picture.
    void aStoppedDecodeMakesNoPicture_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("stopAt"); // the decoder's read over it sets the stop
        QTest::addColumn<qint64>("mostRead");
        const auto scans = [](const QByteArray& file) {
            QList<qint64> at;
            for (qsizetype i = file.indexOf("\xFF\xDA"_ba); i >= 0; i = file.indexOf("\xFF\xDA"_ba, i + 2))
                at << i;
            return at;
        };
        const QByteArray empty = emptyScans(2048, 8);
        QTest::newRow("empty DC scans") << empty << scans(empty).at(2) << scans(empty).at(3);
        const QByteArray progressive = bytesOf(photo(1200, 900), "JPG", true);
        QTest::newRow("progressive photo") << progressive << scans(progressive).at(2) << scans(progressive).at(3);
        // Its last scan's data come in one read.
        const QByteArray small = bytesOf(photo(64, 48), "JPG", true);
        const qint64 last = scans(small).constLast();
        QTest::newRow("progressive photo, in its last scan")
            << small << last + 2 + (uchar(small[last + 2]) << 8 | uchar(small[last + 3])) << qint64(small.size() - 2);
        const QByteArray baseline = bytesOf(photo(2000, 1500));
        QTest::newRow("baseline photo") << baseline << qint64(baseline.size() / 2) << qint64(baseline.size() - 2);
    }

    void aStoppedDecodeMakesNoPicture()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, stopAt);
        QFETCH(qint64, mostRead);
        QLoggingCategory::setFilterRules(u"qt.gui.imageio.jpeg.warning=false"_s); // its complaint of the stop
        const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        std::atomic_bool stop = false;
        WatchedBytes watched(file, stopAt, &stop, 2);
        pictures::StoppableSource source(watched, &stop);
        const pictures::Layout layout = pictures::readLayout(source);
        QVERIFY(layout.header.isEncoded());
        source.readyFor(layout);
        const QImage made = pictures::decode(source, layout);
        QVERIFY(stop);
        QVERIFY(made.isNull());
        QVERIFY2(watched.furthest <= mostRead, qPrintable(u"read to %1 of %2"_s.arg(watched.furthest).arg(mostRead)));
    }

    // Damage anywhere in a photo's scans (bytes overwritten, markers put
    // in, of lengths short or past the end of the file, the file cut at
    // any byte): what Qt's JPEG reader decodes is encoded.
    void damagedPhotosThatTheReaderDecodesAreEncoded()
    {
        QLoggingCategory::setFilterRules(u"qt.gui.imageio.jpeg.warning=false"_s);
        const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        const QList<QByteArray> photos {bytesOf(photo(320, 240)), bytesOf(photo(320, 240), "JPG", true),
                                        testpictures::withOrientation(bytesOf(photo(200, 120), "JPG", true), 6),
                                        bytesOf(photo(240, 200, QImage::Format_Grayscale8))};
        // APPn, COM, SOI, frames, tables, scans, reserved and parameterless
        // markers, the lengths of some past the end of the file or short.
        const QList<QByteArray> markers {"\xFF\xE1\xFF\xFF"_ba,
                                         "\xFF\xE1\x00\x01"_ba,
                                         "\xFF\xE0\x00\x00"_ba,
                                         "\xFF\xFE\xFF\xF0"_ba,
                                         "\xFF\xE2\x40\x00"_ba,
                                         "\xFF\xEC\xFF\xFF"_ba,
                                         "\xFF\xD8"_ba,
                                         "\xFF\xC0\x00\x11"_ba,
                                         "\xFF\xC2\xFF\xFF"_ba,
                                         "\xFF\xC3\x00\x0B"_ba,
                                         "\xFF\xC4\x00\x00"_ba,
                                         "\xFF\xDB\xFF\xFF"_ba,
                                         "\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00"_ba,
                                         "\xFF\xDA\x00\x08\x01\x09\x00\x00\x3F\x00"_ba,
                                         "\xFF\xDD\x00\x04\x00\x01"_ba,
                                         "\xFF\xDC\x00\x01"_ba,
                                         "\xFF\x05\x7F\xFF"_ba,
                                         "\xFF\xF3\x00\x04"_ba,
                                         "\xFF\x01"_ba,
                                         "\xFF\xD3"_ba,
                                         "\xFF\xD9"_ba};
        QRandomGenerator random(57);
        int decoded = 0;
        const auto check = [&](const QByteArray& damaged, const QString& how) {
            QBuffer buffer;
            buffer.setData(damaged);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer, "JPG");
            reader.setAutoDetectImageFormat(false);
            QImage image;
            if (!reader.read(&image))
                return true;
            ++decoded;
            const bool encoded = encodeImage(damaged, kJpeg).result == Result::Encoded;
            if (!encoded)
                qWarning("decoded but not encoded: %s", qPrintable(how));
            return encoded;
        };
        bool all = true;
        for (qsizetype p = 0; p < photos.size(); ++p) {
            const QByteArray& original = photos.at(p);
            const qsizetype sos = original.indexOf("\xFF\xDA"_ba);
            const qsizetype data = sos + 2 + (uchar(original[sos + 2]) << 8 | uchar(original[sos + 3]));
            for (int i = 0; i < 240; ++i) {
                QByteArray damaged = original;
                const qsizetype at = data + random.bounded(original.size() - 2 - data);
                QString how = u"photo %1, at %2:"_s.arg(p).arg(at);
                if (i % 3 != 1) {
                    const int count = 1 + random.bounded(8);
                    for (int k = 0; k < count && at + k < damaged.size() - 2; ++k)
                        damaged[at + k] = char(random.bounded(256));
                    how += u" %1 bytes overwritten"_s.arg(count);
                }
                if (i % 3 != 0) {
                    const QByteArray& marker = markers.at(random.bounded(markers.size()));
                    damaged.insert(at, marker);
                    how += u" marker "_s + QString::fromLatin1(marker.toHex(' '));
                }
                all = check(damaged, how) && all;
            }
            for (qsizetype n = original.size() - 300; n < original.size(); ++n) {
                all = check(original.left(n), u"photo %1 cut at %2"_s.arg(p).arg(n)) && all;
                const QByteArray& marker = markers.at(n % markers.size());
                all = check(original.left(n) + marker,
                            u"photo %1 cut at %2, then %3"_s.arg(p).arg(n).arg(QString::fromLatin1(marker.toHex(' '))))
                    && all;
            }
        }
        QVERIFY2(decoded > 1000, qPrintable(QString::number(decoded)));
        QVERIFY(all);
    }

    // What a transfer makes of a picture is a function of its bytes alone.
    // Encoded in two processes whose heaps hold other leftovers (glibc
    // fills what it hands out with a byte MALLOC_PERTURB_ gives), each of
    // these comes out the same: PNGs of every colour type and bit depth,
    // with and without a transparent colour, of widths at every remainder
    // of 8, scaled or not, and JPEGs of every sampling, turned or not.
    void anEncodingIsAFunctionOfTheBytesAlone()
    {
        QStringList paths;
        const auto add = [&](const QString& name, const QByteArray& bytes) { paths << writePicture(bytes, name); };
        for (const auto& [type, depth] :
             {std::pair(0, 1), std::pair(0, 2), std::pair(0, 4), std::pair(0, 8), std::pair(0, 16), std::pair(3, 1),
              std::pair(3, 2), std::pair(3, 4), std::pair(3, 8), std::pair(2, 8), std::pair(2, 16), std::pair(4, 8),
              std::pair(4, 16), std::pair(6, 8), std::pair(6, 16)}) {
            const QString name = u"type%1-depth%2"_s.arg(type).arg(depth);
            for (int width = 40; width < 48; ++width) {
                add(u"%1-%2.png"_s.arg(name).arg(width), testpictures::pngOf(width, 7, type, depth, false, width));
                if (type == 0 || type == 2 || type == 3)
                    add(u"%1-%2-transparent.png"_s.arg(name).arg(width),
                        testpictures::pngOf(width, 7, type, depth, true, width));
            }
            add(u"%1-scaled.png"_s.arg(name), testpictures::pngOf(1203, 5, type, depth));
        }
        const QList<QList<testpictures::JpegComponent>> samplings {
            {{1}, {2}, {3}}, {{1, 2, 1}, {2}, {3}}, {{1, 2, 2}, {2}, {3}}, {{1, 1, 2}, {2}, {3}}, {{1, 4, 1}, {2}, {3}},
            {{1}},           {{1}, {2}, {3}, {4}}};
        for (qsizetype s = 0; s < samplings.size(); ++s) {
            const auto& components = samplings.at(s);
            QList<int> ids;
            for (const auto& c : components)
                ids << c.id;
            for (int width = 40; width < 48; ++width) {
                const QByteArray data = testpictures::flatBlocks(width, 30, components, [](int c, int x, int y) {
                    return ((x * 37 + y * 91 + c * 53) % 200 - 100) * 8;
                });
                add(u"sampling%1-%2.jpg"_s.arg(s).arg(width),
                    testpictures::craftedJpeg(width, 30, components, {{ids, 0, 63, 0, 0, data}}));
            }
        }
        add(u"turned.jpg"_s, testpictures::withOrientation(bytesOf(photo(1203, 801), "JPG", true), 6));

        const auto digests = [&paths](const QString& perturb) {
            QProcess tool;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"MALLOC_PERTURB_"_s, perturb);
            tool.setProcessEnvironment(environment);
            tool.start(QStringLiteral(PICTURE_DIGEST), paths);
            if (!tool.waitForFinished(testsupport::kHangGuardMs)) // a hang guard
                tool.kill();
            return QString::fromLatin1(tool.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        };
        const QStringList first = digests(u"85"_s);
        const QStringList second = digests(u"170"_s);
        QCOMPARE(first.size(), paths.size() * 2);
        QCOMPARE(second.size(), first.size());
        int differ = 0;
        for (qsizetype i = 0; i < first.size(); ++i) {
            QVERIFY2(first.at(i).contains(u" encoded "_s), qPrintable(first.at(i)));
            if (first.at(i) != second.at(i)) {
                qWarning("%s\n%s", qPrintable(first.at(i)), qPrintable(second.at(i)));
                ++differ;
            }
        }
        QCOMPARE(differ, 0);
    }

    // Whatever a file is cut to, or crafted to say of its size or
    // orientation, it is encoded as its header says or goes as it is.
    void cutOrCraftedFilesGiveAClearResult()
    {
        QLoggingCategory::setFilterRules(u"qt.gui.imageio.jpeg.warning=false"_s); // a complaint of each cut
        const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        const QByteArray jpeg = testpictures::withOrientation(bytesOf(photo(64, 48), "JPG", true), 6);
        const QByteArray png = bytesOf(photo(64, 48), "PNG");
        QList<QByteArray> files;
        for (const QByteArray& file : {jpeg, png}) {
            for (qsizetype n = 0; n <= file.size(); ++n)
                files << file.left(n);
        }
        for (const auto& [width, height] : {std::pair(1, 65500), std::pair(65500, 1), std::pair(0, 48),
                                            std::pair(16384, 16384), std::pair(1000001, 1)}) {
            files << withFrame(bytesOf(photo(64, 48)), width, height);
            QByteArray patched = png;
            qToBigEndian<quint32>(quint32(width), patched.data() + 16);
            qToBigEndian<quint32>(quint32(height), patched.data() + 20);
            qToBigEndian<quint32>(testpictures::pngCrc(patched.mid(12, 17)), patched.data() + 29);
            files << patched;
        }
        // The orientation's value and type, the directory's count and place.
        const qsizetype tiff = jpeg.indexOf("MM");
        for (const auto& [at, bytes] : {std::pair(18, "\0\0"_ba), std::pair(18, "\0\x09"_ba), std::pair(12, "\0\4"_ba),
                                        std::pair(8, "\xFF\xFF"_ba), std::pair(4, "\x7F\xFF\xFF\xFF"_ba)})
            files << QByteArray(jpeg).replace(tiff + at, bytes.size(), bytes);
        for (qsizetype i = 0; i < files.size(); ++i) {
            const ImageHeader header = readImageHeader(files.at(i));
            const EncodedImage sent = encodeImage(files.at(i), kJpeg);
            QVERIFY2(sent.result == Result::AsItIs
                         || (sent.result == Result::Encoded && header.isEncoded()
                             && QImage::fromData(sent.upright).size() == sentSize(header)),
                     qPrintable(u"file %1"_s.arg(i)));
        }
    }

    // A file cut inside a scan's header ends the walk there, as a cut
    // elsewhere does: the scan counted as a pass over every component, the
    // decode left to decide.
    void aCutScanHeaderEndsTheWalk()
    {
        QLoggingCategory::setFilterRules(u"qt.gui.imageio.jpeg.warning=false"_s);
        const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        const QByteArray jpeg = bytesOf(photo(64, 48), "JPG", true);
        const auto layoutOf = [](QByteArray bytes) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            return pictures::readLayout(buffer);
        };
        const qsizetype second = jpeg.indexOf("\xFF\xDA"_ba, jpeg.indexOf("\xFF\xDA"_ba) + 2);
        QVERIFY(second > 0);
        const qint64 before = layoutOf(jpeg.left(second)).work;
        const qsizetype length = qFromBigEndian<quint16>(jpeg.constData() + second + 2);
        for (qsizetype n = second + 4; n < second + 2 + length; ++n) {
            const pictures::Layout cut = layoutOf(jpeg.left(n));
            QVERIFY2(cut.header.isEncoded() && cut.work > before, qPrintable(QString::number(n)));
            const EncodedImage sent = encodeImage(jpeg.left(n), kJpeg);
            QVERIFY(sent.result == Result::AsItIs || QImage::fromData(sent.upright).size() == QSize(64, 48));
        }
    }

    // A scan header shorter than its fields (of none at all) ends the
    // walk: the first scan of a picture of one scan leaves the decode to
    // judge it (libjpeg fails at it), a later one refuses the picture.
    void aScanHeaderShorterThanItsFieldsEndsTheWalk()
    {
        QLoggingCategory::setFilterRules(u"qt.gui.imageio.jpeg.warning=false"_s);
        const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        const auto layoutOf = [](QByteArray bytes) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            return pictures::readLayout(buffer);
        };
        // The scan header at this SOS marker cut to these bytes.
        const auto shortened = [](QByteArray jpeg, qsizetype sos, const QByteArray& fields) {
            const qsizetype length = qFromBigEndian<quint16>(jpeg.constData() + sos + 2);
            return jpeg.replace(sos + 2, length, testpictures::field(quint32(2 + fields.size()), 2, false) + fields);
        };
        for (const QByteArray& fields : {QByteArray(), "\x01"_ba}) {
            const QByteArray baseline = bytesOf(photo(64, 48));
            const QByteArray first = shortened(baseline, baseline.indexOf("\xFF\xDA"_ba), fields);
            QCOMPARE(layoutOf(first).header.size, QSize(64, 48));
            QVERIFY(readPictureBytes(first).isNull());
            const QByteArray progressive = bytesOf(photo(64, 48), "JPG", true);
            const QByteArray later = shortened(
                progressive, progressive.indexOf("\xFF\xDA"_ba, progressive.indexOf("\xFF\xDA"_ba) + 2), fields);
            QVERIFY(!layoutOf(later).header.isEncoded());
            QCOMPARE(encodeImage(later, kJpeg).result, Result::AsItIs);
        }
    }

private:
    QString writePicture(const QByteArray& bytes, const QString& name = u"picture"_s)
    {
        const QString path = m_dir + u"/"_s + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

    QString m_dir;
};

QTEST_MAIN(TestImageEncoding)
#include "test_imageencoding.moc"
