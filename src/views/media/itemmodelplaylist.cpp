#include "itemmodelplaylist.h"

#include "views/common/listrowstyle.h"

ItemModelPlaylist::ItemModelPlaylist(QObject* parent)
    : RecordListModel(parent)
{
}

void ItemModelPlaylist::setPlaylists(const QList<PlaylistRecord>& playlists)
{
    resetRecords<_PlaylistItemNode>(playlists, playlistLessThan);
}

int ItemModelPlaylist::columnCount(const QModelIndex&) const
{
    return 2;
}

QVariant ItemModelPlaylist::data(const QModelIndex& index, int role) const
{
    const PlaylistRecord* playlist = recordAt(index);
    if (!playlist)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return playlist->name;
        case 1:
            return playlist->members.join(QStringLiteral(", "));
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
