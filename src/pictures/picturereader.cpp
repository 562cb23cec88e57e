#include "pictures/picturereader.h"

#include "pictures/picturedecode.h"
#include "pictures/picturelayout.h"

#include <QFile>

using namespace pictures;

QImage readPicture(const QString& path, QByteArray* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const Layout layout = readLayout(file);
    if (!layout.header.isEncoded() || layout.work > kMaxShownWork)
        return QImage();
    BudgetShare share;
    share.take(layout.memory, nullptr);
    const QImage image = decode(file, layout);
    if (format)
        *format = layout.header.format;
    return turned(image, layout.header.orientation);
}
