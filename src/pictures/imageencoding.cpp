#include "pictures/imageencoding.h"

#include "pictures/picturedecode.h"
#include "pictures/picturelayout.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QImage>

using namespace pictures;

namespace {

QByteArray saved(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        return QByteArray();
    return bytes;
}

EncodedImage stopped()
{
    return EncodedImage {EncodedImage::Result::Stopped, QByteArray(), QByteArray()};
}

} // namespace

bool isReencoded(const QString& mime)
{
    return mime.startsWith(QLatin1String("image"), Qt::CaseInsensitive);
}

ImageHeader readImageHeader(QIODevice& device)
{
    return readLayout(device).header;
}

ImageHeader readImageHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImageHeader();
    return readImageHeader(file);
}

ImageHeader readImageHeader(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readImageHeader(buffer);
}

QSize sentSize(const ImageHeader& header, bool upright)
{
    if (!header.isEncoded())
        return QSize();
    const QSize size = scaledSize(decodedSize(header));
    // Orientations 5 to 8 turn the picture a quarter.
    return upright && header.orientation >= 5 ? size.transposed() : size;
}

EncodedImage encodeImage(QIODevice& device, const QString& mime, bool withUnturned, const std::atomic_bool* stop)
{
    StoppableSource source(device, stop);
    const Layout layout = readLayout(source);
    if (source.stopped())
        return stopped();
    if (!layout.header.isEncoded())
        return EncodedImage();
    source.readyFor(layout);
    BudgetShare share;
    if (!share.take(layout.memory, stop))
        return stopped();
    QImage image = decode(source, layout, stop);
    if (source.stopped())
        return stopped();
    if (image.isNull())
        return EncodedImage();
    if (qMax(image.width(), image.height()) > kMaxImageSide) {
        image = image.width() <= image.height() ? image.scaledToHeight(kMaxImageSide, Qt::FastTransformation)
                                                : image.scaledToWidth(kMaxImageSide, Qt::FastTransformation);
    }
    const char* format = mime.endsWith(QLatin1String("png"), Qt::CaseInsensitive) ? "PNG" : "JPG";
    EncodedImage result;
    if (layout.header.turns()) {
        if (withUnturned)
            result.unturned = saved(image, format);
        image = turned(image, layout.header.orientation);
    }
    result.upright = saved(image, format);
    if (source.stopped())
        return stopped();
    if (result.upright.isEmpty())
        return EncodedImage();
    result.result = EncodedImage::Result::Encoded;
    return result;
}

EncodedImage encodeImage(const QString& path, const QString& mime, bool withUnturned, const std::atomic_bool* stop)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stop && stop->load() ? stopped() : EncodedImage();
    return encodeImage(file, mime, withUnturned, stop);
}

EncodedImage encodeImage(const QByteArray& bytes, const QString& mime, bool withUnturned, const std::atomic_bool* stop)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return encodeImage(buffer, mime, withUnturned, stop);
}

QByteArray encodedImage(const QString& path, const QString& mime, const std::atomic_bool* stop)
{
    EncodedImage encoded = encodeImage(path, mime, false, stop);
    return encoded.result == EncodedImage::Result::Encoded ? encoded.upright : QByteArray();
}
