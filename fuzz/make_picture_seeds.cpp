// Writes the seeds of the picture reader's fuzz targets into the seed
// folder given (fuzz/seeds): pictures as cameras, editors and Qt's writers
// make them and crafted ones of the kinds the reader has failed at, cut
// BMPs of every header and depth, RLE BMPs cut, ended early or with their
// data beyond the file, BMPs and a PNG whose values pass their colour
// table, a progressive JPEG cut inside a scan header, one whose scan
// header is empty, GIFs animated, interlaced, damaged, and one whose LZW
// codes make far more pixels than its frame holds. The files are
// committed; run this again after changing it:
//   cmake --build build-fuzz --target make_picture_seeds
//   build-fuzz/fuzz-bin/make_picture_seeds fuzz/seeds
#include "testpictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <cstdio>
#include <utility>

using testpictures::field;

namespace {

QByteArray le(qint64 value, int bytes)
{
    return field(quint32(value), bytes, true);
}

// A picture of a few colours and fine detail, as an index 0..colours-1 of
// each pixel.
int indexAt(int x, int y, int colours)
{
    return (x * 3 + y * 5 + (x * y) % 7) % colours;
}

QRgb colourAt(int x, int y)
{
    return qRgb((x * 37 + y * 11) & 0xFF, (x * 5 + y * 41) & 0xFF, ((x ^ y) * 29) & 0xFF);
}

// ---- BMP ----------------------------------------------------------------

struct Bmp {
    int headerSize = 40; // 12 (OS/2), 40, 108 or 124
    int width = 0;
    int height = 0; // negative: stored top down
    int bits = 24;
    int compression = 0; // 0, 1 (RLE8), 2 (RLE4) or 3 (bit fields)
    QByteArray masks {}; // red, green, blue (and alpha) of bit fields
    QByteArray palette {}; // as stored: 4 bytes an entry, 3 with an OS/2 header
    QByteArray data {}; // the pixels
    qint64 dataAt = -1; // where the pixels are said to begin; -1: after the palette
};

QByteArray bmpFile(const Bmp& bmp)
{
    QByteArray header;
    if (bmp.headerSize == 12) {
        header = le(12, 4) + le(bmp.width, 2) + le(bmp.height, 2) + le(1, 2) + le(bmp.bits, 2);
    } else {
        const int entries = int(bmp.palette.size() / 4);
        header = le(bmp.headerSize, 4) + le(bmp.width, 4) + le(bmp.height, 4) + le(1, 2) + le(bmp.bits, 2)
            + le(bmp.compression, 4) + le(bmp.data.size(), 4) + le(2835, 4) + le(2835, 4) + le(entries, 4) + le(0, 4);
        if (bmp.headerSize >= 108) {
            header += bmp.masks.leftJustified(16, '\0', true) + le(0x73524742, 4) + QByteArray(36 + 12, '\0');
            if (bmp.headerSize == 124)
                header += le(4, 4) + QByteArray(12, '\0');
        } else if (bmp.compression == 3) {
            header += bmp.masks.left(12);
        }
    }
    const qint64 dataAt = bmp.dataAt >= 0 ? bmp.dataAt : 14 + header.size() + bmp.palette.size();
    const qint64 total = 14 + header.size() + bmp.palette.size() + bmp.data.size();
    return "BM" + le(total, 4) + le(0, 4) + le(dataAt, 4) + header + bmp.palette + bmp.data;
}

QByteArray bmpPalette(int entries, bool os2)
{
    QByteArray palette;
    for (int i = 0; i < entries; ++i) {
        const QRgb c = colourAt(i, 3 * i);
        palette += char(qBlue(c));
        palette += char(qGreen(c));
        palette += char(qRed(c));
        if (!os2)
            palette += '\0';
    }
    return palette;
}

// Rows of pixels, the bottom one first, each padded to 4 bytes: indices for
// 1, 4 and 8 bits, 5-5-5 or 5-6-5 for 16, BGR for 24, BGRA for 32.
QByteArray bmpRows(int width, int height, int bits, bool rgb565 = false)
{
    QByteArray data;
    for (int row = height - 1; row >= 0; --row) {
        QByteArray line;
        quint32 pending = 0;
        int held = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb c = colourAt(x, row);
            if (bits <= 8) {
                pending = pending << bits | quint32(indexAt(x, row, 1 << bits));
                held += bits;
                if (held == 8) {
                    line += char(pending);
                    pending = 0;
                    held = 0;
                }
            } else if (bits == 16) {
                const quint32 v = rgb565 ? (qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3
                                         : (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
                line += le(v, 2);
            } else {
                line += char(qBlue(c));
                line += char(qGreen(c));
                line += char(qRed(c));
                if (bits == 32)
                    line += char((x * 8) & 0xFF);
            }
        }
        if (held > 0)
            line += char(pending << (8 - held));
        while (line.size() % 4)
            line += '\0';
        data += line;
    }
    return data;
}

// RLE8 data of rows of index runs, with an absolute stretch and a delta in
// each; endAfter rows are written before the end of the picture (all when
// -1).
QByteArray rle8(int width, int height, int endAfter = -1)
{
    QByteArray data;
    for (int row = 0; row < height && row != endAfter; ++row) {
        int x = 0;
        if (row % 3 == 1) {
            data += QByteArray("\0\x02\x03\0", 4); // skip 3 pixels
            x += 3;
        }
        if (x + 5 <= width) {
            data += QByteArray("\0\x05", 2) + testpictures::octets({1, 2, 3, 4, 5}) + '\0'; // absolute, padded
            x += 5;
        }
        while (x < width) {
            const int run = qMin(width - x, 7 + row % 5);
            data += char(run);
            data += char(indexAt(x, row, 256));
            x += run;
        }
        data += QByteArray("\0\0", 2); // end of line
    }
    return data + QByteArray("\0\x01", 2); // end of picture
}

QByteArray rle4(int width, int height)
{
    QByteArray data;
    for (int row = 0; row < height; ++row) {
        int x = 0;
        if (x + 6 <= width) {
            data += QByteArray("\0\x06\x12\x34\x56\0", 6); // six indices in three bytes, padded
            x += 6;
        }
        while (x < width) {
            const int run = qMin(width - x, 5 + row % 4);
            data += char(run);
            data += char(indexAt(x, row, 16) << 4 | indexAt(x + 1, row, 16));
            x += run;
        }
        data += QByteArray("\0\0", 2);
    }
    return data + QByteArray("\0\x01", 2);
}

// ---- GIF ----------------------------------------------------------------

// LZW data (its code size byte and sub-blocks, up to the empty one) of
// indices below 2^codeSize, each written as its own code: a clear code
// comes before the table would need wider codes. endAfter: codes before
// the end code (all when -1).
QByteArray gifData(const QByteArray& indices, int codeSize, qsizetype endAfter = -1)
{
    const int clear = 1 << codeSize;
    const int width = codeSize + 1;
    QByteArray packed;
    quint32 held = 0;
    int bits = 0;
    const auto put = [&](int code) {
        held |= quint32(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, held >>= 8)
            packed += char(held & 0xFF);
    };
    for (qsizetype i = 0; i < indices.size() && i != endAfter; ++i) {
        if (i % (clear - 2) == 0)
            put(clear);
        put(uchar(indices.at(i)));
    }
    put(clear + 1);
    if (bits > 0)
        packed += char(held & 0xFF);
    QByteArray out(1, char(codeSize));
    for (qsizetype at = 0; at < packed.size(); at += 255)
        out += char(qMin<qsizetype>(255, packed.size() - at)) + packed.mid(at, 255);
    return out + '\0';
}

QByteArray gifTable(int entries)
{
    QByteArray table;
    for (int i = 0; i < entries; ++i) {
        const QRgb c = colourAt(5 * i, i);
        table += char(qRed(c));
        table += char(qGreen(c));
        table += char(qBlue(c));
    }
    return table;
}

// The size bits of a colour table's flags.
int gifTableBits(qsizetype entries)
{
    int bits = 0;
    while ((2 << bits) < entries)
        ++bits;
    return bits;
}

struct GifFrame {
    QRect rect;
    int colours = 4; // of the picture's indices
    QByteArray localTable {};
    bool interlaced = false;
    QByteArray control {}; // a graphic control extension's 4 bytes, or none
    qsizetype endAfter = -1; // codes before the end code
};

// The frame's indices, in the order its rows are stored.
QByteArray gifIndices(const GifFrame& frame)
{
    QList<int> rows;
    if (frame.interlaced) {
        const std::pair<int, int> passes[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}}; // first row, step
        for (const auto& [start, step] : passes)
            for (int y = start; y < frame.rect.height(); y += step)
                rows << y;
    } else {
        for (int y = 0; y < frame.rect.height(); ++y)
            rows << y;
    }
    QByteArray indices;
    for (const int y : rows)
        for (int x = 0; x < frame.rect.width(); ++x)
            indices += char(indexAt(x, y, frame.colours));
    return indices;
}

QByteArray gifFile(const QByteArray& version, QSize screen, int globalEntries, const QList<GifFrame>& frames,
                   const QByteArray& extensions = {})
{
    const int flags = globalEntries > 0 ? 0x80 | 0x70 | gifTableBits(globalEntries) : 0;
    QByteArray gif = version + le(screen.width(), 2) + le(screen.height(), 2) + char(flags) + '\0' + '\0';
    if (globalEntries > 0)
        gif += gifTable(2 << gifTableBits(globalEntries));
    gif += extensions;
    for (const GifFrame& frame : frames) {
        if (!frame.control.isEmpty())
            gif += QByteArray("\x21\xF9\x04", 3) + frame.control + '\0';
        int frameFlags = frame.interlaced ? 0x40 : 0;
        if (!frame.localTable.isEmpty())
            frameFlags |= 0x80 | gifTableBits(frame.localTable.size() / 3);
        gif += ',' + le(frame.rect.x(), 2) + le(frame.rect.y(), 2) + le(frame.rect.width(), 2)
            + le(frame.rect.height(), 2) + char(frameFlags) + frame.localTable;
        int codeSize = 2;
        while ((1 << codeSize) < frame.colours)
            ++codeSize;
        gif += gifData(gifIndices(frame), codeSize, frame.endAfter);
    }
    return gif + ';';
}

// A 100 x 100 GIF whose LZW data (about 400 KB) make about 1 G pixels:
// after a clear code and one pixel each code stands for the entry about
// to be made, one pixel longer than the last, up to the table's 4096
// entries (3839 pixels), and then the last entry again and again.
QByteArray gifOfLongCodes()
{
    QList<int> codes {256, 0};
    for (int code = 258; code < 4096; ++code)
        codes << code;
    codes.resize(codes.size() + 265000, 4095);
    return testpictures::gifOfCodes(QSize(100, 100), codes << 257);
}

// ---- JPEG and PNG -------------------------------------------------------

// The JPEG cut after the component selectors of its second scan header,
// before its spectral selection and approximation.
QByteArray cutInSecondScanHeader(const QByteArray& jpeg)
{
    const qsizetype first = jpeg.indexOf("\xFF\xDA");
    const qsizetype second = jpeg.indexOf("\xFF\xDA", first + 2);
    return jpeg.left(second + 5 + 2 * uchar(jpeg.at(second + 4)));
}

// The palette PNG with only the first entries of its palette.
QByteArray withPaletteOf(const QByteArray& png, int entries)
{
    const qsizetype at = png.indexOf("PLTE") - 4;
    const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
    const QByteArray typed = "PLTE" + png.mid(at + 8, 3 * entries);
    return png.left(at) + field(quint32(typed.size() - 4), 4, false) + typed
        + field(testpictures::pngCrc(typed), 4, false) + png.mid(at + 12 + length);
}

// The JPEG with its first scan header empty (its length 2): its bytes
// left out.
QByteArray withEmptyScanHeader(const QByteArray& jpeg)
{
    const qsizetype at = jpeg.indexOf("\xFF\xDA");
    const int length = uchar(jpeg.at(at + 2)) << 8 | uchar(jpeg.at(at + 3));
    return jpeg.left(at + 2) + QByteArray("\0\x02", 2) + jpeg.mid(at + 2 + length);
}

QImage grey(const QImage& image)
{
    return image.convertToFormat(QImage::Format_Grayscale8);
}

// ---- Writing ------------------------------------------------------------

class Seeds {
public:
    explicit Seeds(const QString& root)
        : m_root(root)
    {
    }
    void put(const char* folder, const char* name, const QByteArray& bytes)
    {
        QDir(m_root).mkpath(QString::fromLatin1(folder));
        QFile file(m_root + QLatin1Char('/') + QLatin1String(folder) + QLatin1Char('/') + QLatin1String(name));
        if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s/%s\n", folder, name);
            m_failed = true;
        }
    }
    bool failed() const { return m_failed; }

private:
    QString m_root;
    bool m_failed = false;
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    Seeds seeds(QString::fromLocal8Bit(argv[1]));
    using testpictures::encoded;

    // JPEG: Qt's writer's baseline and progressive photos, colour and grey,
    // turned by EXIF; crafted frames and scans (4:2:0, one scan per
    // component, scans of no data, arithmetic coding); a frame beyond the
    // allocation limit that the reader decodes reduced; cut ones; a scan
    // header of no bytes.
    const QImage photo = testpictures::detailedPhoto(48, 32, 1);
    const QByteArray baseline = encoded(photo, "JPG");
    const QByteArray progressive = encoded(photo, "JPG", true);
    const QList<testpictures::JpegComponent> colour420 {{1, 2, 2}, {2}, {3}};
    const auto dc = [](int c, int x, int y) { return (c * 300 + x * 40 - y * 30) % 1000; };
    seeds.put("jpegpng", "jpeg-baseline.jpg", baseline);
    seeds.put("jpegpng", "jpeg-progressive.jpg", progressive);
    seeds.put("jpegpng", "jpeg-grey.jpg", encoded(grey(photo), "JPG"));
    seeds.put("jpegpng", "jpeg-grey-progressive.jpg", encoded(grey(photo), "JPG", true));
    seeds.put("jpegpng", "jpeg-orientation-6.jpg", testpictures::withOrientation(baseline, 6));
    seeds.put("jpegpng", "jpeg-orientation-3-little-endian.jpg", testpictures::withOrientation(progressive, 3, true));
    seeds.put("jpegpng", "jpeg-comment-profile.jpg",
              baseline.left(2) + testpictures::jpegSegment('\xFE', "a comment")
                  + testpictures::jpegSegment('\xE2', QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(40, 'p'))
                  + baseline.mid(2));
    seeds.put("jpegpng", "jpeg-420.jpg",
              testpictures::craftedJpeg(40, 24, colour420,
                                        {{.ids = {1, 2, 3}, .data = testpictures::flatBlocks(40, 24, colour420, dc)}}));
    seeds.put("jpegpng", "jpeg-scan-per-component.jpg",
              testpictures::craftedJpeg(16, 16, {{1}, {2}, {3}},
                                        {{.ids = {1}, .data = testpictures::flatBlocks(16, 16, {{1}}, dc)},
                                         {.ids = {2}, .data = testpictures::flatBlocks(16, 16, {{2}}, dc)},
                                         {.ids = {3}, .data = testpictures::flatBlocks(16, 16, {{3}}, dc)}}));
    seeds.put("jpegpng", "jpeg-empty-scans.jpg", testpictures::emptyScans(64, 48, 2, true));
    seeds.put("jpegpng", "jpeg-grey-scans.jpg", testpictures::greyScans(64, 64, 3));
    seeds.put("jpegpng", "jpeg-arithmetic.jpg", testpictures::codedArithmetically(testpictures::emptyScans(32, 32, 1)));
    seeds.put("jpegpng", "jpeg-large-grey-reduced.jpg",
              testpictures::craftedJpeg(6000, 6000, {{1}}, {{.ids = {1}, .data = QByteArray(16, '\x11')}}));
    seeds.put("jpegpng", "jpeg-progressive-cut-in-second-scan-header.jpg", cutInSecondScanHeader(progressive));
    seeds.put("jpegpng", "jpeg-empty-scan-header.jpg", withEmptyScanHeader(baseline));
    seeds.put("jpegpng", "jpeg-baseline-cut-in-data.jpg", baseline.left(baseline.size() * 2 / 3));

    // PNG: every colour type and depth (a width of 13 leaves bits after the
    // last pixel of a row), with transparency, with values past its
    // palette, texts, cut in its data; Qt's writer's.
    struct PngKind {
        const char* name;
        int colourType;
        int depth;
        bool transparency;
    };
    const PngKind kinds[] = {
        {"png-grey-1.png", 0, 1, false},         {"png-grey-2.png", 0, 2, false},
        {"png-grey-4.png", 0, 4, false},         {"png-grey-8.png", 0, 8, false},
        {"png-grey-16-trns.png", 0, 16, true},   {"png-rgb-8.png", 2, 8, false},
        {"png-rgb-16-trns.png", 2, 16, true},    {"png-palette-1.png", 3, 1, false},
        {"png-palette-2.png", 3, 2, false},      {"png-palette-4-trns.png", 3, 4, true},
        {"png-palette-8.png", 3, 8, false},      {"png-grey-alpha-8.png", 4, 8, false},
        {"png-grey-alpha-16.png", 4, 16, false}, {"png-rgba-8.png", 6, 8, false},
        {"png-rgba-16.png", 6, 16, false},
    };
    for (const PngKind& kind : kinds)
        seeds.put("jpegpng", kind.name, testpictures::pngOf(13, 9, kind.colourType, kind.depth, kind.transparency));
    seeds.put("jpegpng", "png-palette-8-values-past-table.png", withPaletteOf(testpictures::pngOf(13, 9, 3, 8), 2));
    const QByteArray png = testpictures::pngOf(24, 16, 2, 8);
    seeds.put("jpegpng", "png-texts.png", testpictures::withTexts(png, 2, 300));
    seeds.put("jpegpng", "png-cut-in-data.png", png.left(png.indexOf("IDAT") + 40));
    seeds.put("jpegpng", "png-qt.png", encoded(testpictures::detailedPhoto(20, 14, 2), "PNG"));

    // BMP: every depth and header, whole and cut short; RLE whole, cut,
    // ended early and with its data said to begin past the end.
    const auto bmpOf = [](int bits, int compression = 0, int headerSize = 40, bool rgb565 = false) {
        Bmp bmp {.headerSize = headerSize, .width = 13, .height = 9, .bits = bits, .compression = compression};
        if (bits <= 8)
            bmp.palette = bmpPalette(1 << bits, headerSize == 12);
        if (compression == 3) {
            bmp.masks = rgb565 ? le(0xF800, 4) + le(0x07E0, 4) + le(0x001F, 4)
                               : le(0x00FF0000, 4) + le(0x0000FF00, 4) + le(0x000000FF, 4) + le(0xFF000000, 4);
        }
        bmp.data = compression == 1 ? rle8(13, 9) : compression == 2 ? rle4(13, 9) : bmpRows(13, 9, bits, rgb565);
        return bmp;
    };
    const QByteArray bmp24 = bmpFile({.width = 200, .height = 150, .bits = 24, .data = bmpRows(200, 150, 24)});
    seeds.put("gifbmp", "bmp-24-cut-after-300.bmp", bmp24.left(300));
    seeds.put("gifbmp", "bmp-24.bmp", bmpFile(bmpOf(24)));
    seeds.put("gifbmp", "bmp-1.bmp", bmpFile(bmpOf(1)));
    seeds.put("gifbmp", "bmp-4.bmp", bmpFile(bmpOf(4)));
    Bmp topDown = bmpOf(8);
    topDown.height = -topDown.height;
    seeds.put("gifbmp", "bmp-8-top-down.bmp", bmpFile(topDown));
    seeds.put("gifbmp", "bmp-16-555.bmp", bmpFile(bmpOf(16)));
    const QByteArray bmp16 = bmpFile(bmpOf(16, 3, 40, true));
    seeds.put("gifbmp", "bmp-16-565.bmp", bmp16);
    seeds.put("gifbmp", "bmp-16-565-cut.bmp", bmp16.left(bmp16.size() / 2));
    seeds.put("gifbmp", "bmp-32.bmp", bmpFile(bmpOf(32)));
    const QByteArray bmp32 = bmpFile(bmpOf(32, 3, 124));
    seeds.put("gifbmp", "bmp-32-bitfields-v5.bmp", bmp32);
    seeds.put("gifbmp", "bmp-32-bitfields-v5-cut.bmp", bmp32.left(bmp32.size() / 3));
    seeds.put("gifbmp", "bmp-24-v4.bmp", bmpFile(bmpOf(24, 0, 108)));
    const QByteArray os2 = bmpFile(bmpOf(8, 0, 12));
    seeds.put("gifbmp", "bmp-os2-8.bmp", os2);
    seeds.put("gifbmp", "bmp-os2-8-cut.bmp", os2.left(os2.size() - 40));
    seeds.put("gifbmp", "bmp-os2-24-cut.bmp", bmpFile(bmpOf(24, 0, 12)).left(120));
    const QByteArray rle8File = bmpFile(bmpOf(8, 1));
    seeds.put("gifbmp", "bmp-rle8.bmp", rle8File);
    seeds.put("gifbmp", "bmp-rle8-cut.bmp", rle8File.left(rle8File.size() - 60));
    Bmp early = bmpOf(8, 1);
    early.data = rle8(13, 9, 3);
    seeds.put("gifbmp", "bmp-rle8-ended-early.bmp", bmpFile(early));
    Bmp past = bmpOf(8, 1);
    past.dataAt = bmpFile(past).size() + 100;
    seeds.put("gifbmp", "bmp-rle8-data-past-the-end.bmp", bmpFile(past));
    const QByteArray rle4File = bmpFile(bmpOf(4, 2));
    seeds.put("gifbmp", "bmp-rle4.bmp", rle4File);
    seeds.put("gifbmp", "bmp-rle4-cut.bmp", rle4File.left(rle4File.size() - 30));
    // Values past the colour table (8 bits with 2 colours, 1 bit with 1,
    // RLE4 with 3): a JPEG writer looks each value up in the table.
    const auto shortTable = [&](int bits, int compression, int entries) {
        Bmp bmp = bmpOf(bits, compression);
        bmp.palette = bmpPalette(entries, false);
        return bmpFile(bmp);
    };
    seeds.put("gifbmp", "bmp-8-values-past-table.bmp", shortTable(8, 0, 2));
    seeds.put("gifbmp", "bmp-1-values-past-table.bmp", shortTable(1, 0, 1));
    seeds.put("gifbmp", "bmp-rle4-values-past-table.bmp", shortTable(4, 2, 3));

    // GIF: Qt's kind of grey picture, a picture of a few colours (87a and
    // 89a), animated, interlaced, its frame inside or across the screen
    // (with a colour table of its own too), without colour tables, cut,
    // ended early, and the one of long codes.
    const QByteArray loop("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19);
    seeds.put("gifbmp", "gif-greys.gif",
              testpictures::gif(testpictures::detailedPhoto(30, 20, 3).convertToFormat(QImage::Format_Grayscale8)));
    const QByteArray colours = gifFile("GIF89a", QSize(24, 16), 4, {{.rect = QRect(0, 0, 24, 16)}});
    seeds.put("gifbmp", "gif-colours.gif", colours);
    seeds.put("gifbmp", "gif87a.gif",
              gifFile("GIF87a", QSize(20, 10), 16, {{.rect = QRect(0, 0, 20, 10), .colours = 16}}));
    seeds.put("gifbmp", "gif-animated.gif",
              gifFile("GIF89a", QSize(24, 16), 4,
                      {{.rect = QRect(0, 0, 24, 16), .control = QByteArray("\x04\x0A\0\x01", 4)},
                       {.rect = QRect(4, 2, 10, 8),
                        .colours = 8,
                        .localTable = gifTable(8),
                        .control = QByteArray("\x09\x0A\0\0", 4)},
                       {.rect = QRect(0, 0, 24, 16), .control = QByteArray("\x00\x0A\0\0", 4)}},
                      loop));
    seeds.put("gifbmp", "gif-interlaced.gif",
              gifFile("GIF89a", QSize(32, 21), 8, {{.rect = QRect(0, 0, 32, 21), .colours = 8, .interlaced = true}}));
    seeds.put("gifbmp", "gif-frame-inside-screen.gif",
              gifFile("GIF89a", QSize(40, 30), 4,
                      {{.rect = QRect(10, 8, 20, 10), .control = QByteArray("\x01\0\0\x02", 4)}}));
    seeds.put("gifbmp", "gif-frame-across-screen.gif",
              gifFile("GIF89a", QSize(30, 20), 4, {{.rect = QRect(20, 12, 25, 15)}}));
    seeds.put("gifbmp", "gif-no-colour-table.gif", gifFile("GIF89a", QSize(16, 8), 0, {{.rect = QRect(0, 0, 16, 8)}}));
    seeds.put("gifbmp", "gif-local-table-frame-inside-screen.gif",
              gifFile("GIF89a", QSize(40, 30), 4, {{.rect = QRect(8, 6, 20, 12), .localTable = gifTable(4)}}));
    seeds.put("gifbmp", "gif-local-table-only.gif",
              gifFile("GIF89a", QSize(16, 8), 0, {{.rect = QRect(0, 0, 16, 8), .localTable = gifTable(4)}}));
    seeds.put("gifbmp", "gif-cut-in-data.gif", colours.left(colours.size() - 50));
    seeds.put("gifbmp", "gif-ended-early.gif",
              gifFile("GIF89a", QSize(24, 16), 4, {{.rect = QRect(0, 0, 24, 16), .endAfter = 150}}));
    seeds.put("gifbmp", "gif-long-codes.gif", gifOfLongCodes());

    // A contact's photo: what phones and other programs put in a vCard,
    // the cut JPEG, and pictures no contact photo is read as.
    seeds.put("contactphoto", "jpeg-baseline.jpg", encoded(testpictures::detailedPhoto(96, 96, 4), "JPG"));
    seeds.put("contactphoto", "jpeg-progressive-orientation-6.jpg",
              testpictures::withOrientation(encoded(testpictures::detailedPhoto(40, 64, 5), "JPG", true), 6));
    seeds.put("contactphoto", "jpeg-progressive-cut-in-second-scan-header.jpg", cutInSecondScanHeader(progressive));
    seeds.put("contactphoto", "png-palette-4-trns.png", testpictures::pngOf(30, 20, 3, 4, true));
    seeds.put("contactphoto", "png-rgba-16.png", testpictures::pngOf(16, 40, 6, 16));
    seeds.put("contactphoto", "png-grey-1.png", testpictures::pngOf(13, 9, 0, 1));
    seeds.put("contactphoto", "gif-colours.gif", colours);
    seeds.put("contactphoto", "bmp-24.bmp", bmpFile(bmpOf(24)));
    return seeds.failed() ? 1 : 0;
}
