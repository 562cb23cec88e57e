// The list of the playlists page: one flat row per playlist, sorted by name
// without regard to case, in two columns (name, members).
#pragma once

#include "records/playlistrecord.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelPlaylist : public RecordListModel<PlaylistRecord> {
    Q_OBJECT

public:
    // A row's node, named by its playlist.
    class _PlaylistItemNode : public RecordNode {
    public:
        explicit _PlaylistItemNode(const PlaylistRecord& record)
            : RecordNode(record, record.name)
        {
        }
    };

    explicit ItemModelPlaylist(QObject* parent = nullptr);

    // Replaces the content: the playlists by name (lower case), names equal
    // in lower case in the order given.
    void setPlaylists(const QList<PlaylistRecord>& playlists);
    // All playlists in display order.
    const QList<PlaylistRecord>& playlists() const { return m_records; }
};
