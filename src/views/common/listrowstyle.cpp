#include "listrowstyle.h"

#include <QBrush>
#include <QColor>
#include <QSize>

namespace listrowstyle {

QPixmap fileIcon()
{
    static const QPixmap icon = [] {
        QPixmap pm(QStringLiteral(":res/file.png"));
        return pm.isNull() ? pm : pm.scaledToWidth(18, Qt::FastTransformation);
    }();
    return icon;
}

QVariant rowData(const QModelIndex& index, int role)
{
    switch (role) {
    case Qt::BackgroundRole:
        return QBrush(index.row() % 2 == 0 ? QColor(250, 250, 250) : QColor(255, 255, 255));
    case Qt::SizeHintRole:
        return QSize(0, 25);
    default:
        return QVariant();
    }
}

} // namespace listrowstyle
