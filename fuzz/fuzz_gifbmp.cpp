// The picture reader on the bytes of a message part shown as it is: a GIF
// (its first picture) or a BMP, read through the header walk and the
// bounded decode of readPictureAlsoGifBmp on a device, with the thumbnail
// file the Messages page makes of such a part. Both run twice, under other
// bytes in the heap: the picture, the thumbnail and the bytes of its file
// must be the same (picturecheck::requireSamePart), and the picture what
// the walk planned (picturecheck::checkAgainstLayout). Bytes that
// begin as a JPEG or PNG are fuzz_jpegpng's: the reader reads them as
// readPictureBytes does, within bounds that allow a decode more time than
// this target's timeout gives a GIF or BMP.
#include "picturecheck.h"

#include "pictures/picturereader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

// What a part of these bytes shows, made under a heap filled with fill.
picturecheck::PartShown shownUnder(int fill, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return picturecheck::partShownUnder(
        fill, [&buffer](QByteArray* format) { return readPictureAlsoGifBmp(buffer, nullptr, format); });
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
    if (bytes.startsWith("\xFF\xD8") || bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return 0;
    const picturecheck::PartShown first = shownUnder(picturecheck::kFirstFill, bytes);
    const picturecheck::PartShown second = shownUnder(picturecheck::kSecondFill, bytes);
    picturecheck::requireSamePart(first, second, "readPictureAlsoGifBmp");
    picturecheck::checkAgainstLayout(bytes, first.picture, first.format);
    return 0;
}
