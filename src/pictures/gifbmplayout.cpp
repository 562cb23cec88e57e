#include "pictures/gifbmplayout.h"

#include "pictures/bytereader.h"
#include "pictures/picturedecode.h"

#include <QIODevice>
#include <QImageReader>

#include <array>
#include <cstring>

namespace pictures {

namespace {

// Qt's GIF decoder unpacks one LZW code to at most this many pixels (its
// stack of 8192, and the code's first pixel again); besides, it clears,
// writes and copies (interlaced rows) at most three times the picture.
constexpr qint64 kMostPixelsOfGifCode = 8193;
constexpr qint64 kGifPassesOverPicture = 3;
// The codes of a GIF's LZW data: 4096 at most, of 12 bits at most.
constexpr int kGifCodes = 4096;
// Qt's GIF decoder takes a logical screen ten times wider (or higher) than
// its first picture, and than this, for a mistake and uses the picture's.
constexpr qint64 kGifScreenTrusted = 16384;
// A run of a BMP's RLE data: two bytes make up to 255 pixels.
constexpr qint64 kMostPixelsOfRleByte = 128;

// Skips sub-blocks up to the empty one; false at the end.
bool skipSubBlocks(ByteReader& in)
{
    for (;;) {
        const int size = in.next();
        if (size <= 0)
            return size == 0;
        if (!in.skip(size))
            return false;
    }
}

// The pixels Qt's decoder makes of a GIF picture's LZW data (its
// sub-blocks up to the empty one or the end code), its codes read as the
// decoder reads them. Each code makes as many pixels as the string it
// stands for, counted as the table grows; once a code stands for an entry
// the decoder has not made since the last clear code (an entry left from
// before it, whose string may since have changed), every code up to the
// next clear code is counted at the most pixels a code can make. Written by hand:
// neither Qt nor any library counts a GIF's pixels without making them.
qint64 gifDataWork(ByteReader& in, int codeBits)
{
    const int clear = 1 << codeBits;
    const int end = clear + 1;
    int size = codeBits + 1;
    int maxCodeSize = 2 * clear;
    int maxCode = clear + 2;
    bool needFirst = true;
    bool known = true; // every code since the last clear code stands for an entry made since
    bool ended = false;
    int oldCode = 0;
    quint32 accumulated = 0;
    int held = 0;
    std::array<qint64, kGifCodes> length {};
    for (int i = 0; i < clear; ++i)
        length[size_t(i)] = 1;
    qint64 work = 0;
    for (;;) {
        const int block = in.next();
        if (block <= 0)
            return work;
        const QByteArray bytes = in.bytes(block);
        if (ended)
            continue;
        for (const char byte : bytes) {
            accumulated |= quint32(uchar(byte)) << held;
            held += 8;
            while (held >= size && !ended) {
                int code = int(accumulated & ((1u << size) - 1));
                accumulated >>= size;
                held -= size;
                if (code == clear) {
                    if (!needFirst) {
                        size = codeBits + 1;
                        maxCodeSize = 2 * clear;
                        maxCode = clear + 2;
                    }
                    // The codes that follow stand for entries made anew.
                    needFirst = true;
                    known = true;
                } else if (code == end) {
                    ended = true;
                } else if (needFirst) {
                    // One pixel; a code that is no single colour leaves
                    // the next entry made of an entry not made anew.
                    known = known && code < clear;
                    oldCode = code;
                    needFirst = false;
                    ++work;
                } else {
                    const int first = code;
                    qint64 pixels = 0;
                    if (code >= maxCode) {
                        // The entry about to be made; beyond it, one not
                        // made anew.
                        known = known && code == maxCode;
                        pixels = 1;
                        code = oldCode;
                    }
                    pixels += known ? length[size_t(code)] : kMostPixelsOfGifCode;
                    work += qMin(pixels, kMostPixelsOfGifCode);
                    if (maxCode < kGifCodes) {
                        length[size_t(maxCode)] = qMin(length[size_t(oldCode)] + 1, kMostPixelsOfGifCode);
                        ++maxCode;
                        if (maxCode >= maxCodeSize && maxCodeSize < kGifCodes) {
                            maxCodeSize *= 2;
                            ++size;
                        }
                    }
                    oldCode = first;
                }
            }
            if (ended)
                break;
        }
        if (bytes.size() < block)
            return work;
    }
}

// Walks a GIF from after its signature to its first picture, as Qt's
// decoder reads it: the logical screen, the extensions before the picture
// (a graphic control or application extension's first sub-block by its
// own size, then sub-blocks), the picture's frame and its data.
Layout readGif(ByteReader& in)
{
    const qint64 screenWidth = in.littleNumber(2);
    const qint64 screenHeight = in.littleNumber(2);
    const int flags = in.next();
    if (flags < 0 || !in.skip(2) || ((flags & 0x80) && !in.skip(3 * (2 << (flags & 7)))))
        return {};
    for (;;) {
        const int introducer = in.next();
        if (introducer == 0x2C)
            break;
        // ";" ends a GIF without a picture; anything else is an error.
        if (introducer != 0x21)
            return {};
        const int label = in.next();
        if (label < 0)
            return {};
        if (label == 0xF9 || label == 0xFF) {
            const int size = in.next();
            if (size < 0 || !in.skip(size))
                return {};
        }
        if (!skipSubBlocks(in))
            return {};
    }
    const qint64 left = in.littleNumber(2);
    const qint64 top = in.littleNumber(2);
    const qint64 width = in.littleNumber(2);
    const qint64 height = in.littleNumber(2);
    const int frameFlags = in.next();
    if (frameFlags < 0 || ((frameFlags & 0x80) && !in.skip(3 * (2 << (frameFlags & 7)))))
        return {};
    qint64 canvasWidth = screenWidth;
    qint64 canvasHeight = screenHeight;
    if (canvasWidth / 10 > qMax(width, kGifScreenTrusted) || canvasWidth <= 0)
        canvasWidth = left + width;
    if (canvasHeight / 10 > qMax(height, kGifScreenTrusted) || canvasHeight <= 0)
        canvasHeight = top + height;
    // The smallest code size an encoder writes is 2 bits, the largest 8.
    const int codeBits = in.next();
    if (canvasWidth <= 0 || canvasHeight <= 0 || codeBits < 2 || codeBits > 8)
        return {};
    Layout layout;
    layout.header.format = "gif";
    layout.header.size = QSize(int(canvasWidth), int(canvasHeight));
    layout.depth = 32;
    // A code takes at least one bit more than the smallest code size.
    layout.work = kGifPassesOverPicture * canvasWidth * canvasHeight + gifDataWork(in, codeBits);
    // The decoder keeps a copy of the frame it may have to restore.
    layout.memory = 2 * imageBytes(layout.header.size, layout.depth);
    return layout;
}

// Reads a BMP's headers from after its "BM", as Qt's decoder reads them:
// the size of the picture, its bits a pixel and compression. Headers of
// other sizes than Windows' and OS/2's are not read.
Layout readBmp(ByteReader& in)
{
    if (!in.skip(8)) // the file's size, reserved
        return {};
    const qint64 dataAt = in.littleNumber(4);
    const qint64 headerSize = in.littleNumber(4);
    qint64 width = 0;
    qint64 height = 0;
    qint64 planes = 0;
    qint64 bits = 0;
    qint64 compression = 0;
    if (headerSize == 12) {
        width = qint16(in.littleNumber(2));
        height = qint16(in.littleNumber(2));
        planes = in.littleNumber(2);
        bits = in.littleNumber(2);
    } else if (headerSize == 40 || headerSize == 64 || headerSize == 108 || headerSize == 124) {
        width = qint32(in.littleNumber(4));
        height = qint32(in.littleNumber(4));
        planes = in.littleNumber(2);
        bits = in.littleNumber(2);
        compression = in.littleNumber(4);
    } else {
        return {};
    }
    const bool rle = (bits == 8 && compression == 1) || (bits == 4 && compression == 2);
    const bool valid = compression == 0 || rle || ((bits == 16 || bits == 32) && compression == 3);
    if (planes != 1 || !valid || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return {};
    height = qAbs(height); // a negative height is a picture stored top down
    if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || dataAt < 0)
        return {};
    Layout layout;
    layout.header.format = "bmp";
    layout.header.size = QSize(int(width), int(height));
    layout.depth = bits >= 16 ? 32 : bits >= 4 ? 8 : 1;
    layout.work = width * height + (rle ? in.left() * kMostPixelsOfRleByte : 0);
    layout.memory = imageBytes(layout.header.size, layout.depth);
    return layout;
}

} // namespace

Layout readGifBmpLayout(QIODevice& device)
{
    char signature[6] = {};
    if (!device.seek(0) || device.read(signature, 6) != 6)
        return {};
    Layout layout;
    if (std::memcmp(signature, "GIF87a", 6) == 0 || std::memcmp(signature, "GIF89a", 6) == 0) {
        ByteReader in(device);
        layout = readGif(in);
    } else if (std::memcmp(signature, "BM", 2) == 0 && device.seek(2)) {
        ByteReader in(device);
        layout = readBmp(in);
    }
    if (!layout.header.isEncoded())
        return {};
    // Both are decoded whole: within Qt's allocation limit, which counts
    // every picture at 32 bits a pixel or more.
    layout.memory += kScaledBytes;
    if (!withinAllocationLimit(layout) || layout.work > kMaxDecodeWork || layout.memory > qint64(kDecodeBudgetMb) << 20)
        return {};
    return layout;
}

QImage decodeGifBmp(QIODevice& device, const Layout& layout)
{
    if (!device.seek(0))
        return QImage();
    tellDecodeObserver();
    QImageReader reader(&device, layout.header.format);
    reader.setAutoDetectImageFormat(false);
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}

} // namespace pictures
