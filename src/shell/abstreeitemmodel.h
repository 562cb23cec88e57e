// Base of every list and tree model of the application: a forest of
// polymorphic nodes, each node being the internal pointer of its indexes.
// Subclasses implement columnCount and data.
//
// Adding nodes: use appendNode/insertNode (they announce the rows), or for a
// wholesale rebuild wrap the changes in beginResetModel/endResetModel.
// Appending to roots/children directly and emitting layoutChanged still
// works for views but does not tell them which rows appeared.
#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QModelIndex>
#include <QString>

class AbsTreeItemModel : public QAbstractItemModel {
public:
    class _ItemNode {
    public:
        // Does not insert the node anywhere: the creator appends it to its
        // parent's children (or to the model's roots).
        _ItemNode(int type, const QString& text, _ItemNode* parent);
        virtual ~_ItemNode(); // deletes the children
        _ItemNode(const _ItemNode&) = delete;
        _ItemNode& operator=(const _ItemNode&) = delete;

        int kind() const { return type; }

        int type; // the model's row kind (NavNodeKind in the navigation tree)
        QString text; // what the model usually shows
        QModelIndex cachedIndex; // last index handed out; may be stale, see indexOfNode
        _ItemNode* parent; // not owned; null for a root
        QList<_ItemNode*> children; // owned
    };

    explicit AbsTreeItemModel(QObject* parent = nullptr);
    ~AbsTreeItemModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

    // The node behind an index (null for the invisible root).
    static _ItemNode* nodeOf(const QModelIndex& index);

    // The node's index in column 0 (invalid for null or a node not in the model).
    QModelIndex indexOfNode(const _ItemNode* node) const;
    // Removes and deletes all children of the node (null: all roots).
    void removeChildren(_ItemNode* node);
    // Removes and deletes the node with its subtree.
    void removeNode(_ItemNode* node);
    // Appends a node (taking ownership) as the last child of parent (null:
    // a root), announcing the new row. Sets node->parent.
    void appendNode(_ItemNode* parent, _ItemNode* node);
    // Appends several nodes in one announced block.
    void appendNodes(_ItemNode* parent, const QList<_ItemNode*>& nodes);

    // Every node in pre-order.
    QList<_ItemNode*> allNodes() const;
    static void collectNodes(QList<_ItemNode*>& out, _ItemNode* node);

    const QList<_ItemNode*>& rootNodes() const { return roots; }

protected:
    QList<_ItemNode*>& childList(_ItemNode* node) { return node ? node->children : roots; }
    const QList<_ItemNode*>& childList(const _ItemNode* node) const { return node ? node->children : roots; }

    QList<_ItemNode*> roots; // owned
};

// The number of direct children of node whose type equals kind.
int countChildNodes(const AbsTreeItemModel::_ItemNode* node, int kind);
