#include "messagestore/imageencoding.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

namespace {

const char* const kEncodedFormats[] = {"JPG", "PNG"};

QSize scaled(const QSize& size)
{
    if (qMax(size.width(), size.height()) <= kMaxImageSide)
        return size;
    return size.width() <= size.height()
        ? QSize(int(qint64(size.width()) * kMaxImageSide / size.height()), kMaxImageSide)
        : QSize(kMaxImageSide, int(qint64(size.height()) * kMaxImageSide / size.width()));
}

ImageHeader headerOf(QIODevice* device)
{
    ImageHeader header;
    for (const char* format : kEncodedFormats) {
        device->seek(0);
        QImageReader reader(device, format);
        reader.setAutoDetectImageFormat(false);
        if (reader.canRead()) {
            header.format = QByteArray(format) == "JPG" ? "jpeg" : "png";
            header.size = reader.size();
            break;
        }
    }
    return header;
}

EncodedImage encodeFrom(QIODevice* device, const QString& mime)
{
    EncodedImage result;
    QImage image;
    for (const char* format : kEncodedFormats) {
        device->seek(0);
        QImageReader reader(device, format);
        reader.setAutoDetectImageFormat(false);
        if (reader.read(&image))
            break;
    }
    if (image.isNull())
        return result;
    if (qMax(image.width(), image.height()) > kMaxImageSide) {
        image = image.width() <= image.height() ? image.scaledToHeight(kMaxImageSide, Qt::FastTransformation)
                                                : image.scaledToWidth(kMaxImageSide, Qt::FastTransformation);
    }
    QBuffer buffer(&result.upright);
    buffer.open(QIODevice::WriteOnly);
    const bool png = mime.endsWith(QLatin1String("png"), Qt::CaseInsensitive);
    if (!image.save(&buffer, png ? "PNG" : "JPG"))
        return EncodedImage();
    result.result = EncodedImage::Result::Encoded;
    return result;
}

} // namespace

bool isReencoded(const QString& mime)
{
    return mime.startsWith(QLatin1String("image"), Qt::CaseInsensitive);
}

ImageHeader readImageHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImageHeader();
    return headerOf(&file);
}

ImageHeader readImageHeader(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return headerOf(&buffer);
}

QSize sentSize(const ImageHeader& header, bool upright)
{
    if (!header.isEncoded())
        return QSize();
    const QSize size = scaled(header.size);
    return upright && header.orientation >= 5 ? size.transposed() : size;
}

EncodedImage encodeImage(const QString& path, const QString& mime, bool, const std::atomic_bool*)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return EncodedImage();
    return encodeFrom(&file, mime);
}

EncodedImage encodeImage(const QByteArray& bytes, const QString& mime, bool, const std::atomic_bool*)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return encodeFrom(&buffer, mime);
}

QByteArray encodedImage(const QString& path, const QString& mime, const std::atomic_bool* stop)
{
    const EncodedImage image = encodeImage(path, mime, false, stop);
    return image.result == EncodedImage::Result::Encoded ? image.upright : QByteArray();
}
