#include "pictures/picturereader.h"

#include "pictures/gifbmplayout.h"
#include "pictures/picturedecode.h"
#include "pictures/picturelayout.h"

#include <QBuffer>
#include <QFile>

using namespace pictures;

QImage readPicture(QIODevice& device, const std::atomic_bool* stop, QByteArray* format)
{
    StoppableSource source(device, stop);
    const Layout layout = readLayout(source);
    if (source.stopped() || !layout.header.isEncoded())
        return QImage();
    source.readyFor(layout);
    BudgetShare share;
    if (!share.take(layout.memory, stop))
        return QImage();
    const QImage image = decode(source, layout);
    if (source.stopped() || image.isNull())
        return QImage();
    if (format)
        *format = layout.header.format;
    return turned(image, layout.header.orientation);
}

QImage readPicture(const QString& path, const std::atomic_bool* stop, QByteArray* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return readPicture(file, stop, format);
}

QImage readPictureBytes(const QByteArray& bytes, const std::atomic_bool* stop, QByteArray* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readPicture(buffer, stop, format);
}

QImage readPictureAlsoGifBmp(const QString& path, const std::atomic_bool* stop, QByteArray* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    if (QImage image = readPicture(file, stop, format); !image.isNull() || (stop && stop->load()))
        return image;
    StoppableSource source(file, stop);
    const Layout layout = readGifBmpLayout(source);
    if (source.stopped() || !layout.header.isEncoded())
        return QImage();
    BudgetShare share;
    if (!share.take(layout.memory, stop))
        return QImage();
    const QImage image = decodeGifBmp(source, layout);
    if (source.stopped() || image.isNull())
        return QImage();
    if (format)
        *format = layout.header.format;
    return image;
}
