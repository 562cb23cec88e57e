#include "itemmodelplaylist.h"

namespace {

constexpr ItemModelPlaylist::Column kColumns[] = {
    {"Name", [](const PlaylistRecord& p) { return p.name; }},
    {"Members", [](const PlaylistRecord& p) { return p.members.join(QStringLiteral(", ")); }},
};

} // namespace

ItemModelPlaylist::ItemModelPlaylist(QObject* parent)
    : RecordListModel(kColumns, parent)
{
}

void ItemModelPlaylist::setPlaylists(const QList<PlaylistRecord>& playlists)
{
    resetRecords<_PlaylistItemNode>(playlists, playlistLessThan);
}
