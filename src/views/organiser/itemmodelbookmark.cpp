#include "itemmodelbookmark.h"

#include <QPixmap>
#include <QSet>
#include <QSize>

#include <algorithm>

namespace {

// Loaded and scaled once for the process (GUI thread only).
QPixmap icon(bool folder)
{
    static const QPixmap folderIcon
        = QPixmap(QStringLiteral(":res/folder.png")).scaledToWidth(18, Qt::SmoothTransformation);
    static const QPixmap fileIcon
        = QPixmap(QStringLiteral(":res/file.png")).scaledToWidth(18, Qt::SmoothTransformation);
    return folder ? folderIcon : fileIcon;
}

// Builds the nodes in sibling order, depth first, from a list of pending
// levels rather than by recursion: a tree of any depth fits.
void addNodes(QList<AbsTreeItemModel::_ItemNode*>& roots, const QList<BookmarkRecord*>& records,
              QSet<const BookmarkRecord*>& seen)
{
    struct Level {
        AbsTreeItemModel::_ItemNode* parent;
        QList<BookmarkRecord*> records;
        qsizetype next;
    };
    QList<Level> levels {{nullptr, ItemModelBookmark::sorted(records), 0}};
    while (!levels.isEmpty()) {
        Level& level = levels.last();
        if (level.next >= level.records.size()) {
            levels.removeLast();
            continue;
        }
        BookmarkRecord* r = level.records.at(level.next++);
        if (!r || seen.contains(r))
            continue;
        seen.insert(r);
        AbsTreeItemModel::_ItemNode* parent = level.parent;
        auto* node = new ItemModelBookmark::_BookmarkItemNode(r, parent);
        (parent ? parent->children : roots).append(node);
        if (r->isFolder && !r->children.isEmpty())
            levels.append({node, ItemModelBookmark::sorted(r->children), 0});
    }
}

} // namespace

ItemModelBookmark::ItemModelBookmark(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

QList<BookmarkRecord*> ItemModelBookmark::sorted(QList<BookmarkRecord*> records)
{
    std::stable_sort(records.begin(), records.end(), bookmarkLessThan);
    return records;
}

void ItemModelBookmark::setBookmarks(const QList<BookmarkRecord*>& rootRecords)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    QSet<const BookmarkRecord*> seen;
    addNodes(roots, rootRecords, seen);
    endResetModel();
}

BookmarkRecord* ItemModelBookmark::recordOf(const QModelIndex& index) const
{
    return index.model() == this ? recordOf(nodeOf(index)) : nullptr;
}

BookmarkRecord* ItemModelBookmark::recordOf(const _ItemNode* node)
{
    return node ? static_cast<const _BookmarkItemNode*>(node)->record : nullptr;
}

int ItemModelBookmark::columnCount(const QModelIndex&) const
{
    return 2;
}

QVariant ItemModelBookmark::data(const QModelIndex& index, int role) const
{
    const BookmarkRecord* r = recordOf(index);
    if (!r)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (index.column() == 0)
            return r->title;
        if (index.column() == 1)
            return r->url;
        return QVariant();
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(icon(r->isFolder)) : QVariant();
    case Qt::SizeHintRole:
        return QSize(0, 25);
    default:
        return QVariant();
    }
}

QVariant ItemModelBookmark::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return QStringLiteral("Title");
    if (section == 1)
        return QStringLiteral("Url");
    return QVariant();
}
