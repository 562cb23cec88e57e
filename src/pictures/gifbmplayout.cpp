#include "pictures/gifbmplayout.h"

#include "pictures/bytereader.h"

#include <QIODevice>

#include <cstring>

namespace pictures {

namespace {

// Our decoder clears the GIF's screen, fills it and its caller scales and
// converts the picture: three passes over it.
constexpr qint64 kGifPassesOverPicture = 3;
// Qt's GIF decoder takes a logical screen ten times wider (or higher) than
// its first picture, and than this, for a mistake and uses the picture's.
constexpr qint64 kGifScreenTrusted = 16384;
// What a colour index beyond the colour table, and a transparent one,
// shows (Qt's): its colour's alpha cleared.
constexpr QRgb kTransparent = 0x00FFFFFF;
// Qt's BMP decoder refuses more pixels than this.
constexpr qint64 kMaxBmpPixels = qint64(16384) * 16384;

constexpr int kBmpFileHeader = 14;
constexpr int kBmpOs2Header = 12;
constexpr int kBmpV4Header = 108;

// Reads a colour table of count entries of entryBytes (blue, green, red,
// then unused bytes: BMP's; red, green, blue: GIF's); empty when cut.
QList<QRgb> readColours(ByteReader& in, int count, int entryBytes, bool bgr)
{
    QList<QRgb> colours;
    colours.reserve(count);
    for (int i = 0; i < count; ++i) {
        uchar entry[4] = {};
        if (!in.read(reinterpret_cast<char*>(entry), entryBytes))
            return {};
        colours.append(bgr ? qRgb(entry[2], entry[1], entry[0]) : qRgb(entry[0], entry[1], entry[2]));
    }
    return colours;
}

// The bytes of sub-blocks up to the empty one or the end.
qint64 subBlockBytes(ByteReader& in)
{
    qint64 bytes = 0;
    for (;;) {
        const int size = in.next();
        if (size <= 0 || !in.skip(size))
            return bytes;
        bytes += size;
    }
}

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

// The colour of each pixel value of a GIF, as Qt gives it: from the
// picture's own table, else the screen's; beyond the table (and at its
// size) transparent; without a table, black up to the size one would have;
// the transparent value with its alpha cleared.
QList<QRgb> gifColours(const QList<QRgb>& table, int tableSize, int transparent)
{
    QList<QRgb> colours(256, 0);
    for (int i = 0; i < 256; ++i) {
        QRgb colour = kTransparent;
        if (table.isEmpty() && i <= tableSize)
            colour = 0;
        else if (i < tableSize)
            colour = table.at(i);
        if (i == transparent)
            colour &= kTransparent;
        colours[i] = colour;
    }
    return colours;
}

// Walks a GIF from after its signature to its first picture's LZW data, as
// Qt's decoder reads it: the logical screen and its colour table, the
// extensions before the picture (a graphic control extension's first
// sub-block says which colour is transparent), the picture's frame and
// colour table, its code size; then counts its LZW data.
GifBmpPlan readGif(ByteReader& in)
{
    const qint64 screenWidth = in.littleNumber(2);
    const qint64 screenHeight = in.littleNumber(2);
    const int flags = in.next();
    const int backgroundIndex = in.next();
    if (flags < 0 || backgroundIndex < 0 || !in.skip(1))
        return {};
    const int screenTableSize = 2 << (flags & 7);
    QList<QRgb> screenTable;
    if (flags & 0x80) {
        screenTable = readColours(in, screenTableSize, 3, false);
        if (screenTable.isEmpty())
            return {};
    }
    int transparent = -1;
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
            const QByteArray block = size < 0 ? QByteArray() : in.bytes(size);
            if (size < 0 || block.size() < size)
                return {};
            if (label == 0xF9)
                transparent = size >= 4 && (block.at(0) & 1) ? uchar(block.at(3)) : -1;
        }
        if (!skipSubBlocks(in))
            return {};
    }
    const qint64 left = in.littleNumber(2);
    const qint64 top = in.littleNumber(2);
    const qint64 width = in.littleNumber(2);
    const qint64 height = in.littleNumber(2);
    const int frameFlags = in.next();
    if (frameFlags < 0)
        return {};
    int tableSize = screenTableSize;
    QList<QRgb> table = screenTable;
    if (frameFlags & 0x80) {
        tableSize = 2 << (frameFlags & 7);
        table = readColours(in, tableSize, 3, false);
        if (table.isEmpty())
            return {};
    }
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
    GifBmpPlan plan;
    plan.dataAt = in.pos();
    plan.codeBits = codeBits;
    plan.frame = QRect(int(left), int(top), int(width), int(height));
    plan.interlaced = frameFlags & 0x40;
    plan.colours = gifColours(table, tableSize, transparent);
    plan.alpha = transparent >= 0;
    // A picture smaller than its screen is shown on its transparent colour,
    // else on the screen's background (of the screen's colour table).
    if (left > 0 || top > 0 || width < canvasWidth || height < canvasHeight) {
        if (transparent >= 0)
            plan.fill = plan.colours.at(transparent);
        else if (flags & 0x80)
            plan.fill = gifColours(screenTable, screenTableSize, transparent).at(backgroundIndex);
    }
    Layout& layout = plan.layout;
    layout.header.format = "gif";
    layout.header.size = QSize(int(canvasWidth), int(canvasHeight));
    layout.depth = 32;
    layout.work
        = kGifPassesOverPicture * canvasWidth * canvasHeight + kGifWorkOfAPixel * (width * height + subBlockBytes(in));
    layout.memory = imageBytes(layout.header.size, layout.depth);
    return plan;
}

// Reads a BMP's headers from after its "BM", as Qt's decoder reads them:
// the size of the picture, its bits a pixel and compression, its colour
// table or bit fields and where its pixels begin. Headers of other sizes
// than Windows' and OS/2's are not read; a colour table or bit fields cut
// short make no picture.
GifBmpPlan readBmp(ByteReader& in)
{
    if (!in.skip(8)) // the file's size, reserved
        return {};
    const qint64 dataAt = qint32(in.littleNumber(4));
    const qint64 headerSize = in.littleNumber(4);
    qint64 width = 0;
    qint64 height = 0;
    qint64 planes = 0;
    qint64 bits = 0;
    qint64 compression = 0;
    qint64 coloursUsed = 0;
    GifBmpPlan plan;
    if (headerSize == kBmpOs2Header) {
        width = qint16(in.littleNumber(2));
        height = qint16(in.littleNumber(2));
        planes = in.littleNumber(2);
        bits = in.littleNumber(2);
    } else if (headerSize == 40 || headerSize == 64 || headerSize == kBmpV4Header || headerSize == 124) {
        width = qint32(in.littleNumber(4));
        height = qint32(in.littleNumber(4));
        planes = in.littleNumber(2);
        bits = in.littleNumber(2);
        compression = in.littleNumber(4);
        if (!in.skip(12)) // the picture's size, resolution
            return {};
        coloursUsed = in.littleNumber(4);
        if (!in.skip(4))
            return {};
        if (headerSize >= kBmpV4Header) {
            for (quint32& mask : plan.masks)
                mask = quint32(in.littleNumber(4));
        }
    } else {
        return {};
    }
    const bool rle = (bits == 8 && compression == 1) || (bits == 4 && compression == 2);
    const bool bitFields = (bits == 16 || bits == 32) && compression == 3;
    const bool valid = compression == 0 || rle || bitFields;
    if (planes != 1 || !valid || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return {};
    plan.topDown = height < 0;
    height = qAbs(height);
    if (width <= 0 || height <= 0 || height > 0x7FFFFFFF || width * height > kMaxBmpPixels)
        return {};
    if (!in.skip(kBmpFileHeader + headerSize - in.pos()))
        return {};
    if (bitFields && headerSize < kBmpV4Header) {
        for (int i = 0; i < 3; ++i) {
            const qint64 mask = in.littleNumber(4);
            if (mask < 0)
                return {};
            plan.masks[size_t(i)] = quint32(mask);
        }
    }
    const quint32 alphaMask = plan.masks[3];
    plan.alpha = alphaMask != 0 && (bitFields || (compression == 0 && bits == 32 && alphaMask == 0xFF000000));
    if (bits <= 8) {
        const qint64 count = coloursUsed ? coloursUsed : 1 << bits;
        if (count < 1 || count > 256)
            return {};
        plan.colours = readColours(in, int(count), headerSize == kBmpOs2Header ? 3 : 4, true);
        if (plan.colours.isEmpty())
            return {};
    }
    // The pixels follow, or begin where the file header says when that is
    // further on.
    plan.dataAt = qMax(in.pos(), dataAt);
    plan.bits = int(bits);
    plan.compression = int(compression);
    Layout& layout = plan.layout;
    layout.header.format = "bmp";
    layout.header.size = QSize(int(width), int(height));
    layout.depth = bits >= 16 ? 32 : bits >= 4 ? 8 : 1;
    layout.work = width * height + (rle ? qMax<qint64>(in.left() - (plan.dataAt - in.pos()), 0) : 0);
    layout.memory = imageBytes(layout.header.size, layout.depth);
    return plan;
}

} // namespace

QByteArray gifBmpFormatOf(const char* first, qint64 got)
{
    if (got < kGifBmpSignatureBytes)
        return QByteArray();
    if (std::memcmp(first, "GIF87a", 6) == 0 || std::memcmp(first, "GIF89a", 6) == 0)
        return QByteArrayLiteral("gif");
    if (std::memcmp(first, "BM", 2) == 0)
        return QByteArrayLiteral("bmp");
    return QByteArray();
}

GifBmpPlan readGifBmpPlan(QIODevice& device)
{
    char signature[kGifBmpSignatureBytes] = {};
    if (!device.seek(0))
        return {};
    const QByteArray format = gifBmpFormatOf(signature, device.read(signature, kGifBmpSignatureBytes));
    GifBmpPlan plan;
    if (format == "gif") {
        ByteReader in(device);
        plan = readGif(in);
    } else if (format == "bmp" && device.seek(2)) {
        ByteReader in(device);
        plan = readBmp(in);
    }
    Layout& layout = plan.layout;
    if (!layout.header.isEncoded())
        return {};
    // Both are decoded whole, within the limit earlier versions decoded
    // them in (Qt's allocation limit, which counts every picture at 32 bits
    // a pixel or more).
    layout.memory += kScaledBytes;
    if (!withinAllocationLimit(layout) || layout.work > kMaxDecodeWork || layout.memory > qint64(kDecodeBudgetMb) << 20)
        return {};
    return plan;
}

Layout readGifBmpLayout(QIODevice& device)
{
    return readGifBmpPlan(device).layout;
}

} // namespace pictures
