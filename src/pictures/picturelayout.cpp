#include "pictures/picturelayout.h"

#include "pictures/bytereader.h"

#include <QByteArray>
#include <QIODevice>
#include <QVarLengthArray>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace pictures {

namespace {

// libjpeg's limit of either side.
constexpr int kMaxJpegSide = 65500;
// libpng's default limit of either side.
constexpr quint32 kMaxPngSide = 1000000;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
// What the decoder holds of a text, profile or other segment beside the
// picture, as so many times its bytes: libjpeg and libpng keep each one
// they read, and Qt copies a text several times at two bytes a character.
constexpr qint64 kKeptCopies = 6;
// libpng inflates a compressed text or profile to at most this many bytes
// (and drops a larger one); deflate makes at most 1032 bytes of one.
constexpr qint64 kPngInflateLimit = 8000000;
constexpr qint64 kMaxDeflateRatio = 1032;
// libjpeg looks at the first 10 coefficients of a block (DC and 9 AC) to
// smooth it.
constexpr int kSmoothedCoefficients = 10;

// The orientation an Exif APP1 segment's first directory gives (1..8); 0
// when it gives none.
int exifOrientation(const QByteArray& segment)
{
    if (!segment.startsWith(QByteArrayLiteral("Exif\0\0")))
        return 0;
    const QByteArray tiff = segment.mid(6);
    const auto* data = reinterpret_cast<const uchar*>(tiff.constData());
    const qsizetype size = tiff.size();
    if (size < 8)
        return 0;
    const bool little = tiff.startsWith("II");
    if (!little && !tiff.startsWith("MM"))
        return 0;
    const auto u16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(data + at) : qFromBigEndian<quint16>(data + at);
    };
    const auto u32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(data + at) : qFromBigEndian<quint32>(data + at);
    };
    if (u16(2) != 42)
        return 0;
    const qint64 directory = u32(4);
    if (directory + 2 > size)
        return 0;
    const int entries = u16(directory);
    for (int i = 0; i < entries; ++i) {
        const qint64 entry = directory + 2 + qint64(i) * 12;
        if (entry + 12 > size)
            break;
        if (u16(entry) == 0x0112) {
            const int value = u16(entry + 2) == 3 ? u16(entry + 8) : 0; // a SHORT
            return value >= 1 && value <= 8 ? value : 0;
        }
    }
    return 0;
}

// The layout of a JPEG walked: none without a scan.
template <typename Components>
Layout finishJpeg(Layout layout, const Components& components, bool multiScan, bool progressive, int scans,
                  int orientation)
{
    if (scans == 0)
        return {};
    layout.header.format = "jpeg";
    layout.header.orientation = orientation ? orientation : 1;
    layout.depth = components.size() == 1 ? 8 : 32;
    // libjpeg keeps every coefficient of a picture of several scans (a
    // sample at two bytes), in whole MCUs, and once it has read them all
    // makes the picture of them in a pass of its own over every sample (a
    // picture of one scan is made as that scan is decoded).
    if (multiScan) {
        for (const auto& c : components) {
            layout.coefficientBytes += c.samples * 2;
            layout.work += c.samples;
        }
    }
    // libjpeg smooths the blocks of a progressive picture whose DC
    // coefficients are known, in part at least, and some of whose first AC
    // coefficients are not fully.
    if (progressive) {
        bool allDc = true;
        bool someAcUnrefined = false;
        for (const auto& c : components) {
            allDc = allDc && c.dcHeld;
            someAcUnrefined = someAcUnrefined || (c.unrefined & ~1u) != 0;
        }
        layout.longStretch = layout.longStretch || (allDc && someAcUnrefined);
    }
    return layout;
}

// Whether libjpeg skips a segment of this marker whatever its length says
// (an application segment, a comment or a DNL; it fails at a length below
// 2 of any other).
bool lengthMayBeShort(int marker)
{
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE || marker == 0xDC;
}

// Walks a JPEG's segments from after its SOI marker to its end, as libjpeg
// reads them: its frame, its orientation, its scans (each a pass of the
// decoder over the components it holds) and the segments libjpeg keeps
// for Qt (comments, Exif, profiles). Written by hand because libjpeg reads
// no further than the first scan before it decodes.
//
// What libjpeg fails at (a second SOI or frame, a frame it does not
// decode, a scan header it cannot read) makes the file no picture, as it
// fails the decode of a file of several scans, which libjpeg reads whole
// before it makes the picture. In a picture of one scan libjpeg meets what
// follows the scan only once the picture is made (and not at all when Qt
// stops at the last row it wants): damage there ends the walk and the
// decode decides.
Layout readJpeg(ByteReader& in)
{
    Layout layout;
    ImageHeader& header = layout.header;
    struct Component {
        int id;
        int h;
        int v;
        qint64 samples = 0; // what a scan of it decodes: its blocks, in whole MCUs, of 64 samples
        bool held = false; // by a scan so far
        // Of a progressive picture, whether a scan so far held its DC
        // coefficients, and which of its first coefficients (a bit each)
        // are not yet known to their last bit, as libjpeg tells whether to
        // smooth the blocks.
        bool dcHeld = false;
        quint32 unrefined = (1u << kSmoothedCoefficients) - 1;
    };
    QVarLengthArray<Component, 4> components;
    bool progressive = false;
    bool multiScan = false;
    int scans = 0;
    int orientation = 0;
    bool cut = false;
    while (!cut) {
        const int marker = in.nextMarker();
        const qint64 markerAt = in.pos() - 2;
        if (scans > 0 && marker >= 0)
            layout.scanBreaks << markerAt;
        if (marker < 0 || marker == 0xD9) // the end, or EOI: libjpeg makes up an end when the data stops short
            break;
        // TEM has no length; libjpeg skips a reserved marker where it looks
        // for a restart marker (and fails at it elsewhere).
        if (marker < 0xC0)
            continue;
        bool fails = marker == 0xD8;
        const qint64 length = fails ? 0 : in.number(2);
        if (length < 0)
            break;
        if (length < 2 && !lengthMayBeShort(marker))
            fails = true;
        qint64 left = qMax<qint64>(length - 2, 0);
        switch (fails ? 0 : marker) {
        case 0:
            break;
        case 0xC0: // baseline, extended sequential, progressive, and the same arithmetic-coded
        case 0xC1:
        case 0xC2:
        case 0xC9:
        case 0xCA: {
            if (!components.isEmpty()) {
                fails = true;
                break;
            }
            const int precision = in.next();
            const qint64 height = in.number(2);
            const qint64 width = in.number(2);
            const int count = in.next();
            if (precision != 8 || width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide
                || (count != 1 && count != 3 && count != 4) || left != 6 + 3 * count)
                return {};
            for (int i = 0; i < count; ++i) {
                const int id = in.next();
                const int sampling = in.next();
                in.next();
                const Component c {id, sampling >> 4, sampling & 15};
                if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4)
                    return {};
                // No camera repeats an id; libjpeg would give a scan of it
                // another component than the one counted here.
                for (const Component& other : components) {
                    if (other.id == id)
                        return {};
                }
                components.append(c);
            }
            int hMax = 1;
            int vMax = 1;
            for (const Component& c : components) {
                hMax = qMax(hMax, c.h);
                vMax = qMax(vMax, c.v);
            }
            const auto blocks = [](qint64 samples, int factor, int max) {
                const qint64 count = (samples * factor + 8 * max - 1) / (8 * max);
                return (count + factor - 1) / factor * factor;
            };
            for (Component& c : components)
                c.samples = blocks(width, c.h, hMax) * blocks(height, c.v, vMax) * 64;
            header.size = QSize(int(width), int(height));
            progressive = marker == 0xC2 || marker == 0xCA;
            layout.arithmetic = marker >= 0xC9;
            left = 0;
            break;
        }
        case 0xC3: // lossless and hierarchical frames, which libjpeg does not decode, and reserved ones
        case 0xC5:
        case 0xC6:
        case 0xC7:
        case 0xC8:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
        case 0xDE:
        case 0xDF:
            fails = true;
            break;
        case 0xDA: {
            // A picture of one scan of all its components: the decoder
            // reads no other.
            if (scans == 1 && !multiScan)
                return finishJpeg(layout, components, false, progressive, scans, orientation);
            if (components.isEmpty()) {
                fails = true;
                break;
            }
            if (++scans > kMaxJpegScans)
                return {};
            const qint64 headerSize = left;
            const QByteArray header = in.bytes(headerSize);
            left = 0;
            if (header.size() < headerSize) {
                // Cut inside the scan's header: the decoder reads made-up
                // bytes for the rest of it, so the scan may be a pass over
                // every component, and the first of several.
                for (const Component& c : components)
                    layout.work += c.samples;
                multiScan = multiScan || (scans == 1 && (progressive || components.size() > 1));
                cut = true;
                break;
            }
            const auto byte = [&header](qsizetype i) { return int(uchar(header.at(i))); };
            // libjpeg refuses a scan header shorter than its fields, and a
            // scan of other components than its frame's.
            const int inScan = header.isEmpty() ? 0 : byte(0);
            if (inScan < 1 || inScan > 4 || headerSize != 1 + 2 * inScan + 3) {
                fails = true;
                break;
            }
            layout.longStretch = false;
            QVarLengthArray<Component*, 4> inThisScan;
            for (int i = 0; i < inScan; ++i) {
                const int id = byte(1 + 2 * i);
                const auto c = std::find_if(components.begin(), components.end(),
                                            [id](const Component& k) { return k.id == id; });
                if (c == components.end()) {
                    fails = true;
                    break;
                }
                layout.work += c->samples;
                layout.longStretch = layout.longStretch || !c->held;
                c->held = true;
                inThisScan.append(&*c);
            }
            if (fails)
                break;
            const int ss = byte(1 + 2 * inScan);
            const int se = byte(2 + 2 * inScan);
            const int al = byte(3 + 2 * inScan) & 15;
            for (Component* c : inThisScan) {
                c->dcHeld = c->dcHeld || ss == 0;
                for (int k = ss; k <= qMin(se, kSmoothedCoefficients - 1); ++k)
                    c->unrefined = al == 0 ? c->unrefined & ~(1u << k) : c->unrefined | 1u << k;
            }
            if (scans == 1 && (progressive || inScan != components.size()))
                multiScan = true;
            if (scans == 1)
                layout.scanBreaks << markerAt;
            layout.scanBreaks << markerAt + 2 + length;
            break;
        }
        case 0xFE: // what Qt asks libjpeg to keep: comments, Exif, ICC profiles
        case 0xE2:
            layout.keptBytes += left;
            break;
        case 0xE1:
            layout.keptBytes += left;
            if (!orientation) {
                QByteArray segment(left, Qt::Uninitialized);
                if (!in.read(segment.data(), left))
                    return finishJpeg(layout, components, multiScan, progressive, scans, orientation);
                orientation = exifOrientation(segment);
                left = 0;
            }
            break;
        default:
            if (marker >= 0xF0 && marker <= 0xFD) // reserved
                fails = true;
            break;
        }
        if (cut)
            break;
        if (fails) {
            if (scans == 1 && !multiScan)
                break;
            return {};
        }
        if (left > 0 && !in.skip(left))
            break;
    }
    return finishJpeg(layout, components, multiScan, progressive, scans, orientation);
}

// The bit depths libpng takes for a colour type.
bool validPngDepth(int colourType, int bitDepth)
{
    switch (colourType) {
    case 0: // grey
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3: // palette
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2: // RGB, grey and alpha, RGBA
    case 4:
    case 6:
        return bitDepth == 8 || bitDepth == 16;
    default:
        return false;
    }
}

// The bytes of a chunk libpng keeps: it reads every chunk but the image
// data whole (and inflates a compressed one).
qint64 keptOfChunk(qint64 length, bool compressed)
{
    return length + (compressed ? qMin(kPngInflateLimit, length * kMaxDeflateRatio) : 0);
}

// Reads a PNG's chunk headers from after its signature: its size and what
// decides the image Qt decodes it to (as QPngHandler chooses), up to its
// end to count the chunks the decoder keeps, whose bytes are skipped. A
// chunk that runs past the end of the file makes it no picture: libpng
// would take the length it claims for what it holds.
Layout readPng(ByteReader& in)
{
    Layout layout;
    char type[4];
    if (in.number(4) != 13 || !in.read(type, 4) || std::memcmp(type, "IHDR", 4) != 0)
        return {};
    const qint64 width = in.number(4);
    const qint64 height = in.number(4);
    const int bitDepth = in.next();
    const int colourType = in.next();
    if (!in.skip(3 + 4)) // compression, filter, interlace; the CRC
        return {};
    if (width <= 0 || height <= 0 || width > kMaxPngSide || height > kMaxPngSide)
        return {};
    if (!validPngDepth(colourType, bitDepth))
        return {};
    bool palette = false;
    bool transparency = false;
    bool data = false;
    int compressed = 0;
    for (;;) {
        const qint64 length = in.number(4);
        if (length < 0 || !in.read(type, 4))
            break;
        if (length > 0x7FFFFFFF)
            return {};
        const auto is = [&type](const char* name) { return std::memcmp(type, name, 4) == 0; };
        if (is("IEND"))
            break;
        const bool mayBeCompressed = is("zTXt") || is("iTXt") || is("iCCP");
        if (is("IDAT")) {
            if (colourType == 3 && !palette)
                return {};
            data = true;
        } else if (!data && is("PLTE")) {
            palette = true;
        } else if (!data && is("tRNS")) {
            transparency = true;
        } else if (mayBeCompressed) {
            if (++compressed > kMaxPngCompressedChunks)
                return {};
        }
        // (An iTXt is counted as compressed, which it may be.)
        if (!is("IDAT"))
            layout.keptBytes += keptOfChunk(length, mayBeCompressed);
        if (!in.skip(length + 4))
            return {};
    }
    if (!data)
        return {};
    layout.header.format = "png";
    layout.header.size = QSize(int(width), int(height));
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    layout.work = width * height * channels * (bitDepth == 16 ? 2 : 1);
    if (bitDepth == 1 && (colourType == 0 || colourType == 3))
        layout.depth = 1;
    else if (colourType == 0 && bitDepth == 16)
        layout.depth = transparency ? 64 : 16;
    else if (colourType == 0 || colourType == 3)
        layout.depth = 8;
    else if (bitDepth == 16)
        layout.depth = 64;
    else
        layout.depth = 32;
    return layout;
}

} // namespace

// The bytes of a QImage of this size at depth bits per pixel (its lines
// 32-bit aligned), as QImageIOHandler::allocateImage counts them.
qint64 imageBytes(const QSize& size, int depth)
{
    return (((qint64(size.width()) * depth + 31) >> 5) << 2) * size.height();
}

// The size a picture is decoded at.
QSize decodedSize(const ImageHeader& header)
{
    const int k = header.reduction;
    return QSize((header.size.width() - header.size.width() % k) / k,
                 (header.size.height() - header.size.height() % k) / k);
}

// The size a decoded picture is scaled to, as QImage::scaledToWidth and
// scaledToHeight round it.
QSize scaledSize(const QSize& size)
{
    const int longer = qMax(size.width(), size.height());
    if (longer <= kMaxImageSide)
        return size;
    const qreal factor = qreal(kMaxImageSide) / longer;
    return QSize(qRound(factor * size.width()), qRound(factor * size.height()));
}

// Whether Qt's allocation limit lets the picture be decoded whole.
bool withinAllocationLimit(const Layout& layout)
{
    return imageBytes(layout.header.size, qMax(layout.depth, kLeastCountedDepth)) <= kWholeDecodeBytes;
}

// Decides how the picture is decoded, within the bounds; a picture beyond
// them loses its format.
void plan(Layout& layout)
{
    ImageHeader& header = layout.header;
    if (!withinAllocationLimit(layout) && header.format == "jpeg") {
        if (qint64(header.size.width()) * header.size.height() > kMaxJpegPixels || layout.arithmetic) {
            layout = Layout();
            return;
        }
        // libjpeg scales by 1/2, 1/4 or 1/8 as it decodes: as far as the
        // picture stays larger than what is sent.
        const int longer = qMax(header.size.width(), header.size.height());
        header.reduction = 8;
        while (header.reduction > 2 && (longer - longer % header.reduction) / header.reduction < kMaxImageSide)
            header.reduction /= 2;
    }
    layout.memory = imageBytes(decodedSize(header), layout.depth) + layout.coefficientBytes + kScaledBytes
        + kKeptCopies * layout.keptBytes;
    // QImage scales a side that comes out below one pixel to nothing: such
    // a picture goes as it is.
    const qint64 mostCoefficients
        = layout.longStretch ? kMaxJpegCoefficientBytesInALongStretch : kMaxJpegCoefficientBytes;
    if (layout.work > kMaxDecodeWork || layout.memory > qint64(kDecodeBudgetMb) << 20
        || layout.coefficientBytes > mostCoefficients || scaledSize(decodedSize(header)).isEmpty())
        layout = Layout();
}

Layout readLayout(QIODevice& device)
{
    char signature[8] = {};
    const qint64 got = device.seek(0) ? device.read(signature, 8) : -1;
    Layout layout;
    if (got >= 2 && uchar(signature[0]) == 0xFF && uchar(signature[1]) == 0xD8) {
        if (!device.seek(2))
            return {};
        ByteReader in(device);
        layout = readJpeg(in);
    } else if (got == 8 && std::memcmp(signature, kPngSignature, 8) == 0) {
        ByteReader in(device);
        layout = readPng(in);
    }
    if (layout.header.isEncoded())
        plan(layout);
    return layout;
}

} // namespace pictures
