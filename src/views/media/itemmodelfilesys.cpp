#include "itemmodelfilesys.h"

#include "phonelink/androidloadfilesys.h"
#include "records/remotefile.h"

#include <QIcon>
#include <QLocale>

ItemModelFileSys::_FileItemNode::_FileItemNode(_RemoteFile* entry)
    : _ItemNode(entry->isDir ? 1 : 0, entry->name, nullptr)
    , entry(entry)
{
}

ItemModelFileSys::ItemModelFileSys(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

ItemModelFileSys::_FileItemNode* ItemModelFileSys::addFileNode(_FileItemNode* parent, _RemoteFile* entry)
{
    return addFileNodes(parent, {entry}).constFirst();
}

QList<ItemModelFileSys::_FileItemNode*> ItemModelFileSys::addFileNodes(_FileItemNode* parent,
                                                                       const QList<_RemoteFile*>& entries)
{
    QList<_FileItemNode*> made;
    QList<_ItemNode*> nodes;
    for (_RemoteFile* entry : entries) {
        auto* node = new _FileItemNode(entry);
        made.append(node);
        nodes.append(node);
    }
    int row = int(childList(parent).size());
    appendNodes(parent, nodes);
    // Their rows are known: nodes appended under them later find their
    // parent's index without a search among its siblings.
    for (_FileItemNode* node : std::as_const(made))
        node->cachedIndex = createIndex(row++, 0, node);
    return made;
}

ItemModelFileSys::_FileItemNode* ItemModelFileSys::fileNode(const QModelIndex& index)
{
    return dynamic_cast<_FileItemNode*>(nodeOf(index));
}

QString ItemModelFileSys::sizeText(qint64 bytes)
{
    const qint64 kb = bytes / 1024 + (bytes % 1024 > 0 ? 1 : 0);
    return QStringLiteral("%L1 KB").arg(double(kb), 0, 'g', 6);
}

int ItemModelFileSys::columnCount(const QModelIndex&) const
{
    return 4;
}

bool ItemModelFileSys::hasChildren(const QModelIndex& parent) const
{
    const _FileItemNode* node = fileNode(parent);
    if (node && !node->listed)
        return AndroidLoadFileSys::isListable(node->entry);
    return AbsTreeItemModel::hasChildren(parent);
}

QVariant ItemModelFileSys::data(const QModelIndex& index, int role) const
{
    const _FileItemNode* node = fileNode(index);
    if (!node)
        return QVariant();
    const _RemoteFile& e = *node->entry;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return e.label.isEmpty() ? e.name : e.label;
        case 1:
            return e.modified.isValid() ? QLocale::system().toString(e.modified, QLocale::ShortFormat) : QString();
        case 2:
            return e.isDir ? QStringLiteral("File Folder") : QStringLiteral("File");
        case 3:
            return e.isDir ? QString() : sizeText(e.size);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() == 0) {
            // Loaded once, on the GUI thread.
            static const QIcon folder(QStringLiteral(":res/folder.png"));
            static const QIcon file(QStringLiteral(":res/file.png"));
            return e.isDir ? folder : file;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant ItemModelFileSys::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    static const char* const headers[] = {"Name", "Date modified", "Type", "Size"};
    if (section < 0 || section >= 4)
        return QVariant();
    return QString::fromLatin1(headers[section]);
}
