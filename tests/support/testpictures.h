// Pictures as cameras and hostile senders make them, for the tests of what
// a transfer makes of pictures: an EXIF orientation spliced into a JPEG
// (Qt's writer writes none), and a progressive JPEG of many empty scans.
#pragma once

#include <QByteArray>
#include <QtEndian>

namespace testpictures {

inline QByteArray u16(int v, bool little)
{
    char b[2];
    little ? qToLittleEndian<quint16>(quint16(v), b) : qToBigEndian<quint16>(quint16(v), b);
    return QByteArray(b, 2);
}

inline QByteArray u32(quint32 v, bool little)
{
    char b[4];
    little ? qToLittleEndian<quint32>(v, b) : qToBigEndian<quint32>(v, b);
    return QByteArray(b, 4);
}

// The JPEG with an Exif segment after its SOI, its first directory holding
// only the orientation.
inline QByteArray withOrientation(const QByteArray& jpeg, int orientation, bool little = false)
{
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + (little ? QByteArray("II") : QByteArray("MM")) + u16(42, little)
        + u32(8, little) + u16(1, little) + u16(0x0112, little) + u16(3, little) + u32(1, little)
        + u16(orientation, little) + u16(0, little) + u32(0, little);
    return jpeg.left(2) + QByteArray("\xFF\xE1") + u16(int(app1.size()) + 2, false) + app1 + jpeg.mid(2);
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
