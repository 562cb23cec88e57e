// Pictures as cameras and hostile senders make them, for the tests and
// benchmarks of what a transfer makes of pictures: a photo of fine detail,
// an EXIF orientation spliced into a JPEG (Qt's writer writes none), a
// progressive JPEG of many empty scans, a large grey JPEG of next to no
// bytes, chunks spliced into a PNG, GIFs (Qt writes none) of any LZW
// codes and layout, and BMPs of every kind (Qt writes a few).
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QList>

#include <functional>
#include <initializer_list>
#include <utility>

namespace testpictures {

// A photo with fine detail, as a camera's, which costs what one does to
// encode; its colours made from seed: photos of other seeds are other
// pictures, also once scaled.
inline QImage detailedPhoto(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * x + y * 7 + seed * 40) & 0xff, (x * 3 + y * y + seed * 90) & 0xff,
                           ((x ^ y) + seed * 25) & 0xff);
    }
    return image;
}

// Greys of fine detail: a GIF's LZW table fills and starts again.
inline QImage greys(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = uchar(x * x + y * 7);
    return image;
}

// A picture of so many values of its colour table, its top left corner of
// value 0 (which an RLE BMP jumps over).
inline QImage indexed(int width, int height, int colours)
{
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table << qRgb(i * 40 % 256, 255 - i * 13 % 256, i * 90 % 256);
    image.setColorTable(table);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = uchar(y < height / 3 && x < width / 4 ? 0 : (x / 3 + y * 5) % colours);
    return image;
}

// A picture of so many values of its colour table (3 or more) that seldom
// repeat from one pixel to the next (an RLE BMP holds them as they are),
// with rows of value 0 and rows that begin with it (which it jumps over).
inline QImage speckled(int width, int height, int colours)
{
    QImage image = indexed(width, height, colours);
    for (int y = 0; y < height; ++y) {
        const bool blank = y % 5 == 2 || y % 7 == 3;
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = uchar(blank || x < y % 9 ? 0 : 1 + (x * x + x * 7 + y * 3) % (colours - 1));
    }
    return image;
}

// The picture with a colour table of only its first colours, its values
// passing it (as a careless or damaged file's may).
inline QImage withShortTable(QImage image, int colours)
{
    QList<QRgb> table = image.colorTable();
    table.resize(colours);
    image.setColorTable(table);
    return image;
}

// A picture of one colour.
inline QImage filled(int width, int height, const QColor& colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Whether the pixel (the middle when not given) is of that colour, within
// what a JPEG changes.
inline bool shows(const QImage& image, const QColor& colour, QPoint at = QPoint(-1, -1))
{
    const QColor c = image.pixelColor(at.x() < 0 ? QPoint(image.width() / 2, image.height() / 2) : at);
    return qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) + qAbs(c.blue() - colour.blue()) < 60;
}

// The picture encoded in format ("JPG", "PNG"), progressive when asked.
inline QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// A number of so many bytes in either byte order.
inline QByteArray field(quint32 v, int bytes, bool little)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(v >> (8 * (little ? i : bytes - 1 - i)));
    return out;
}

// These bytes.
inline QByteArray octets(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += char(v);
    return out;
}

// The JPEG with an Exif segment after its SOI, its first directory holding
// only the orientation.
inline QByteArray withOrientation(const QByteArray& jpeg, int orientation, bool little = false)
{
    const auto u16 = [little](int v) { return field(quint32(v), 2, little); };
    const auto u32 = [little](int v) { return field(quint32(v), 4, little); };
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + QByteArray(little ? "II" : "MM") + u16(42) + u32(8) + u16(1)
        + u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0) + u32(0);
    return jpeg.left(2) + QByteArray("\xFF\xE1") + field(quint32(app1.size() + 2), 2, false) + app1 + jpeg.mid(2);
}

// A progressive JPEG with copies of its last scan header, without data,
// before its EOI, so that it has scans scans; each is a pass of the decoder
// over the whole picture.
inline QByteArray withScans(const QByteArray& jpeg, int scans)
{
    const QByteArray sos("\xFF\xDA");
    const qsizetype last = jpeg.lastIndexOf(sos);
    const QByteArray header = jpeg.mid(last, 2 + (uchar(jpeg[last + 2]) << 8 | uchar(jpeg[last + 3])));
    return jpeg.left(jpeg.size() - 2) + header.repeated(scans - jpeg.count(sos)) + jpeg.right(2);
}

// A JPEG segment of this marker and data.
inline QByteArray jpegSegment(char marker, const QByteArray& data)
{
    return QByteArray(1, '\xFF') + marker + field(quint32(data.size() + 2), 2, false) + data;
}

// Entropy-coded bits as a JPEG scan holds them: a zero byte stuffed after
// each 0xFF, the last byte filled with ones.
class ScanBits {
public:
    // The n lowest bits of value, the highest first.
    void put(quint32 value, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            m_pending = m_pending << 1 | ((value >> i) & 1);
            if (++m_held == 8) {
                m_bytes += char(m_pending);
                if (m_pending == 0xFF)
                    m_bytes += '\0';
                m_pending = 0;
                m_held = 0;
            }
        }
    }
    QByteArray finished()
    {
        if (m_held > 0)
            put(0xFF, 8 - m_held);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_pending = 0;
    int m_held = 0;
};

// A grey progressive JPEG of width x height written byte by byte: one scan
// of the DC coefficients (one bit a block: the same grey everywhere), then
// acScans scans of the others that end every block at once (runs of
// 32767 blocks), each a pass of the decoder over every coefficient. Of
// 16000 x 16000 and 99 such scans, about 0.5 MB.
inline QByteArray greyScans(int width, int height, int acScans)
{

    const auto coded = [](qint64 count, quint32 bits, int length) {
        ScanBits out;
        for (qint64 i = 0; i < count; ++i)
            out.put(bits, length);
        return out.finished();
    };
    const qint64 blocks = qint64((width + 7) / 8) * ((height + 7) / 8);
    QByteArray jpeg("\xFF\xD8", 2);
    jpeg += jpegSegment('\xDB', '\0' + QByteArray(64, '\x01'));
    jpeg += jpegSegment('\xC2',
                        '\x08' + field(quint32(height), 2, false) + field(quint32(width), 2, false)
                            + QByteArray("\x01\x01\x11\x00", 4));
    // One code, one bit long: for the DC no change, for the others a run
    // of ends of block (its length in the 14 bits after it).
    jpeg += jpegSegment('\xC4', '\x00' + ('\x01' + QByteArray(15, '\0')) + '\x00');
    jpeg += jpegSegment('\xC4', '\x10' + ('\x01' + QByteArray(15, '\0')) + '\xE0');
    // Component 1 with tables 0, coefficients Ss to Se, no approximation.
    jpeg += jpegSegment('\xDA', QByteArray("\x01\x01\x00\x00\x00\x00", 6)) + coded(blocks, 0, 1);
    // The first halves the others, the rest refine them a bit at a time
    // (which libjpeg does over every coefficient of every block).
    const QByteArray runs = coded((blocks + 32766) / 32767, 0x3FFF, 15);
    for (int i = 0; i < acScans; ++i)
        jpeg += jpegSegment('\xDA', QByteArray("\x01\x01\x00\x01\x3F", 5) + (i == 0 ? '\x01' : '\x10')) + runs;
    return jpeg + QByteArray("\xFF\xD9", 2);
}

// A component of a crafted JPEG's frame: its id and sampling factors.
struct JpegComponent {
    int id;
    int h = 1;
    int v = 1;
};

// A scan of a crafted JPEG: the ids of its components, its spectral
// selection and successive approximation, and its entropy-coded data.
struct JpegScan {
    QList<int> ids;
    int ss = 0;
    int se = 63;
    int ah = 0;
    int al = 0;
    QByteArray data {};
};

// A JPEG of the frame and scans given, written byte by byte (baseline, or
// progressive when asked), with one quantisation table of ones, a DC
// Huffman table in which each difference category 0 to 11 has a code of 4
// bits and an AC one that holds only the end of block, a code of 1 bit.
inline QByteArray craftedJpeg(int width, int height, const QList<JpegComponent>& components,
                              const QList<JpegScan>& scans, bool progressive = false)
{

    QByteArray jpeg("\xFF\xD8", 2);
    jpeg += jpegSegment('\xDB', '\0' + QByteArray(64, '\x01'));
    QByteArray frame
        = '\x08' + field(quint32(height), 2, false) + field(quint32(width), 2, false) + char(components.size());
    for (const JpegComponent& c : components)
        frame += octets({c.id, c.h << 4 | c.v, 0});
    jpeg += jpegSegment(progressive ? '\xC2' : '\xC0', frame);
    QByteArray dcCounts(16, '\0');
    dcCounts[3] = 12;
    QByteArray dcSymbols;
    for (int category = 0; category < 12; ++category)
        dcSymbols += char(category);
    jpeg += jpegSegment('\xC4', '\x00' + dcCounts + dcSymbols);
    jpeg += jpegSegment('\xC4', '\x10' + ('\x01' + QByteArray(15, '\0')) + '\x00');
    for (const JpegScan& scan : scans) {
        QByteArray header(1, char(scan.ids.size()));
        for (const int id : scan.ids)
            header += octets({id, 0});
        header += octets({scan.ss, scan.se, scan.ah << 4 | scan.al});
        jpeg += jpegSegment('\xDA', header) + scan.data;
    }
    return jpeg + QByteArray("\xFF\xD9", 2);
}

// The entropy-coded data of craftedJpeg's tables for a baseline scan of
// all the components, interleaved, of a picture of width x height: every
// block flat, its DC coefficient dc(component index, block column, block
// row) (-1024 to 1016), and no other coefficient.
inline QByteArray flatBlocks(int width, int height, const QList<JpegComponent>& components,
                             const std::function<int(int, int, int)>& dc)
{
    ScanBits out;
    int hMax = 1;
    int vMax = 1;
    for (const JpegComponent& c : components) {
        hMax = qMax(hMax, c.h);
        vMax = qMax(vMax, c.v);
    }
    const int mcuColumns = (width + 8 * hMax - 1) / (8 * hMax);
    const int mcuRows = (height + 8 * vMax - 1) / (8 * vMax);
    QList<int> predictions(components.size(), 0);
    for (int my = 0; my < mcuRows; ++my) {
        for (int mx = 0; mx < mcuColumns; ++mx) {
            for (qsizetype c = 0; c < components.size(); ++c) {
                for (int by = 0; by < components.at(c).v; ++by) {
                    for (int bx = 0; bx < components.at(c).h; ++bx) {
                        const int value = dc(int(c), mx * components.at(c).h + bx, my * components.at(c).v + by);
                        const int diff = value - predictions.at(c);
                        predictions[c] = value;
                        int category = 0;
                        while ((qAbs(diff) >> category) != 0)
                            ++category;
                        out.put(quint32(category), 4);
                        if (category > 0)
                            out.put(quint32(diff < 0 ? diff + (1 << category) - 1 : diff), category);
                        out.put(0, 1); // the end of the block
                    }
                }
            }
        }
    }
    return out.finished();
}

// A progressive JPEG of width x height written byte by byte, of no data:
// dcScans scans of the DC coefficients of all its components (at 4:2:0, or
// all at full resolution when asked), then, when asked, a scan of all the
// AC coefficients of each.
inline QByteArray emptyScans(int width, int height, int dcScans, bool everyCoefficient = false, bool fullColour = false)
{
    QList<JpegScan> scans;
    for (int i = 0; i < dcScans; ++i)
        scans << JpegScan {.ids = {1, 2, 3}, .ss = 0, .se = 0};
    for (int id = 1; everyCoefficient && id <= 3; ++id)
        scans << JpegScan {.ids = {id}, .ss = 1, .se = 63};
    const int factor = fullColour ? 1 : 2;
    return craftedJpeg(width, height, {{1, factor, factor}, {2}, {3}}, scans, true);
}

// The JPEG's frame saying it is coded arithmetically (a crafted one of no
// data reads the same either way).
inline QByteArray codedArithmetically(QByteArray jpeg)
{
    const qsizetype baseline = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    const qsizetype progressive = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
    jpeg[(baseline >= 0 ? baseline : progressive) + 1] = baseline >= 0 ? '\xC9' : '\xCA';
    return jpeg;
}

// The CRC of a PNG chunk (over its type and data).
inline quint32 pngCrc(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

// The PNG with chunks of type and these data before its IEND.
inline QByteArray withChunks(const QByteArray& png, const char* type, const QList<QByteArray>& data)
{
    const qsizetype end = png.lastIndexOf("IEND") - 4;
    QByteArray chunks;
    for (const QByteArray& d : data) {
        const QByteArray typed = QByteArray(type, 4) + d;
        chunks += field(quint32(d.size()), 4, false) + typed + field(pngCrc(typed), 4, false);
    }
    return png.left(end) + chunks + png.mid(end);
}

// The PNG with count compressed texts of bytes characters each (which
// libpng inflates up to 8 MB, and Qt copies several times).
inline QByteArray withTexts(const QByteArray& png, int count, int bytes)
{
    const QByteArray text = qCompress(QByteArray(bytes, 'a'), 9).mid(4); // without qCompress's length
    QList<QByteArray> data;
    for (int i = 0; i < count; ++i)
        data << "Key" + QByteArray::number(i) + QByteArray(2, '\0') + text;
    return withChunks(png, "zTXt", data);
}

// A PNG of width x height of a colour type (0 grey, 2 RGB, 3 palette, 4
// grey and alpha, 6 RGBA) and bit depth, its samples a pattern made from
// seed, with a transparency chunk when asked (grey, RGB and palette), its
// rows unfiltered.
inline QByteArray pngOf(int width, int height, int colourType, int bitDepth, bool transparency = false, int seed = 0)
{
    const auto chunk = [](const char* type, const QByteArray& data) {
        const QByteArray typed = QByteArray(type, 4) + data;
        return field(quint32(data.size()), 4, false) + typed + field(pngCrc(typed), 4, false);
    };
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const quint32 mask = bitDepth == 16 ? 0xFFFF : (1u << bitDepth) - 1;
    QByteArray rows;
    for (int y = 0; y < height; ++y) {
        rows += '\0';
        quint32 pending = 0;
        int held = 0;
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const quint32 value = quint32(x * 7 + y * 13 + c * 5 + seed * 3 + (x * y) % 11) * 2654435761u >> 8;
                pending = pending << bitDepth | (value & mask);
                held += bitDepth;
                while (held >= 8) {
                    held -= 8;
                    rows += char(pending >> held);
                }
            }
        }
        if (held > 0)
            rows += char(pending << (8 - held));
    }
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += chunk("IHDR",
                 field(quint32(width), 4, false) + field(quint32(height), 4, false) + char(bitDepth) + char(colourType)
                     + QByteArray(3, '\0'));
    if (colourType == 3) {
        QByteArray palette;
        for (int i = 0; i < 1 << bitDepth; ++i)
            palette += octets({i * 37 + seed, i * 91, 255 - i * 13});
        png += chunk("PLTE", palette);
    }
    if (transparency)
        png += chunk("tRNS",
                     colourType == 3       ? QByteArray("\x00\x80", 2)
                         : colourType == 2 ? QByteArray("\0\x01\0\x02\0\x03", 6)
                                           : QByteArray("\0\x01", 2));
    png += chunk("IDAT", qCompress(rows, 9).mid(4)); // without qCompress's length
    return png + chunk("IEND", QByteArray());
}

// The PNG cut after its image data, followed by the start of a text chunk
// that claims length bytes.
inline QByteArray withLongChunk(const QByteArray& png, quint32 length)
{
    return png.left(png.lastIndexOf("IEND") - 4) + field(length, 4, false) + "tEXtComment";
}

// The hostile pictures that every reader of a phone's or a file's pictures
// refuses by their headers, before any decode: a 0.5 MB progressive JPEG
// of 16000 x 16000 whose 100 scans would decode 25.6 G samples, and a PNG
// of a hundred bytes whose text chunk claims 2 GB.
inline QByteArray scanBomb()
{
    return greyScans(16000, 16000, 99);
}
inline QByteArray chunkBomb()
{
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(Qt::white);
    return withLongChunk(encoded(pixel, "PNG"), 2147483000u);
}

// LZW codes packed from codeBits + 1 to 12 bits wide (smallest code size
// codeBits, 2 to 8) in sub-blocks, up to the empty one, as a decoder reads
// them. The codes are the caller's to keep in step.
inline QByteArray lzwData(const QList<int>& codes, int codeBits = 8)
{
    const int clear = 1 << codeBits;
    QByteArray data;
    quint32 held = 0;
    int bits = 0;
    int width = codeBits + 1;
    int next = clear + 1; // the table's size once the first code after a clear is read
    for (const int code : codes) {
        held |= quint32(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, held >>= 8)
            data += char(held & 0xFF);
        if (code == clear) {
            width = codeBits + 1;
            next = clear + 1;
        } else if (next < 4096 && ++next > clear + 2 && next >= (1 << width) && width < 12) {
            ++width;
        }
    }
    if (bits > 0)
        data += char(held & 0xFF);
    QByteArray blocks;
    for (qsizetype at = 0; at < data.size(); at += 255)
        blocks += char(qMin<qsizetype>(255, data.size() - at)) + data.mid(at, 255);
    return blocks + '\0';
}

// A GIF89a of 256 greys whose screen and picture are of size and whose LZW
// data (smallest code size 8) are these codes.
inline QByteArray gifOfCodes(QSize size, const QList<int>& codes)
{
    const auto u16 = [](int v) { return field(quint32(v), 2, true); };
    QByteArray gif = "GIF89a" + u16(size.width()) + u16(size.height()) + QByteArray("\xF7\0\0", 3);
    for (int i = 0; i < 256; ++i)
        gif += QByteArray(3, char(i));
    gif += ',' + u16(0) + u16(0) + u16(size.width()) + u16(size.height()) + '\0' + '\x08';
    return gif + lzwData(codes) + ';';
}

// LZW codes (smallest code size 8) whose strings grow by a pixel each,
// table after table: a few bytes make millions of pixels.
inline QList<int> growingCodes(int tables)
{
    QList<int> codes;
    for (int t = 0; t < tables; ++t) {
        codes << 256 << 0;
        for (int c = 258; c < 4096; ++c)
            codes << c;
    }
    return codes << 257;
}

// The LZW codes of greys (each below 2^codeBits), as encoders make them
// (a clear code when the table is full).
inline QList<int> lzwCodes(const QImage& image, const QList<int>& rows, int codeBits = 8)
{
    const int clear = 1 << codeBits;
    QList<int> codes {clear};
    QHash<int, int> table;
    int prefix = -1;
    for (const int y : rows) {
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            const auto found = table.constFind(prefix << 8 | grey);
            if (prefix < 0 || found != table.constEnd()) {
                prefix = prefix < 0 ? grey : *found;
                continue;
            }
            codes << prefix;
            if (table.size() < 4096 - (clear + 2)) {
                table.insert(prefix << 8 | grey, clear + 2 + int(table.size()));
            } else {
                codes << clear;
                table.clear();
            }
            prefix = grey;
        }
    }
    return codes << prefix << clear + 1;
}

// How a GIF of greys is laid out besides its picture.
struct GifShape {
    QSize screen {}; // empty: the picture's size
    QPoint at {}; // where the picture lies on the screen
    int background = 0; // the screen's background grey
    int transparent = -1; // the grey a graphic control extension makes transparent
    bool interlaced = false; // rows stored in four passes
    bool ownTable = false; // the greys in a table of the picture's own, none for the screen
    QList<QImage> moreFrames {}; // pictures that follow the first (an animation)
    // The smallest code size (2 to 8), the colour table of 2^codeBits greys:
    // the picture's greys lie below it.
    int codeBits = 8;
};

// The picture's greys as a GIF, LZW-compressed as encoders do.
inline QByteArray gif(const QImage& image, const GifShape& shape = {})
{
    const auto u16 = [](int v) { return field(quint32(v), 2, true); };
    const QSize screen = shape.screen.isEmpty() ? image.size() : shape.screen;
    QByteArray greys;
    for (int i = 0; i < 1 << shape.codeBits; ++i)
        greys += QByteArray(3, char(i));
    const int tableSize = shape.codeBits - 1; // a table of 2^(tableSize + 1) colours
    QByteArray gif = "GIF89a" + u16(screen.width()) + u16(screen.height()) + char(shape.ownTable ? 0 : 0xF0 | tableSize)
        + char(shape.background) + '\0';
    if (!shape.ownTable)
        gif += greys;
    QList<QImage> frames {image};
    frames += shape.moreFrames;
    for (const QImage& frame : frames) {
        if (shape.transparent >= 0)
            gif += QByteArray("!\xF9\x04\x01\x0A\0", 6) + char(shape.transparent) + '\0';
        QList<int> rows;
        if (shape.interlaced) {
            for (const auto& [first, step] : {std::pair(0, 8), std::pair(4, 8), std::pair(2, 4), std::pair(1, 2)})
                for (int y = first; y < frame.height(); y += step)
                    rows << y;
        } else {
            for (int y = 0; y < frame.height(); ++y)
                rows << y;
        }
        const int flags = (shape.ownTable ? 0x80 | tableSize : 0) | (shape.interlaced ? 0x40 : 0);
        gif += ',' + u16(shape.at.x()) + u16(shape.at.y()) + u16(frame.width()) + u16(frame.height()) + char(flags);
        if (shape.ownTable)
            gif += greys;
        gif += char(shape.codeBits) + lzwData(lzwCodes(frame, rows, shape.codeBits), shape.codeBits);
    }
    return gif + ';';
}

// How a BMP is written: bits a pixel (1, 4 and 8: of an indexed picture's
// colour table; 16: 5-5-5, or 5-6-5 in bit fields; 24; 32: with alpha in a
// version 4 header), OS/2's header, rows top down, RLE (4 and 8 bits: a
// row's runs of one value encoded, others as they are, rows and a row's
// leading pixels of value 0 jumped over, and the picture ended early where
// only such rows are left).
struct BmpShape {
    int bits = 24;
    bool os2 = false;
    bool topDown = false;
    bool rle = false;
    bool fields565 = false;
    bool alpha = false;
};

// The picture (indexed for 8 bits a pixel or fewer) as a BMP.
inline QByteArray bmp(const QImage& picture, const BmpShape& shape)
{
    const auto le = [](qint64 v, int bytes) { return field(quint32(v), bytes, true); };
    const int width = picture.width();
    const int height = picture.height();
    const int bits = shape.bits;
    const QList<QRgb> table = bits <= 8 ? picture.colorTable() : QList<QRgb>();
    const int headerSize = shape.os2 ? 12 : shape.alpha ? 108 : 40;
    const int compression = shape.rle ? (bits == 8 ? 1 : 2) : (shape.fields565 || shape.alpha) ? 3 : 0;
    QByteArray header;
    if (shape.os2) {
        header = le(12, 4) + le(width, 2) + le(shape.topDown ? -height : height, 2) + le(1, 2) + le(bits, 2);
    } else {
        header = le(headerSize, 4) + le(width, 4) + le(shape.topDown ? -height : height, 4) + le(1, 2) + le(bits, 2)
            + le(compression, 4) + le(0, 4) + le(2835, 4) + le(2835, 4) + le(table.size(), 4) + le(0, 4);
        if (shape.alpha)
            header += le(0x00FF0000, 4) + le(0x0000FF00, 4) + le(0x000000FF, 4) + le(0xFF000000, 4) + le(0x73524742, 4)
                + QByteArray(48, '\0');
        else if (shape.fields565)
            header += le(0xF800, 4) + le(0x07E0, 4) + le(0x001F, 4);
    }
    for (qsizetype i = 0; i < (shape.os2 ? qsizetype(1) << bits : table.size()); ++i) {
        const QRgb c = table.value(i);
        header += char(qBlue(c)) + QByteArray(1, char(qGreen(c))) + char(qRed(c));
        if (!shape.os2)
            header += '\0';
    }
    const auto value = [&](int x, int y) { return picture.pixelIndex(x, y); };
    QByteArray pixels;
    QList<int> rows;
    for (int i = 0; i < height; ++i)
        rows << (shape.topDown ? i : height - 1 - i);
    if (shape.rle) {
        const bool four = bits == 4;
        qsizetype lastPainted = -1;
        for (qsizetype r = 0; r < rows.size(); ++r) {
            const int y = rows.at(r);
            int x = 0;
            while (x < width && value(x, y) == 0)
                ++x;
            if (x == width)
                continue;
            lastPainted = r;
        }
        const auto blank = [&](int y) {
            for (int x = 0; x < width; ++x)
                if (value(x, y) != 0)
                    return false;
            return true;
        };
        for (qsizetype r = 0; r <= lastPainted; ++r) {
            // Rows of value 0 are jumped over, to the first value of the
            // next row that is not 0.
            int up = 0;
            while (r < lastPainted && up < 255 && blank(rows.at(r))) {
                ++up;
                ++r;
            }
            const int y = rows.at(r);
            int x = 0;
            while (x < width && value(x, y) == 0)
                ++x;
            if (x > 0 || up > 0)
                pixels += QByteArray("\0\x02", 2) + char(qMin(x, 255)) + char(up);
            x = qMin(x, 255);
            while (x < width) {
                int run = 1;
                while (x + run < width && run < 255 && value(x + run, y) == value(x, y))
                    ++run;
                if (run >= 3 || width - x < 3) {
                    pixels += char(run) + QByteArray(1, char(four ? value(x, y) * 17 : value(x, y)));
                    x += run;
                    continue;
                }
                int count = 3;
                while (x + count < width && count < 255
                       && !(x + count + 1 < width && value(x + count, y) == value(x + count + 1, y)))
                    ++count;
                QByteArray values;
                for (int i = 0; i < count; ++i) {
                    if (!four)
                        values += char(value(x + i, y));
                    else if (i % 2 == 0)
                        values += char(value(x + i, y) << 4);
                    else
                        values[values.size() - 1] = char(values.at(values.size() - 1) | value(x + i, y));
                }
                if (values.size() % 2)
                    values += '\0';
                pixels += '\0' + QByteArray(1, char(count)) + values;
                x += count;
            }
            pixels += QByteArray(2, '\0');
        }
        pixels += QByteArray("\0\x01", 2);
    } else {
        const qsizetype stride = (qint64(width) * bits + 31) / 32 * 4;
        for (const int y : rows) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < width; ++x) {
                const QRgb c = bits > 8 ? picture.pixel(x, y) : 0;
                switch (bits) {
                case 1:
                case 4:
                case 8: {
                    const int at = x * bits;
                    row[at / 8] = char(row.at(at / 8) | value(x, y) << (8 - bits - at % 8));
                    break;
                }
                case 16: {
                    const int v = shape.fields565 ? (qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3
                                                  : (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
                    row.replace(x * 2, 2, le(v, 2));
                    break;
                }
                default:
                    row.replace(x * bits / 8, bits / 8,
                                le(qBlue(c) | qGreen(c) << 8 | qRed(c) << 16 | qAlpha(c) << 24, bits / 8));
                }
            }
            pixels += row;
        }
    }
    const qint64 dataAt = 14 + header.size();
    return "BM" + le(dataAt + pixels.size(), 4) + le(0, 4) + le(dataAt, 4) + header + pixels;
}

} // namespace testpictures
