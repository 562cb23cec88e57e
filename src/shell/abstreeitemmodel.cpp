#include "abstreeitemmodel.h"

#include "shell/core/treedelete.h"

AbsTreeItemModel::_ItemNode::_ItemNode(int type, const QString& text, _ItemNode* parent)
    : type(type)
    , text(text)
    , parent(parent)
{
}

AbsTreeItemModel::_ItemNode::~_ItemNode()
{
    // A tree may be as deep as the data it shows.
    deleteSubtrees(children);
}

AbsTreeItemModel::AbsTreeItemModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

AbsTreeItemModel::~AbsTreeItemModel()
{
    qDeleteAll(roots);
    roots.clear();
}

AbsTreeItemModel::_ItemNode* AbsTreeItemModel::nodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<_ItemNode*>(index.internalPointer()) : nullptr;
}

QModelIndex AbsTreeItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    const QList<_ItemNode*>& list = childList(nodeOf(parent));
    _ItemNode* node = list.at(row);
    const QModelIndex idx = createIndex(row, column, node);
    node->cachedIndex = idx;
    return idx;
}

QModelIndex AbsTreeItemModel::parent(const QModelIndex& child) const
{
    const _ItemNode* node = nodeOf(child);
    if (!node || !node->parent)
        return QModelIndex();
    // The parent's row comes from its own parent's list: a cached index would
    // be stale once an earlier sibling of the parent was removed.
    _ItemNode* parentNode = node->parent;
    const int row = int(childList(parentNode->parent).indexOf(parentNode));
    if (row < 0)
        return QModelIndex();
    return createIndex(row, 0, parentNode);
}

int AbsTreeItemModel::rowCount(const QModelIndex& parent) const
{
    // Only column 0 carries children; other columns of a row are leaves, as
    // views and proxies expect.
    if (parent.isValid() && parent.column() > 0)
        return 0;
    return int(childList(nodeOf(parent)).size());
}

QModelIndex AbsTreeItemModel::indexOfNode(const _ItemNode* node) const
{
    if (!node)
        return QModelIndex();
    const QList<_ItemNode*>& list = childList(node->parent);
    const QModelIndex& cached = node->cachedIndex;
    // The cache is trusted only while it still points at the node's row.
    if (cached.isValid() && cached.model() == this && cached.row() < list.size() && list.at(cached.row()) == node)
        return cached.column() == 0 ? cached : createIndex(cached.row(), 0, const_cast<_ItemNode*>(node));
    const int row = int(list.indexOf(const_cast<_ItemNode*>(node)));
    if (row < 0)
        return QModelIndex();
    return createIndex(row, 0, const_cast<_ItemNode*>(node));
}

void AbsTreeItemModel::removeChildren(_ItemNode* node)
{
    QList<_ItemNode*>& list = childList(node);
    if (list.isEmpty())
        return;
    const QModelIndex parentIndex = indexOfNode(node);
    if (node && !parentIndex.isValid()) {
        // Not (or no longer) in the model: nobody is looking at these rows.
        qDeleteAll(list);
        list.clear();
        return;
    }
    beginRemoveRows(parentIndex, 0, int(list.size()) - 1);
    const QList<_ItemNode*> doomed = list;
    list.clear();
    qDeleteAll(doomed);
    endRemoveRows();
}

void AbsTreeItemModel::removeNode(_ItemNode* node)
{
    if (!node)
        return;
    removeChildren(node);
    QList<_ItemNode*>& list = childList(node->parent);
    const int row = int(list.indexOf(node));
    if (row < 0)
        return;
    const QModelIndex parentIndex = indexOfNode(node->parent);
    if (node->parent && !parentIndex.isValid()) {
        // The parent has left the model: the row is nobody's to announce
        // (an invalid parent would name a top-level row instead).
        list.removeAt(row);
        delete node;
        return;
    }
    beginRemoveRows(parentIndex, row, row);
    list.removeAt(row);
    delete node;
    endRemoveRows();
}

void AbsTreeItemModel::appendNode(_ItemNode* parent, _ItemNode* node)
{
    if (node)
        appendNodes(parent, {node});
}

void AbsTreeItemModel::appendNodes(_ItemNode* parent, const QList<_ItemNode*>& nodes)
{
    if (nodes.isEmpty())
        return;
    QList<_ItemNode*>& list = childList(parent);
    const int first = int(list.size());
    const QModelIndex parentIndex = indexOfNode(parent);
    const bool announce = !parent || parentIndex.isValid();
    if (announce)
        beginInsertRows(parentIndex, first, first + int(nodes.size()) - 1);
    for (_ItemNode* n : nodes) {
        n->parent = parent;
        list.append(n);
    }
    if (announce)
        endInsertRows();
}

QList<AbsTreeItemModel::_ItemNode*> AbsTreeItemModel::allNodes() const
{
    QList<_ItemNode*> out;
    for (_ItemNode* root : roots)
        collectNodes(out, root);
    return out;
}

void AbsTreeItemModel::collectNodes(QList<_ItemNode*>& out, _ItemNode* node)
{
    // Depth first in row order, kept on a list of pending nodes (last
    // child first, so the first child comes out next).
    QList<_ItemNode*> pending {node};
    while (!pending.isEmpty()) {
        _ItemNode* n = pending.takeLast();
        if (!n)
            continue;
        out.append(n);
        for (auto it = n->children.crbegin(); it != n->children.crend(); ++it)
            pending.append(*it);
    }
}

int countChildNodes(const AbsTreeItemModel::_ItemNode* node, int kind)
{
    if (!node)
        return 0;
    int n = 0;
    for (const auto* child : node->children)
        if (child->type == kind)
            ++n;
    return n;
}
