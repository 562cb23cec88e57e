#include "picturecheck.h"

#include "messagestore/msgrecords.h"
#include "pictures/gifbmplayout.h"
#include "pictures/picturelayout.h"

#include <QBuffer>
#include <QGuiApplication>

#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The targets' own AddressSanitizer settings, also when a reproducer is run
// by hand: a small quarantine, so that what the process holds (which
// -rss_limit_mb bounds) is the reader's memory rather than freed blocks.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=32";
}

namespace picturecheck {

namespace {

// The byte new blocks are filled with; -1: none.
std::atomic<int> g_fill {-1};
// The largest block the fill covers.
std::size_t g_mostFilled = 0;

// AddressSanitizer's granule: a block is aligned to it, and its bytes past
// the size asked for up to the next multiple of it are the block's own.
constexpr std::size_t kGranule = 8;

// Fills the bytes of a block past its size up to the end of its granule
// (out of the block as the sanitizer sees it): a read just past a block in
// a library built without the sanitizer (a colour table looked up with a
// value past its end) meets them first.
__attribute__((no_sanitize("address"))) void fillTail(volatile unsigned char* end, std::size_t count, int fill)
{
    for (std::size_t i = 0; i < count; ++i)
        end[i] = static_cast<unsigned char>(fill);
}

void onMalloc(const volatile void* block, std::size_t size)
{
    const int fill = g_fill.load(std::memory_order_relaxed);
    if (fill < 0 || size > g_mostFilled)
        return;
    auto* bytes = static_cast<unsigned char*>(const_cast<void*>(block));
    std::memset(bytes, fill, size);
    fillTail(bytes + size, (kGranule - size % kGranule) % kGranule, fill);
}

void onFree(const volatile void*)
{
}

// The largest block that calloc clears after the fill: AddressSanitizer
// clears one of its primary allocator only, a larger one being a fresh
// mapping.
std::size_t largestClearedByCalloc()
{
    constexpr std::size_t kProbed = std::size_t(1) << 22;
    g_mostFilled = kProbed;
    g_fill = 0xFF;
    const auto cleared = [](std::size_t size) {
        auto* block = static_cast<unsigned char*>(std::calloc(1, size));
        require(block != nullptr, "calloc failed");
        const bool zero = block[size - 1] == 0;
        std::free(block);
        return zero;
    };
    std::size_t low = 1; // cleared
    std::size_t high = kProbed; // not cleared
    require(cleared(low) && !cleared(high), "the heap fill cannot tell calloc's blocks");
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        (cleared(middle) ? low : high) = middle;
    }
    g_fill = -1;
    return low;
}

// Whether row y of two pictures of one size and format holds the same
// pixels: the bytes that hold them (of Format_RGB32 without the alpha
// byte, which Qt leaves undefined).
bool sameRow(const QImage& a, const QImage& b, int y)
{
    if (a.format() == QImage::Format_RGB32) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((pa[x] & 0x00FFFFFF) != (pb[x] & 0x00FFFFFF))
                return false;
        }
        return true;
    }
    const std::size_t bytes = (std::size_t(a.width()) * std::size_t(a.depth()) + 7) / 8;
    return std::memcmp(a.constScanLine(y), b.constScanLine(y), bytes) == 0;
}

} // namespace

void initialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's teardown at exit leaves the blocks of the fonts
    // a card's texts loaded where the leak check, which runs after it,
    // reports them.
    static const QGuiApplication* const app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    require(__sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) > 0, "no allocation hooks (build with ASan)");
    g_mostFilled = largestClearedByCalloc();
}

HeapFill::HeapFill(int byte)
{
    g_fill = byte;
}

HeapFill::~HeapFill()
{
    g_fill = -1;
}

void require(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "picture check failed: %s\n", what);
    std::abort();
}

bool samePixels(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a.size() != b.size() || a.format() != b.format() || a.colorTable() != b.colorTable())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        if (!sameRow(a, b, y))
            return false;
    }
    return true;
}

PartShown partShownUnder(int fill, const std::function<QImage(QByteArray* format)>& read)
{
    const HeapFill filled(fill);
    PartShown shown;
    shown.picture = read(&shown.format);
    if (!shown.picture.isNull()) {
        shown.thumbnail = scaledAttachmentThumbnail(shown.picture);
        shown.thumbnailFile = attachmentThumbnailBytes(shown.thumbnail, shown.format);
    }
    return shown;
}

void requireSamePart(const PartShown& first, const PartShown& second, const char* reader)
{
    const QByteArray picture = QByteArray(reader) + ": the picture depends on the heap";
    require(samePixels(first.picture, second.picture) && first.format == second.format, picture.constData());
    require(samePixels(first.thumbnail, second.thumbnail),
            "scaledAttachmentThumbnail: the thumbnail depends on the heap");
    require(first.thumbnailFile == second.thumbnailFile,
            "attachmentThumbnailBytes: the thumbnail file depends on the heap");
}

void checkAgainstLayout(const QByteArray& bytes, const QImage& picture, const QByteArray& format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const pictures::Layout jpegPng = pictures::readLayout(buffer);
    if (jpegPng.header.isEncoded()) {
        if (picture.isNull())
            return; // the decode failed
        const ImageHeader& header = jpegPng.header;
        require(format.isEmpty() || format == header.format, "a JPEG or PNG read as another format");
        const QSize decoded = pictures::decodedSize(header);
        require(picture.size() == (header.orientation >= 5 ? decoded.transposed() : decoded),
                "a JPEG or PNG not of the size its layout decodes it at");
        require(header.reduction == 1 || qMax(picture.width(), picture.height()) >= kMaxImageSide,
                "a large JPEG reduced below kMaxImageSide");
        require(picture.sizeInBytes() <= jpegPng.memory, "a JPEG or PNG beyond the memory its layout planned");
        return;
    }
    const pictures::Layout gifBmp = pictures::readGifBmpLayout(buffer);
    if (picture.isNull())
        return;
    require(gifBmp.header.isEncoded(), "a picture of bytes both header walks refused");
    require(format.isEmpty() || format == gifBmp.header.format, "a GIF or BMP read as another format");
    require(picture.size() == gifBmp.header.size, "a GIF or BMP not of the size its layout says");
    require(picture.sizeInBytes() <= gifBmp.memory, "a GIF or BMP beyond the memory its layout planned");
}

} // namespace picturecheck
