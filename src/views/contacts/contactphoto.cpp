#include "contactphoto.h"

#include <QBuffer>
#include <QImageReader>

namespace contactphoto {

QByteArray bytes(const pim::_Contact& contact)
{
    const QList<ContactDataRow> photos = contact.rows(pim::ENTITY_PHOTO);
    if (photos.isEmpty())
        return QByteArray();
    return photos.first().values.value(QStringLiteral("data15")).toByteArray();
}

QImage scaledToWidth(const pim::_Contact& contact, int width)
{
    QByteArray data = bytes(contact);
    if (data.isEmpty() || width <= 0)
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
        QSize target = full.scaled(width, width * 4, Qt::KeepAspectRatio);
        target = target.expandedTo(QSize(1, 1));
        if (target.width() < full.width())
            reader.setScaledSize(target);
        QImage image;
        if (!reader.read(&image) || image.isNull())
            continue;
        if (image.size() != target)
            image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        return image;
    }
    return QImage();
}

} // namespace contactphoto
