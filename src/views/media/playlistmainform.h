// The playlists page of a phone (connected or virtual) or of a local backup
// folder: the playlists with their members and count, and backup into a
// backup folder, transfer to another phone (from a phone or a backup) and,
// in a backup folder only, delete.
//
// A connected phone's playlists are loaded from the phone into its cache
// "playlists.db" on the page's first opening after the phone connected;
// later pages of that phone read the cache. A virtual device's are its own
// "playlists.db".
#pragma once

#include "records/playlistrecord.h"
#include "views/common/absrecordpage.h"
#include "views/media/itemmodelplaylist.h"

#include <QList>
#include <QSharedPointer>

#include <memory>

class LocalPlaylistDb;
namespace Ui {
class PlaylistMainForm;
}

class PlaylistMainForm : public AbsRecordPage {
    Q_OBJECT

public:
    PlaylistMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~PlaylistMainForm() override;

    // Reads every playlist of the database into the list and the count.
    void reload();
    // Copies of the selected rows' playlists, in selection order.
    QList<PlaylistRecord> selectedPlaylists() const;

    ItemModelPlaylist* playlistModel() const { return model; }

signals:
    void backupFinished(QString localDbName);

public slots:
    void miContextMenu() { execContextMenu(); }
    void miBackup() { backup(selectedPlaylists()); }
    void miToolbarBackup() { backup(selectedRecordsOrAll(*model)); }
    void miA2A() { transferToAndroid(selectedPlaylists()); }
    void miToolbarA2A() { transferToAndroid(selectedRecordsOrAll(*model)); }
    void miDB2A() { miA2A(); }
    void miToolbarDB2A() { miToolbarA2A(); }
    void miDelete() { deleteSelected(); }
    void miToolbarDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void backup(const QList<PlaylistRecord>& playlists);
    void transferToAndroid(const QList<PlaylistRecord>& playlists);
    void deleteSelected();

    std::unique_ptr<Ui::PlaylistMainForm> form;
    QSharedPointer<LocalPlaylistDb> database;
    ItemModelPlaylist* model;
};
