#include "itemmodelplaylist.h"

#include "shell/core/plaintext.h"
#include "views/common/listrowstyle.h"

#include <algorithm>

ItemModelPlaylist::ItemModelPlaylist(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

void ItemModelPlaylist::setPlaylists(const QList<PlaylistRecord>& playlists)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    m_playlists = playlists;
    std::stable_sort(m_playlists.begin(), m_playlists.end(), playlistLessThan);
    for (const PlaylistRecord& p : std::as_const(m_playlists))
        roots.append(new _PlaylistItemNode(p));
    endResetModel();
}

int ItemModelPlaylist::columnCount(const QModelIndex&) const
{
    return 2;
}

QVariant ItemModelPlaylist::data(const QModelIndex& index, int role) const
{
    const auto* node = dynamic_cast<const _PlaylistItemNode*>(nodeOf(index));
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::ToolTipRole:
        return plainToolTip(data(index, Qt::DisplayRole));
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return node->record.name;
        case 1:
            return node->record.members.join(QStringLiteral(", "));
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(listrowstyle::fileIcon()) : QVariant();
    default:
        return listrowstyle::rowData(index, role);
    }
}

QVariant ItemModelPlaylist::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Name", "Members"};
    return listrowstyle::header(titles, section, orientation, role);
}
