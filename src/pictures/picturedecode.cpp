#include "pictures/picturedecode.h"

#include "pictures/picturereader.h"

#include <QImageReader>
#include <QSemaphore>
#include <QTransform>

#include <algorithm>
#include <cstring>

namespace pictures {

namespace {

// How long a wait for the budget lasts before it looks for a stop again.
constexpr int kStopSliceMs = 20;

// All decodes together hold at most kDecodeBudgetMb: each takes a share of
// it for as long as it runs.
QSemaphore& decodeBudget()
{
    static QSemaphore budget(kDecodeBudgetMb);
    return budget;
}

std::atomic<DecodeObserver> g_decodeObserver {nullptr};
std::atomic<DecodeEndObserver> g_decodeEndObserver {nullptr};

// The highest value a pixel of an indexed picture holds.
int highestValue(const QImage& image)
{
    int highest = 0;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        if (image.depth() == 8) {
            highest = qMax(highest, int(*std::max_element(line, line + width)));
            continue;
        }
        // 1 bit a pixel: whether any pixel of the row is 1.
        const bool lsb = image.format() == QImage::Format_MonoLSB;
        for (int x = 0; x < width && highest == 0; x += 8) {
            const int n = qMin(8, width - x);
            const uint mask = lsb ? (1u << n) - 1 : 0xFFu << (8 - n) & 0xFF;
            if (line[x / 8] & mask)
                highest = 1;
        }
        if (highest == 1)
            break;
    }
    return highest;
}

} // namespace

void setDecodeObserver(DecodeObserver observer)
{
    g_decodeObserver = observer;
}

void setDecodeEndObserver(DecodeEndObserver observer)
{
    g_decodeEndObserver = observer;
}

DecodeTold::DecodeTold(const std::atomic_bool* stop)
    : m_stop(stop)
{
    if (const DecodeObserver observer = g_decodeObserver.load())
        observer();
}

DecodeTold::~DecodeTold()
{
    if (const DecodeEndObserver observer = g_decodeEndObserver.load())
        observer(m_stop && m_stop->load());
}

void colourEveryValue(QImage& image)
{
    // Pictures of other formats (grey ones among them) have no table.
    const QImage::Format format = image.format();
    if (format != QImage::Format_Indexed8 && format != QImage::Format_Mono && format != QImage::Format_MonoLSB)
        return;
    const int depth = image.depth();
    if (image.colorCount() >= (1 << depth) || image.width() == 0)
        return;
    if (highestValue(image) < image.colorCount())
        return;
    QList<QRgb> colours = image.colorTable();
    if (depth == 8) {
        colours.resize(256, qRgb(0, 0, 0));
    } else {
        if (colours.isEmpty())
            colours << qRgb(0, 0, 0);
        colours << qRgb(255, 255, 255);
    }
    image.setColorTable(colours);
}

BudgetShare::~BudgetShare()
{
    if (m_mb > 0)
        decodeBudget().release(m_mb);
}

bool BudgetShare::take(qint64 bytes, const std::atomic_bool* stop)
{
    const int mb = int(qMin<qint64>((bytes + (1 << 20) - 1) >> 20, kDecodeBudgetMb));
    if (!stop) {
        decodeBudget().acquire(mb);
    } else {
        while (!decodeBudget().tryAcquire(mb, kStopSliceMs)) {
            if (stop->load())
                return false;
        }
    }
    m_mb = mb;
    return true;
}

QImage decode(QIODevice& device, const Layout& layout, const std::atomic_bool* stop)
{
    const ImageHeader& header = layout.header;
    if (!device.seek(0))
        return QImage();
    const DecodeTold told(stop);
    QImageReader reader(&device, header.format == "png" ? "PNG" : "JPG");
    reader.setAutoDetectImageFormat(false);
    QImage image;
    if (header.reduction > 1) {
        // Only the rows and columns that make whole DCT-scaled pixels, so
        // that the handler scales by the DCT alone.
        const QSize decoded = decodedSize(header);
        reader.setClipRect(QRect(0, 0, decoded.width() * header.reduction, decoded.height() * header.reduction));
        reader.setScaledSize(decoded);
    } else if (header.format == "png") {
        // The handler fills an image of its size and format it is handed
        // (without asking the allocation limit, which is the whole
        // process's: the budget bounds it instead). libpng leaves some of
        // its bytes as they were (the bits after the last pixel of a row
        // of one bit a pixel, and a quarter of each row of a 16-bit RGB
        // picture with a transparent colour), and a scaled or saved copy
        // carries them: they are zero, so that what is made of a picture
        // depends on its bytes alone.
        image = QImage(header.size, reader.imageFormat());
        if (image.isNull())
            return QImage();
        std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
    }
    if (!reader.read(&image))
        return QImage();
    colourEveryValue(image);
    return image;
}

// The picture turned upright as an EXIF orientation (2..8) says.
QImage turned(const QImage& image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5: // transposed
        return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7: // transversed
        return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

} // namespace pictures
