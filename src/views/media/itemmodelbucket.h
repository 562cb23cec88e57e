// The album list of the photos page: one row per album, named by it, with
// the album picture and rows on alternating backgrounds.
#pragma once

#include "records/mediarecords.h"
#include "shell/abstreeitemmodel.h"

#include <QList>

class ItemModelBucket : public AbsTreeItemModel {
    Q_OBJECT

public:
    class _BucketItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _BucketItemNode(const PhotoBucket& bucket);
        PhotoBucket bucket;
    };

    explicit ItemModelBucket(QObject* parent = nullptr);

    // Replaces the rows with one per album, in the given order.
    void setBuckets(const QList<PhotoBucket>& buckets);
    // The album of a row; null for an invalid index.
    static const PhotoBucket* bucketAt(const QModelIndex& index);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
