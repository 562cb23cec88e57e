#include "contactphoto.h"

#include <QBuffer>
#include <QImageReader>

#include <functional>

namespace contactphoto {

namespace {

// Decodes the bytes as JPEG, else as PNG, at the size target gives for the
// picture's full size (read reduced when smaller, scaled when the reader
// could not reach it).
QImage decode(QByteArray data, const std::function<QSize(const QSize&)>& target)
{
    if (data.isEmpty())
        return QImage();
    // JPEG or PNG only: the reader would otherwise guess any format it knows.
    for (const char* format : {"JPEG", "PNG"}) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        if (!reader.canRead()) // the signature only: no decoder warnings
            continue;
        const QSize full = reader.size();
        if (!full.isValid() || full.isEmpty())
            continue;
        const QSize size = target(full).expandedTo(QSize(1, 1));
        if (size.width() < full.width())
            reader.setScaledSize(size);
        QImage image;
        if (!reader.read(&image) || image.isNull())
            continue;
        if (image.size() != size)
            image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        return image;
    }
    return QImage();
}

} // namespace

QByteArray bytes(const pim::_Contact& contact)
{
    const QList<ContactDataRow> photos = contact.rows(pim::ENTITY_PHOTO);
    if (photos.isEmpty())
        return QByteArray();
    return photos.first().values.value(QStringLiteral("data15")).toByteArray();
}

QImage scaledToWidth(const QByteArray& data, int width)
{
    if (width <= 0)
        return QImage();
    return decode(data, [width](const QSize& full) { return full.scaled(width, width * 4, Qt::KeepAspectRatio); });
}

QImage scaledToWidth(const pim::_Contact& contact, int width)
{
    return scaledToWidth(bytes(contact), width);
}

QImage fittedInto(const QByteArray& data, const QSize& box)
{
    if (box.isEmpty())
        return QImage();
    return decode(data, [box](const QSize& full) { return full.scaled(box, Qt::KeepAspectRatio); });
}

} // namespace contactphoto
