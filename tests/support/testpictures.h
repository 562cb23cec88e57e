// Pictures as cameras and hostile senders make them, for the tests and
// benchmarks of what a transfer makes of pictures: a photo of fine detail,
// an EXIF orientation spliced into a JPEG (Qt's writer writes none), and a
// progressive JPEG of many empty scans.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

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

} // namespace testpictures
