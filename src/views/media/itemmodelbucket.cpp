#include "itemmodelbucket.h"

#include <QColor>
#include <QPixmap>
#include <QSize>

namespace {

// Made once for the process (GUI thread only).
QPixmap bucketIcon()
{
    static const QPixmap icon = [] {
        QPixmap pm(QStringLiteral(":res/bucket.png"));
        return pm.isNull() ? pm : pm.scaledToWidth(18, Qt::FastTransformation);
    }();
    return icon;
}

} // namespace

ItemModelBucket::_BucketItemNode::_BucketItemNode(const PhotoBucket& bucket)
    : _ItemNode(0, bucket.name, nullptr)
    , bucket(bucket)
{
}

ItemModelBucket::ItemModelBucket(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

void ItemModelBucket::setBuckets(const QList<PhotoBucket>& buckets)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    for (const PhotoBucket& b : buckets)
        roots.append(new _BucketItemNode(b));
    endResetModel();
}

const PhotoBucket* ItemModelBucket::bucketAt(const QModelIndex& index)
{
    const auto* node = static_cast<const _BucketItemNode*>(nodeOf(index));
    return node ? &node->bucket : nullptr;
}

int ItemModelBucket::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant ItemModelBucket::data(const QModelIndex& index, int role) const
{
    const _ItemNode* node = nodeOf(index);
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->text;
    case Qt::DecorationRole:
        return bucketIcon();
    case Qt::BackgroundRole:
        return index.row() % 2 == 0 ? QColor(255, 255, 255) : QColor(242, 246, 249);
    case Qt::SizeHintRole:
        return QSize(0, 28);
    default:
        return QVariant();
    }
}

QVariant ItemModelBucket::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}
