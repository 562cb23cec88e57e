// What the picture reader's fuzz targets share: the heap filled with a byte
// while a decode runs, so that two decodes of one input under other bytes
// show whether a picture holds memory its file did not fill; the
// comparison of their pixels; what a message part's picture makes (its
// thumbnail and the thumbnail file's bytes) under each fill; and the
// checks of a decoded picture against the layout its header walk decided.
#pragma once

#include <QByteArray>
#include <QImage>

#include <functional>

namespace picturecheck {

// The bytes the heap is filled with for the first and the second decode.
inline constexpr int kFirstFill = 0x5A;
inline constexpr int kSecondFill = 0xA5;

// The application (offscreen) and the fill of the heap; for
// LLVMFuzzerInitialize.
void initialize(int* argc, char*** argv);

// While one lives, every block the allocator hands out (on any thread) is
// filled with its byte, as a block freed by other work would hold it: the
// allocator's malloc hook fills it, so the byte reaches every block a
// decode takes, wherever it came from (AddressSanitizer's allocator serves
// every malloc; mallopt changes nothing there, and a freed block waits in
// its quarantine), and so do its bytes past the size asked for up to the
// end of the sanitizer's granule, which a read just past its end in a
// library built without the sanitizer meets. A block beyond the sizes of
// its primary allocator is a fresh mapping, zero in every decode alike,
// and is left as it is: calloc would not clear it after the fill.
class HeapFill {
public:
    explicit HeapFill(int byte);
    ~HeapFill();
    HeapFill(const HeapFill&) = delete;
    HeapFill& operator=(const HeapFill&) = delete;
};

// Stops the process (a finding) with this message when ok is false.
void require(bool ok, const char* what);

// Whether two pictures are the same: both null, or of one size, format and
// colour table with the same pixels (every byte of a row's pixels, the
// bits after the last pixel of a row of less than a byte a pixel too, but
// not the undefined alpha byte of Format_RGB32).
bool samePixels(const QImage& a, const QImage& b);

// What the Messages page makes of a part's bytes: the picture as read, the
// thumbnail shown and the bytes of the thumbnail's file.
struct PartShown {
    QImage picture;
    QByteArray format; // as the reader named it
    QImage thumbnail;
    QByteArray thumbnailFile; // empty without a picture or one it cannot encode
};

// A part's picture read by read (which names its format) and its thumbnail
// made (scaledAttachmentThumbnail, attachmentThumbnailBytes), all under a
// heap filled with fill: the blocks the thumbnail's encoder takes are
// filled too.
PartShown partShownUnder(int fill, const std::function<QImage(QByteArray* format)>& read);

// Stops the process (a finding) when two PartShown made of one input
// under other fills differ: the pictures or their formats (naming reader,
// the function that read them), the thumbnails, or the bytes of their
// files. An encoder may read memory that a picture's pixels do not show
// (a colour table shorter than the values point into): only the bytes it
// writes tell.
void requireSamePart(const PartShown& first, const PartShown& second, const char* reader);

// Checks a picture the reader made of bytes (null: none) against the
// layout its header walk decides: of the format the reader named (format,
// empty when it was not asked), of the walk's size (a JPEG or PNG at its
// decoded size, turned as its orientation says; a GIF or BMP whole), a
// large JPEG reduced no further than kMaxImageSide, within the memory the
// layout planned; and no picture where the walks refused the bytes.
void checkAgainstLayout(const QByteArray& bytes, const QImage& picture, const QByteArray& format);

} // namespace picturecheck
