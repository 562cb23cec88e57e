#include "playlistmainform.h"

#include "ui_playlistmainform.h"

#include "jobs/androidrestoreplaylistthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadplayliststhread.h"
#include "records/localplaylistdb.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>

namespace {
constexpr char kPlaylistsDb[] = "playlists.db";
} // namespace

PlaylistMainForm::PlaylistMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsRecordPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::PlaylistMainForm>())
    , model(own(new ItemModelPlaylist))
{
    form->setupUi(this);
    connect(form->listPl, &MyTreeView::createContextMenu, this, &PlaylistMainForm::miContextMenu);
    setRecordList(form->listPl, form->lbCount, model);
    setCommands(recordCommands(
        this,
        {.backup = {QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_PLAYLISTS"), QT_TR_NOOP("IDS_MI_BACKUP_PLAYLISTS")},
         .toPhone = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"), QT_TR_NOOP("IDS_MI_TRANSFER_A2A")},
         .fromBackup = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"), QT_TR_NOOP("IDS_MI_TRANSFER_DB2A")},
         .remove = {QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_PLAYLISTS"), QT_TR_NOOP("IDS_MI_DELETE")}}));
    database = openDatabase<LocalPlaylistDb, AndroidLoadPlaylistsThread>(
        kPlaylistsDb, &AndroidDeviceInfo::playlistsLoadTime, tr("IDS_LOADING_ANDROID_PLAYLISTS"));
    reload();
}

PlaylistMainForm::~PlaylistMainForm() = default;

void PlaylistMainForm::reload()
{
    if (!database)
        return;
    try {
        const QList<PlaylistRecord> playlists = database->loadAll();
        model->setPlaylists(playlists);
        form->lbCount->setText(QStringLiteral("Total:%1").arg(playlists.size()));
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

QList<PlaylistRecord> PlaylistMainForm::selectedPlaylists() const
{
    return selectedRecords(*model);
}

void PlaylistMainForm::backup(const QList<PlaylistRecord>& playlists)
{
    if (const std::optional<QString> folder = backupRecords<BackupPlaylistsThread, LocalPlaylistDb>(
            kPlaylistsDb, tr("IDS_TITLE_BACKUPING_PLAYLISTS"), playlists))
        emit backupFinished(*folder);
}

void PlaylistMainForm::transferToAndroid(const QList<PlaylistRecord>& playlists)
{
    transferRecords<AndroidRestorePlaylistThread, LocalPlaylistDb>(
        kPlaylistsDb, tr("IDS_TRANSFER_PLAYLISTS_TO_ANDROID"), nullptr, playlists);
}

void PlaylistMainForm::miToolbarDelete()
{
    if (!selectedPlaylists().isEmpty()) {
        deleteSelected();
        return;
    }
    if (database && source().isBackup()
        && deleteDatabaseFile(*database, tr("IDS_CONFIRM_DEL_ALL_PLAYLISTS"), tr("IDS_DEL_ALL_PLAYLISTS_SUC")))
        reload();
}

void PlaylistMainForm::deleteSelected()
{
    if (!database || !source().isBackup())
        return;
    const QList<PlaylistRecord> selected = selectedPlaylists();
    if (deleteInTransaction(*database, tr("IDS_CONFIRM_DEL_SEL_PLAYLISTS"), tr("IDS_DEL_SEL_PLAYLISTS_SUC"), [&] {
            for (const PlaylistRecord& p : selected)
                database->removePlaylist(p.id);
        }))
        reload();
}

void PlaylistMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int w = event->size().width() - 23;
    form->listPl->header()->resizeSection(0, int(w * 0.2));
    form->listPl->header()->resizeSection(1, int(w * 0.8));
}
