// The tree of the file-system page: one row per file or folder in four
// columns (name, date modified, type, size). A node borrows its entry's
// record (deleting a node never deletes the record) and knows whether its
// folder's entries have been placed under it yet.
#pragma once

#include "shell/abstreeitemmodel.h"

#include <QList>

struct _RemoteFile;

class ItemModelFileSys : public AbsTreeItemModel {
    Q_OBJECT

public:
    class _FileItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        // Kind 1 for a folder, 0 for a file; text is the entry's name.
        explicit _FileItemNode(_RemoteFile* entry);
        _RemoteFile* entry; // not owned
        bool listed = false; // the folder's entries are placed under it
    };

    explicit ItemModelFileSys(QObject* parent = nullptr);

    // Makes a node for the entry and appends it under parent (null: the
    // roots), announcing its row; returns the node.
    _FileItemNode* addFileNode(_FileItemNode* parent, _RemoteFile* entry);
    // The same for a folder's entries in one announced block; returns the
    // nodes in order.
    QList<_FileItemNode*> addFileNodes(_FileItemNode* parent, const QList<_RemoteFile*>& entries);
    static _FileItemNode* fileNode(const QModelIndex& index);

    // "%L1 KB" with the size in KB taken up to the next whole number, in
    // general format with six significant digits.
    static QString sizeText(qint64 bytes);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // A folder not listed yet may have entries: the view offers to expand it.
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
