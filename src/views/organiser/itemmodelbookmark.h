// The bookmarks page's tree: folders and bookmarks in sibling order (order
// index, then title), in two columns (title, url). The nodes point into the
// page's record tree, which must outlive the content it was given for.
#pragma once

#include "records/bookmarkrecord.h"
#include "shell/abstreeitemmodel.h"

#include <QList>

class ItemModelBookmark : public AbsTreeItemModel {
    Q_OBJECT

public:
    class _BookmarkItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        _BookmarkItemNode(BookmarkRecord* record, _ItemNode* parent)
            : _ItemNode(1, QString(), parent)
            , record(record)
        {
        }
        BookmarkRecord* record; // not owned
    };

    explicit ItemModelBookmark(QObject* parent = nullptr);

    // Replaces the content with the roots and their subtrees. A record met
    // twice (a tree that loops) is shown once.
    void setBookmarks(const QList<BookmarkRecord*>& roots);
    // The record a row of this model holds; null for any other index.
    BookmarkRecord* recordOf(const QModelIndex& index) const;
    // The record of one of this model's nodes (every node holds one).
    static BookmarkRecord* recordOf(const _ItemNode* node);

    // The records sorted in sibling order (a stable sort).
    static QList<BookmarkRecord*> sorted(QList<BookmarkRecord*> records);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
