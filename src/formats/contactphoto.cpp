#include "formats/contactphoto.h"

#include "pictures/picturereader.h"

#include <QCryptographicHash>

namespace contactphoto {

QByteArray bytes(const pim::_Contact& contact)
{
    const QList<ContactDataRow> photos = contact.rows(pim::ENTITY_PHOTO);
    if (photos.isEmpty())
        return QByteArray();
    return photos.first().values.value(QStringLiteral("data15")).toByteArray();
}

QString key(const QByteArray& bytes, int size)
{
    if (bytes.isEmpty())
        return QString();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) + QLatin1Char('@')
        + QString::number(size);
}

QImage read(const QByteArray& bytes, const std::atomic_bool* stop)
{
    if (bytes.isEmpty())
        return QImage();
    return readPictureBytes(bytes, stop);
}

QImage scaledToWidth(const QImage& picture, int width)
{
    if (picture.isNull() || width <= 0)
        return QImage();
    const QSize size = picture.size().scaled(width, width * 4, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage fittedInto(const QImage& picture, const QSize& box)
{
    if (picture.isNull() || box.isEmpty())
        return QImage();
    const QSize size = picture.size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace contactphoto
