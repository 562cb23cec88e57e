// The picture reader on the bytes of a message part shown as it is: a GIF
// (its first picture) or a BMP, read through the header walk and the
// bounded decode of readPictureAlsoGifBmp on a device. The decode runs
// twice, under other bytes in the heap: what it makes must be the same,
// and what the walk planned (picturecheck::checkAgainstLayout). Bytes that
// begin as a JPEG or PNG are fuzz_jpegpng's: the reader reads them as
// readPictureBytes does, within bounds that allow a decode more time than
// this target's timeout gives a GIF or BMP.
#include "picturecheck.h"

#include "pictures/picturereader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using picturecheck::HeapFill;

namespace {

// The picture a part of these bytes shows, read under a heap filled with
// fill.
QImage readUnder(int fill, const QByteArray& bytes, QByteArray* format = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const HeapFill filled(fill);
    return readPictureAlsoGifBmp(buffer, nullptr, format);
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
    QByteArray format;
    const QImage first = readUnder(picturecheck::kFirstFill, bytes, &format);
    const QImage second = readUnder(picturecheck::kSecondFill, bytes);
    picturecheck::require(picturecheck::samePixels(first, second),
                          "readPictureAlsoGifBmp: the picture depends on the heap");
    picturecheck::checkAgainstLayout(bytes, first, format);
    return 0;
}
