#include "playlistmainform.h"

#include "ui_playlistmainform.h"

#include "jobs/androidrestoreplaylistthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadplayliststhread.h"
#include "records/localplaylistdb.h"
#include "shell/itemmodelmain.h"
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
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::PlaylistMainForm>())
    , model(own(new ItemModelPlaylist))
{
    form->setupUi(this);
    connect(form->listPl, &MyTreeView::createContextMenu, this, &PlaylistMainForm::miContextMenu);
    form->listPl->setModel(model);

    using C = Command;
    setCommands({
        {.sources = C::PhonePages,
         .icon = ":res/save-to-database.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_PLAYLISTS"),
         .menuText = QT_TR_NOOP("IDS_MI_BACKUP_PLAYLISTS"),
         .onToolbar = [this] { miToolbarBackup(); },
         .onMenu = [this] { miBackup(); }},
        {.sources = C::PhonePages,
         .icon = ":res/a2a.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"),
         .menuText = QT_TR_NOOP("IDS_MI_TRANSFER_A2A"),
         .rule = C::Transfer,
         .onToolbar = [this] { miToolbarA2A(); },
         .onMenu = [this] { miA2A(); }},
        {.sources = C::BackupPages,
         .icon = ":res/db2a.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"),
         .menuText = QT_TR_NOOP("IDS_MI_TRANSFER_DB2A"),
         .rule = C::Transfer,
         .onToolbar = [this] { miToolbarDB2A(); },
         .onMenu = [this] { miDB2A(); }},
        {.sources = C::BackupPages,
         .icon = ":res/mi_delete.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_PLAYLISTS"),
         .menuText = QT_TR_NOOP("IDS_MI_DELETE"),
         .onToolbar = [this] { miToolbarDelete(); },
         .onMenu = [this] { miDelete(); }},
    });

    const QString path = source().databasePath(QLatin1String(kPlaylistsDb));
    if (!path.isEmpty()) {
        database.reset(new LocalPlaylistDb(path));
        if (AndroidDeviceInfo* device = source().device())
            loadPhoneCache(*database, device->playlistsLoadTime, tr("IDS_LOADING_ANDROID_PLAYLISTS"),
                           [&](ProgressForm& progress) {
                               return std::make_unique<AndroidLoadPlaylistsThread>(device, database.data(), &progress);
                           });
    }
    reload();
}

PlaylistMainForm::~PlaylistMainForm() = default;

MyTreeView* PlaylistMainForm::listView() const
{
    return form->listPl;
}

QLabel* PlaylistMainForm::countLabel() const
{
    return form->lbCount;
}

QString PlaylistMainForm::databasePath() const
{
    return database ? database->filePath() : QString();
}

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
    return recordsOfSelection(form->listPl, *model);
}

QList<PlaylistRecord> PlaylistMainForm::selectedOrAll() const
{
    const QList<PlaylistRecord> selected = selectedPlaylists();
    return selected.isEmpty() ? model->playlists() : selected;
}

bool PlaylistMainForm::hasSelection(int) const
{
    return !selectedPlaylists().isEmpty();
}

void PlaylistMainForm::backup(const QList<PlaylistRecord>& playlists)
{
    if (!source().isPhonePage())
        return;
    const std::optional<QDir> folder = chooseBackupFolder();
    if (!folder)
        return;
    LocalPlaylistDb db(folder->absoluteFilePath(QLatin1String(kPlaylistsDb)));
    ProgressForm progress(tr("IDS_TITLE_BACKUPING_PLAYLISTS"), this);
    BackupPlaylistsThread job(&db, playlists, &progress);
    if (runJob(progress, job) == JobResult::Succeeded)
        emit backupFinished(folder->dirName());
}

void PlaylistMainForm::transferToAndroid(const QList<PlaylistRecord>& playlists)
{
    _AndroidDeviceItemNode* target = chooseTransferTarget();
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TRANSFER_PLAYLISTS_TO_ANDROID"));
    LocalPlaylistDb db(target->device.cacheDir().absoluteFilePath(QLatin1String(kPlaylistsDb)));
    AndroidRestorePlaylistThread job(&target->device, &db, playlists, &progress);
    runJob(progress, job);
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
