// The list of the playlists page: one flat row per playlist, sorted by name
// without regard to case, in two columns (name, members).
#pragma once

#include "records/playlistrecord.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelPlaylist : public RecordListModel<PlaylistRecord> {
    Q_OBJECT

public:
    class _PlaylistItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _PlaylistItemNode(const PlaylistRecord& record)
            : _ItemNode(0, record.name, nullptr)
            , record(record)
        {
        }
        PlaylistRecord record;
    };

    explicit ItemModelPlaylist(QObject* parent = nullptr);

    // Replaces the content: the playlists by name (lower case), names equal
    // in lower case in the order given.
    void setPlaylists(const QList<PlaylistRecord>& playlists);
    // All playlists in display order.
    const QList<PlaylistRecord>& playlists() const { return m_records; }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
