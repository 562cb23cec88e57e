#include "pictures/gifbmplayout.h"

#include "pictures/bytereader.h"
#include "pictures/picturedecode.h"

#include <QIODevice>

#include <array>
#include <cstring>

// The GIF and BMP decoders are written by hand: Qt's fill a picture they
// allocate themselves and leave what the file does not fill as memory held
// (a cut BMP's rows, the pixels an RLE BMP jumps over), so they cannot be
// handed memory cleared first; a library's GIF decoder clears its whole
// table at every clear code, which a crafted file repeats at will; and
// both read all their data, also where it only places pixels past the
// picture. Both read a whole and sound file as Qt's decoders read it, and
// give the same picture of it, but for a BMP's bit fields: a field of
// fewer than 8 bits is spread over 8 (white is 255; Qt 6.4 multiplies, to
// 248) and one of more is read at its top 8 (Qt 6.4 shows such a picture
// black), as later Qt versions read them.

namespace pictures {

namespace {

// A GIF's LZW table holds at most 4096 codes.
constexpr int kGifCodes = 4096;
// How many of a decode's steps pass between two looks at the stop.
constexpr int kStepsBetweenStopChecks = 1 << 16;

bool stopped(const std::atomic_bool* stop)
{
    return stop && stop->load();
}

// ---------------------------------------------------------------- GIF decode

// Where each pixel of a GIF's picture goes: along its rows (in the order of
// the four passes of an interlaced one), onto those of the screen only.
class GifRows {
public:
    GifRows(QImage& image, const QRect& frame, bool interlaced)
        : m_image(image)
        , m_left(frame.left())
        , m_end(qint64(frame.left()) + frame.width())
        , m_shownEnd(qMin<qint64>(m_end, image.width()))
        , m_top(frame.top())
        , m_bottom(qMin<qint64>(qint64(frame.top()) + frame.height(), image.height()) - 1)
        , m_pass(interlaced ? 0 : -1)
        , m_y(frame.top())
        , m_x(frame.left())
    {
        skipEmptyPasses();
        showRow();
    }

    // No pixel placed from here on would show.
    bool done() const { return m_y > m_bottom || m_shownEnd <= m_left; }
    // Where the next count pixels go when they all show on this row (they
    // are placed then); null when they do not.
    QRgb* shownRun(qint64 count)
    {
        if (m_x + count > m_shownEnd)
            return nullptr;
        QRgb* run = m_line + m_x;
        advance(count);
        return run;
    }
    // Places the next count pixels when none of them shows and they end on
    // this row; false when some might show.
    bool skipHidden(qint64 count)
    {
        if (m_x < m_shownEnd || m_x + count > m_end)
            return false;
        advance(count);
        return true;
    }
    // Places count pixels of these values, onto as many rows as they take.
    void put(const uchar* values, qint64 count, const QRgb* colours)
    {
        while (count > 0 && !done()) {
            const qint64 n = qMin(count, m_end - m_x);
            const qint64 shown = qBound<qint64>(0, m_shownEnd - m_x, n);
            QRgb* out = m_line + m_x;
            for (qint64 i = 0; i < shown; ++i)
                out[i] = colours[values[i]];
            values += n;
            count -= n;
            advance(n);
        }
    }

private:
    // The passes of an interlaced picture: every 8th row from the first,
    // every 8th from the fifth, every 4th from the third, every other from
    // the second.
    static constexpr int kPasses = 4;
    static constexpr int kFirst[kPasses] = {0, 4, 2, 1};
    static constexpr int kStep[kPasses] = {8, 8, 4, 2};

    // Moves on by n pixels, which end on this row at the furthest.
    void advance(qint64 n)
    {
        m_x += n;
        if (m_x == m_end) {
            m_x = m_left;
            m_y += m_pass < 0 ? 1 : kStep[m_pass];
            skipEmptyPasses();
            showRow();
        }
    }
    void skipEmptyPasses()
    {
        while (m_pass >= 0 && m_y > m_bottom && m_pass < kPasses - 1)
            m_y = m_top + kFirst[++m_pass];
    }
    void showRow()
    {
        if (!done())
            m_line = reinterpret_cast<QRgb*>(m_image.scanLine(int(m_y)));
    }

    QImage& m_image;
    const qint64 m_left;
    const qint64 m_end;
    const qint64 m_shownEnd;
    const qint64 m_top;
    const qint64 m_bottom;
    int m_pass; // -1: not interlaced
    qint64 m_y;
    qint64 m_x;
    QRgb* m_line = nullptr;
};

// The LZW codes of a GIF picture's data, read from its sub-blocks.
class GifCodes {
public:
    explicit GifCodes(ByteReader& in)
        : m_in(in)
    {
    }
    // The next code of size bits; -1 where the data end.
    int next(int size)
    {
        while (m_held < size) {
            while (m_blockLeft == 0) {
                const int block = m_in.next();
                if (block <= 0)
                    return -1;
                m_blockLeft = block;
            }
            const int byte = m_in.next();
            if (byte < 0)
                return -1;
            --m_blockLeft;
            m_accumulated |= quint32(byte) << m_held;
            m_held += 8;
        }
        const int code = int(m_accumulated & ((1u << size) - 1));
        m_accumulated >>= size;
        m_held -= size;
        return code;
    }

private:
    ByteReader& m_in;
    int m_blockLeft = 0;
    quint32 m_accumulated = 0;
    int m_held = 0;
};

// A GIF's LZW table: each entry the string of pixel values of an entry
// before it and one value more, with its length and first value, so that a
// string is written from its end without a search and one that does not
// show is passed over in one step.
class GifTable {
public:
    explicit GifTable(int codeBits)
        : m_clear(1 << codeBits)
    {
        for (int i = 0; i < m_clear; ++i) {
            m_last[size_t(i)] = uchar(i);
            m_first[size_t(i)] = uchar(i);
            m_length[size_t(i)] = 1;
        }
        restart();
    }

    // After a clear code: entries are made anew from the first after the
    // end code.
    void restart() { m_next = m_clear + 2; }
    int next() const { return m_next; }
    // Whether code stands for a string: a single value, or an entry made
    // since the last clear code of an entry that stood for one.
    bool isString(int code) const
    {
        return code < m_clear || (code >= m_clear + 2 && code < m_next && m_sound[size_t(code)]);
    }
    int length(int code) const { return m_length[size_t(code)]; }
    uchar first(int code) const { return m_first[size_t(code)]; }
    // Writes the string of code (a string) from out[0] to
    // out[length(code) - 1], each value as map gives it.
    template <typename T, typename Map> void write(int code, T* out, const Map& map) const
    {
        for (int i = length(code) - 1; i > 0; --i) {
            out[i] = map(m_last[size_t(code)]);
            code = m_prefix[size_t(code)];
        }
        out[0] = map(m_last[size_t(code)]);
    }
    // The next entry: the string of prefix and one value more.
    void add(int prefix, uchar value)
    {
        if (m_next >= kGifCodes)
            return;
        const auto at = size_t(m_next++);
        const bool sound = isString(prefix);
        m_prefix[at] = quint16(prefix);
        m_last[at] = value;
        m_sound[at] = sound;
        m_first[at] = sound ? m_first[size_t(prefix)] : value;
        m_length[at] = sound ? quint16(m_length[size_t(prefix)] + 1) : 1;
    }

private:
    const int m_clear;
    int m_next = 0;
    std::array<quint16, kGifCodes> m_prefix {};
    std::array<uchar, kGifCodes> m_last {};
    std::array<uchar, kGifCodes> m_first {};
    std::array<quint16, kGifCodes> m_length {};
    std::array<bool, kGifCodes> m_sound {};
};

// Decodes a GIF's first picture onto its screen, as Qt's decoder does with
// sound data, up to the picture's last row on the screen: what follows
// could only place pixels past it. A code of no string (one beyond the
// entries made, or of an entry made of such a code) ends the data, as it
// ends Qt's decode.
QImage decodeGif(ByteReader& in, const GifBmpPlan& plan, const std::atomic_bool* stop)
{
    QImage image(plan.layout.header.size, plan.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
    if (plan.fill)
        image.fill(*plan.fill);
    GifRows rows(image, plan.frame, plan.interlaced);
    GifCodes codes(in);
    GifTable table(plan.codeBits);
    const int clear = 1 << plan.codeBits;
    const int end = clear + 1;
    int size = plan.codeBits + 1;
    const QRgb* colours = plan.colours.constData();
    const auto colourOf = [colours](uchar value) { return colours[value]; };
    const auto valueOf = [](uchar value) { return value; };
    std::array<uchar, kGifCodes + 1> values {};
    bool needFirst = true;
    int oldCode = 0;
    uchar first = 0;
    qint64 steps = 0;
    while (!rows.done()) {
        if (steps >= kStepsBetweenStopChecks) {
            steps = 0;
            if (stopped(stop))
                return QImage();
        }
        ++steps;
        const int code = codes.next(size);
        if (code < 0 || code == end)
            break;
        if (code == clear) {
            if (!needFirst) {
                size = plan.codeBits + 1;
                table.restart();
            }
            needFirst = true;
            continue;
        }
        if (needFirst) {
            first = uchar(code);
            oldCode = code;
            needFirst = false;
            rows.put(&first, 1, colours);
            continue;
        }
        // A code beyond the entries made stands for the entry about to be
        // made: the last string and its first value again.
        const bool again = code >= table.next();
        const int string = again ? oldCode : code;
        if (!table.isString(string))
            break;
        const int length = table.length(string) + (again ? 1 : 0);
        steps += length;
        if (QRgb* run = rows.shownRun(length)) {
            table.write(string, run, colourOf);
            if (again)
                run[length - 1] = colours[first];
        } else if (!rows.skipHidden(length)) {
            table.write(string, values.data(), valueOf);
            if (again)
                values[size_t(length - 1)] = first;
            rows.put(values.data(), length, colours);
        }
        first = table.first(string);
        table.add(oldCode, first);
        if (table.next() == 1 << size && size < 12)
            ++size;
        oldCode = code;
    }
    return image;
}

// ---------------------------------------------------------------- BMP decode

// The shift that brings a bit field's value to its lowest 8 bits, and
// how far to spread a value of fewer bits over 8.
uint fieldShift(uint mask)
{
    uint shift = 0;
    while (mask >= 0x100 || (!(mask & 1) && mask)) {
        ++shift;
        mask >>= 1;
    }
    return shift;
}

uint fieldScale(uint lowMask)
{
    uint scale = 8;
    while (lowMask && scale) {
        --scale;
        lowMask >>= 1;
    }
    return scale;
}

uint spread(uint value, uint scale)
{
    if (!(scale & 7))
        return value;
    uint filled = 8 - scale;
    uint result = value << scale;
    do {
        result |= result >> filled;
        filled <<= 1;
    } while (filled < 8);
    return result;
}

// The colour of a pixel of 16, 24 or 32 bits.
class BmpFields {
public:
    explicit BmpFields(const GifBmpPlan& plan)
        : m_alpha(plan.alpha)
    {
        std::array<quint32, 4> masks = plan.masks;
        if (plan.compression == 0 && plan.bits == 16) {
            masks = {0x7C00, 0x03E0, 0x001F, 0};
        } else if (plan.compression == 0) {
            masks = {0x00FF0000, 0x0000FF00, 0x000000FF, plan.alpha ? masks[3] : 0};
        }
        for (size_t i = 0; i < masks.size(); ++i) {
            m_mask[i] = masks[i];
            m_shift[i] = fieldShift(masks[i]);
            m_scale[i] = fieldScale(masks[i] >> m_shift[i]);
        }
    }
    QRgb colour(uint pixel) const
    {
        const auto field = [&](size_t i) { return spread((pixel & m_mask[i]) >> m_shift[i], m_scale[i]); };
        return qRgba(int(field(0)), int(field(1)), int(field(2)), m_alpha ? int(field(3)) : 0xFF);
    }

private:
    bool m_alpha;
    uint m_mask[4] = {};
    uint m_shift[4] = {};
    uint m_scale[4] = {};
};

// A BMP's rows of RLE data (of 8 or 4 bits a pixel) into the picture's
// values, up to its end, the last row, or the end of the data.
void decodeRle(ByteReader& in, QImage& image, const GifBmpPlan& plan, const std::atomic_bool* stop)
{
    const bool four = plan.bits == 4;
    const qint64 width = image.width();
    const qint64 height = image.height();
    qint64 x = 0;
    qint64 y = 0; // from the bottom (the top of a picture stored top down)
    const auto row = [&] { return image.scanLine(int(plan.topDown ? y : height - 1 - y)); };
    // Each escape or run counts a step, and a step for each of its pixels.
    qint64 steps = 0;
    // Values of a run of count pixels, at most up to the row's end.
    const auto put = [&](qint64 count, const auto& value) {
        const qint64 shown = qMin(count, width - x);
        steps += shown;
        uchar* line = row();
        for (qint64 i = 0; i < shown; ++i)
            line[x + i] = value(i);
        x = qMin(x + count, width);
    };
    QByteArray run;
    while (y < height) {
        if (steps >= kStepsBetweenStopChecks) {
            steps = 0;
            if (stopped(stop))
                return;
        }
        ++steps;
        const int count = in.next();
        if (count < 0)
            return;
        if (count > 0) { // a run of one value (of two alternating ones)
            const int value = in.next();
            if (value < 0)
                return;
            put(count, [&](qint64 i) { return uchar(four ? (i & 1 ? value & 15 : value >> 4) : value); });
            continue;
        }
        const int escape = in.next();
        if (escape < 0 || escape == 1) // the end of the picture
            return;
        if (escape == 0) { // the end of the row
            x = 0;
            ++y;
        } else if (escape == 2) { // a jump right and up
            const int right = in.next();
            const int up = in.next();
            if (right < 0 || up < 0)
                return;
            x = qMin(x + right, width);
            y += up;
        } else { // so many values as they are, padded to a 16-bit boundary
            const int bytes = four ? (escape + 1) / 2 : escape;
            run = in.bytes(bytes + (bytes & 1));
            if (run.size() < bytes)
                return;
            const auto* values = reinterpret_cast<const uchar*>(run.constData());
            put(escape,
                [&](qint64 i) { return four ? uchar(i & 1 ? values[i / 2] & 15 : values[i / 2] >> 4) : values[i]; });
        }
    }
}

// Decodes a BMP, as Qt's decoder does with a sound file, into a picture
// cleared first: rows the file lacks stay zero.
QImage decodeBmp(ByteReader& in, const GifBmpPlan& plan, const std::atomic_bool* stop)
{
    const QImage::Format format = plan.bits == 1 ? QImage::Format_Mono
        : plan.bits <= 8                         ? QImage::Format_Indexed8
        : plan.alpha                             ? QImage::Format_ARGB32
                                                 : QImage::Format_RGB32;
    QImage image(plan.layout.header.size, format);
    if (image.isNull())
        return QImage();
    std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
    if (plan.bits <= 8)
        image.setColorTable(plan.colours);
    if (plan.compression == 1 || plan.compression == 2) {
        decodeRle(in, image, plan, stop);
        return image;
    }
    const int width = image.width();
    const int height = image.height();
    // A row's pixels, then its padding to 32 bits, which a writer may leave
    // out after the last row.
    const qint64 pixelBytes = (qint64(width) * plan.bits + 7) / 8;
    const qint64 padding = (qint64(width) * plan.bits + 31) / 32 * 4 - pixelBytes;
    QByteArray buffer(pixelBytes, Qt::Uninitialized);
    const auto* bytes = reinterpret_cast<const uchar*>(buffer.constData());
    const BmpFields fields(plan);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        if (stopped(stop) || (fileRow > 0 && !in.skip(padding)) || !in.read(buffer.data(), pixelBytes))
            break;
        uchar* line = image.scanLine(plan.topDown ? fileRow : height - 1 - fileRow);
        switch (plan.bits) {
        case 1:
            std::memcpy(line, bytes, size_t(width + 7) / 8);
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                line[x] = x & 1 ? bytes[x / 2] & 15 : bytes[x / 2] >> 4;
            break;
        case 8:
            std::memcpy(line, bytes, size_t(width));
            break;
        default: {
            const int bytesAPixel = plan.bits / 8;
            auto* pixels = reinterpret_cast<QRgb*>(line);
            for (int x = 0; x < width; ++x) {
                const uchar* at = bytes + qint64(x) * bytesAPixel;
                uint value = 0;
                for (int i = 0; i < bytesAPixel; ++i)
                    value |= uint(at[i]) << (8 * i);
                pixels[x] = fields.colour(value);
            }
        }
        }
    }
    return image;
}

} // namespace

QImage decodeGifBmp(QIODevice& device, const GifBmpPlan& plan, const std::atomic_bool* stop)
{
    // Data said to begin past the end are none.
    if (!device.seek(qMin(plan.dataAt, device.size())))
        return QImage();
    const DecodeTold told(stop);
    ByteReader in(device);
    QImage image = plan.layout.header.format == "gif" ? decodeGif(in, plan, stop) : decodeBmp(in, plan, stop);
    if (stopped(stop))
        return QImage();
    colourEveryValue(image);
    return image;
}

} // namespace pictures
