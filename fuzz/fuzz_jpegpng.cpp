// The picture reader on JPEG and PNG bytes as a page shows them and a
// transfer sends them: the header walk (readLayout, readImageHeader), the
// bounded decode (readPictureBytes) with the thumbnail file the Messages
// page makes of such a part, and the encoding a transfer makes
// (encodeImage). Each runs twice, under other bytes in the heap: what it
// makes must be the same, the bytes it writes as well as the pictures
// (picturecheck::requireSamePart; encodeImage's files). What is made must
// be what the walk planned (picturecheck::checkAgainstLayout), and what a
// transfer sends of the size sentSize says.
#include "picturecheck.h"

#include "pictures/imageencoding.h"
#include "pictures/picturelayout.h"
#include "pictures/picturereader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using picturecheck::HeapFill;
using picturecheck::require;

namespace {

bool sameHeader(const ImageHeader& a, const ImageHeader& b)
{
    return a.format == b.format && a.size == b.size && a.orientation == b.orientation && a.reduction == b.reduction;
}

// What a transfer sends of the bytes, made under a heap filled with fill.
EncodedImage encodedUnder(int fill, const QByteArray& bytes, const QString& mime)
{
    const HeapFill filled(fill);
    return encodeImage(bytes, mime, true);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    picturecheck::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const pictures::Layout layout = pictures::readLayout(buffer);
    const ImageHeader& header = layout.header;
    require(sameHeader(readImageHeader(bytes), header), "readImageHeader differs from the layout's header");

    const auto read = [&bytes](QByteArray* format) { return readPictureBytes(bytes, nullptr, format); };
    const picturecheck::PartShown shown = picturecheck::partShownUnder(picturecheck::kFirstFill, read);
    picturecheck::requireSamePart(shown, picturecheck::partShownUnder(picturecheck::kSecondFill, read),
                                  "readPictureBytes");
    const QImage& first = shown.picture;
    picturecheck::checkAgainstLayout(bytes, first, shown.format);

    // Sent as a JPEG part or a PNG part, by the input's length.
    const QString mime = size % 2 ? QStringLiteral("image/png") : QStringLiteral("image/jpeg");
    const EncodedImage sent = encodedUnder(picturecheck::kFirstFill, bytes, mime);
    const EncodedImage again = encodedUnder(picturecheck::kSecondFill, bytes, mime);
    require(sent.result == again.result && sent.upright == again.upright && sent.unturned == again.unturned,
            "encodeImage: what a transfer sends depends on the heap");
    require((sent.result == EncodedImage::Result::Encoded) == !first.isNull(),
            "encodeImage and readPictureBytes disagree on whether the bytes are a picture");
    if (sent.result == EncodedImage::Result::Encoded) {
        require(readImageHeader(sent.upright).size == sentSize(header), "encodeImage: not of the size sentSize says");
        require(header.turns() ? readImageHeader(sent.unturned).size == sentSize(header, false)
                               : sent.unturned.isEmpty(),
                "encodeImage: the unturned copy not of the size sentSize says");
    }
    return 0;
}
