// Pictures as cameras and hostile senders make them, for the tests and
// benchmarks of what a transfer makes of pictures: a photo of fine detail,
// an EXIF orientation spliced into a JPEG (Qt's writer writes none), a
// progressive JPEG of many empty scans, a large grey JPEG of next to no
// bytes, chunks spliced into a PNG, and GIFs (Qt writes none) of any LZW
// codes.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QList>

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

// A grey progressive JPEG of width x height written byte by byte: one scan
// of the DC coefficients (one bit a block: the same grey everywhere), then
// acScans scans of the others that end every block at once (runs of
// 32767 blocks), each a pass of the decoder over every coefficient. Of
// 16000 x 16000 and 99 such scans, about 0.5 MB.
inline QByteArray greyScans(int width, int height, int acScans)
{
    const auto segment = [](char marker, const QByteArray& data) {
        return QByteArray(1, '\xFF') + marker + field(quint32(data.size() + 2), 2, false) + data;
    };
    // Entropy-coded bits, a zero byte stuffed after each 0xFF and the last
    // byte filled with ones.
    const auto coded = [](qint64 count, quint32 bits, int length) {
        QByteArray out;
        quint32 pending = 0;
        int held = 0;
        const auto put = [&](quint32 value, int n) {
            for (int i = n - 1; i >= 0; --i) {
                pending = pending << 1 | ((value >> i) & 1);
                if (++held == 8) {
                    out += char(pending);
                    if (pending == 0xFF)
                        out += '\0';
                    pending = 0;
                    held = 0;
                }
            }
        };
        for (qint64 i = 0; i < count; ++i)
            put(bits, length);
        if (held > 0)
            put(0xFF, 8 - held);
        return out;
    };
    const qint64 blocks = qint64((width + 7) / 8) * ((height + 7) / 8);
    QByteArray jpeg("\xFF\xD8", 2);
    jpeg += segment('\xDB', '\0' + QByteArray(64, '\x01'));
    jpeg += segment('\xC2',
                    '\x08' + field(quint32(height), 2, false) + field(quint32(width), 2, false)
                        + QByteArray("\x01\x01\x11\x00", 4));
    // One code, one bit long: for the DC no change, for the others a run
    // of ends of block (its length in the 14 bits after it).
    jpeg += segment('\xC4', '\x00' + ('\x01' + QByteArray(15, '\0')) + '\x00');
    jpeg += segment('\xC4', '\x10' + ('\x01' + QByteArray(15, '\0')) + '\xE0');
    // Component 1 with tables 0, coefficients Ss to Se, no approximation.
    jpeg += segment('\xDA', QByteArray("\x01\x01\x00\x00\x00\x00", 6)) + coded(blocks, 0, 1);
    // The first halves the others, the rest refine them a bit at a time
    // (which libjpeg does over every coefficient of every block).
    const QByteArray runs = coded((blocks + 32766) / 32767, 0x3FFF, 15);
    for (int i = 0; i < acScans; ++i)
        jpeg += segment('\xDA', QByteArray("\x01\x01\x00\x01\x3F", 5) + (i == 0 ? '\x01' : '\x10')) + runs;
    return jpeg + QByteArray("\xFF\xD9", 2);
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

// A GIF89a of 256 greys whose screen and picture are of size and whose LZW
// data (smallest code size 8) are these codes, packed 9 to 12 bits wide as
// a decoder reads them. The codes are the caller's to keep in step.
inline QByteArray gifOfCodes(QSize size, const QList<int>& codes)
{
    const auto u16 = [](int v) { return field(quint32(v), 2, true); };
    QByteArray gif = "GIF89a" + u16(size.width()) + u16(size.height()) + QByteArray("\xF7\0\0", 3);
    for (int i = 0; i < 256; ++i)
        gif += QByteArray(3, char(i));
    gif += ',' + u16(0) + u16(0) + u16(size.width()) + u16(size.height()) + '\0' + '\x08';
    QByteArray data;
    quint32 held = 0;
    int bits = 0;
    int width = 9;
    int next = 257; // the table's size once the first code after a clear is read
    for (const int code : codes) {
        held |= quint32(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, held >>= 8)
            data += char(held & 0xFF);
        if (code == 256) {
            width = 9;
            next = 257;
        } else if (next < 4096 && ++next > 258 && next >= (1 << width) && width < 12) {
            ++width;
        }
    }
    if (bits > 0)
        data += char(held & 0xFF);
    for (qsizetype at = 0; at < data.size(); at += 255)
        gif += char(qMin<qsizetype>(255, data.size() - at)) + data.mid(at, 255);
    return gif + QByteArray("\0;", 2);
}

// The picture's greys as a GIF, LZW-compressed as encoders do (a clear code
// when the table is full).
inline QByteArray gif(const QImage& image)
{
    QList<int> codes {256};
    QHash<int, int> table;
    int prefix = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            const auto found = table.constFind(prefix << 8 | grey);
            if (prefix < 0 || found != table.constEnd()) {
                prefix = prefix < 0 ? grey : *found;
                continue;
            }
            codes << prefix;
            if (table.size() < 4096 - 258) {
                table.insert(prefix << 8 | grey, 258 + int(table.size()));
            } else {
                codes << 256;
                table.clear();
            }
            prefix = grey;
        }
    }
    return gifOfCodes(image.size(), codes << prefix << 257);
}

} // namespace testpictures
