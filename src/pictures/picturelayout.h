// What the header of a JPEG or PNG says of its decode: its size and
// orientation, the work of all the decoder's passes and the memory the
// decode holds, read without decoding. A picture beyond the bounds of
// pictures/imageencoding.h has no format. Used by the picture reader only.
#pragma once

#include "pictures/imageencoding.h"

#include <QList>
#include <QSize>

class QIODevice;

namespace pictures {

// Earlier versions decoded every picture whole, and Qt 6.4 refuses a
// decoded image of more than 128 MB by default (QImageReader's allocation
// limit, which counts every image at 32 bits a pixel or more): the
// pictures within it are decoded whole still, so that their bytes stay
// what they were.
constexpr qint64 kWholeDecodeBytes = qint64(128) << 20;
constexpr int kLeastCountedDepth = 32;
// What a decode holds besides the decoded picture: the copies its caller
// scales it to and turns.
inline constexpr qint64 kScaledBytes = qint64(2) * kMaxImageSide * kMaxImageSide * 4;

// The bytes of a QImage of this size at depth bits per pixel (its lines
// 32-bit aligned), as QImageIOHandler::allocateImage counts them.
qint64 imageBytes(const QSize& size, int depth);
// The size a picture is decoded at.
QSize decodedSize(const ImageHeader& header);
// The size a decoded picture is scaled to, as QImage::scaledToWidth and
// scaledToHeight round it.
QSize scaledSize(const QSize& size);

// What a picture's header says, with what its decode needs.
struct Layout {
    ImageHeader header;
    int depth = 0; // bits per pixel of the image Qt decodes it to
    qint64 coefficientBytes = 0; // what libjpeg holds of a JPEG of several scans
    qint64 keptBytes = 0; // of the texts, profiles and other segments the decoder keeps beside the picture
    qint64 work = 0; // samples decoded, over all the decoder's passes
    qint64 memory = 0; // all the decode holds
    bool arithmetic = false; // a JPEG coded arithmetically
    // libjpeg makes the picture of a JPEG of several scans in a longer
    // stretch: its last scan is the first to hold a component, or its
    // blocks are smoothed (see kMaxJpegCoefficientBytesInALongStretch).
    bool longStretch = false;
    // Where a JPEG's scans, their data and the markers after them begin: a
    // decoder that reads no further than the next of them in one go asks
    // for more (and finds a stop) before each scan and before it makes the
    // picture of what it read.
    QList<qint64> scanBreaks;
};

// Whether Qt's allocation limit lets the picture be decoded whole.
bool withinAllocationLimit(const Layout& layout);

// The layout of the picture a device holds from its start (it seeks), as
// planned within the bounds.
Layout readLayout(QIODevice& device);

} // namespace pictures
