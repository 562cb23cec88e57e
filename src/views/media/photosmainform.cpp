#include "photosmainform.h"

#include "ui_photosmainform.h"

#include "jobs/androidtransferimagesa2athread.h"
#include "jobs/androiduploadimagesthread.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/androidloadimagesthread.h"
#include "phonelink/androidloadthumbnailsthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/remotefile.h"
#include "shell/core/plaintext.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mylistview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/media/extractlocalfilesthread.h"
#include "views/media/itemmodelbucket.h"
#include "views/media/itemmodelphotoicon.h"
#include "views/media/virtualphotoalbums.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QResizeEvent>

#include <algorithm>

namespace {

const char kPhotoFilter[] = "Images (*.png *.jpg)";
const char kVideoFilter[] = "Videos (*.avi *.wmv *.wmp *.asf *.rm *.rmvb *.mpg *.mpeg *.mp4 *.m4v *.f4v *.flv *.mov "
                            "*.3gp *.3gpp)";

// Room for the thumbnail and two lines of its name.
QSize cellSize(const QWidget* view)
{
    const QFontMetrics metrics(view->font());
    return QSize(ItemModelPhotoIcon::kIconSide + 12, ItemModelPhotoIcon::kIconSide + 2 * metrics.lineSpacing() + 8);
}

} // namespace

PhotosMainForm::PhotosMainForm(int kind, Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , m_kind(kind)
    , form(std::make_unique<Ui::PhotosMainForm>())
    , m_albums(own(new ItemModelBucket))
    , m_grid(own(new ItemModelPhotoIcon))
{
    form->setupUi(this);
    connect(form->iconPhotos, &MyListView::createContextMenu, this, &PhotosMainForm::photoItemContextMenu);
    connect(form->listBucket, &MyListView::onSelectionChanged, this, &PhotosMainForm::bucketActivated);
    connect(form->iconPhotos, &MyListView::doubleClicked, this, &PhotosMainForm::dbClicked);
    connect(form->listBucket, &MyListView::createContextMenu, this, &PhotosMainForm::bucketContextMenu);
    form->listBucket->setModel(m_albums);
    m_grid->setCellSize(cellSize(form->iconPhotos));
    form->iconPhotos->setModel(m_grid);

    using C = Command;
    // A transfer goes from a connected phone only.
    const auto connected = [this] { return source().isConnectedPhone(); };
    const bool photos = isPhotos();
    setCommands({
        {.sources = C::PhonePages,
         .icon = ":res/a2a.png",
         .toolbarText
         = photos ? QT_TR_NOOP("IDS_TRANSFER_TOOLBAR_IMAGES_A2A") : QT_TR_NOOP("IDS_TRANSFER_TOOLBAR_VIDEOS_A2A"),
         .menuText = photos ? QT_TR_NOOP("IDS_TRANSFER_SEL_IMAGES_A2A") : QT_TR_NOOP("IDS_TRANSFER_SEL_VIDEOS_A2A"),
         .rule = C::Transfer,
         .enabled = connected,
         .onToolbar = [this] { miToolbarA2A(); },
         .onMenu = [this] { miSelA2A(); },
         .menu = kGridMenu},
        {.sources = C::PhonePages,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = photos ? QT_TR_NOOP("IDS_EXPORT_TOOLBAR_IMAGES") : QT_TR_NOOP("IDS_EXPORT_TOOLBAR_VIDEOS"),
         .menuText = photos ? QT_TR_NOOP("IDS_EXPORT_SEL_IMAGES") : QT_TR_NOOP("IDS_EXPORT_SEL_VIDEOS"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miSelExport(); },
         .menu = kGridMenu},
        {.sources = C::PhonePages,
         .icon = ":res/import-files.png",
         .toolbarText = photos ? QT_TR_NOOP("IDS_IMPORT_IMAGES") : QT_TR_NOOP("IDS_IMPORT_VIDEOS"),
         .rule = C::ConnectedPhone,
         .onToolbar = [this] { miImportImage(); },
         .menu = kGridMenu},
        {.sources = C::PhonePages,
         .icon = ":res/a2a.png",
         .menuText
         = photos ? QT_TR_NOOP("IDS_TRANSFER_BUCKET_IMAGES_A2A") : QT_TR_NOOP("IDS_TRANSFER_BUCKET_VIDEOS_A2A"),
         .rule = C::Transfer,
         .enabled = connected,
         .onMenu = [this] { miBucketA2A(); },
         .menu = kAlbumMenu},
        {.sources = C::PhonePages,
         .icon = ":res/mi_export-sms.png",
         .menuText = photos ? QT_TR_NOOP("IDS_EXPORT_BUCKET_IMAGES") : QT_TR_NOOP("IDS_EXPORT_BUCKET_VIDEOS"),
         .onMenu = [this] { miBucketExport(); },
         .menu = kAlbumMenu},
    });
    load();
}

PhotosMainForm::~PhotosMainForm()
{
    // The worker ends before the grid it redraws.
    m_thumbs.reset();
}

MyListView* PhotosMainForm::albumView() const
{
    return form->listBucket;
}

MyListView* PhotosMainForm::gridView() const
{
    return form->iconPhotos;
}

QLabel* PhotosMainForm::titleLabel() const
{
    return form->lbBucketTitle;
}

QLabel* PhotosMainForm::countLabel() const
{
    return form->lbCount;
}

// ---------------------------------------------------------------- loading

void PhotosMainForm::load()
{
    if (m_thumbs)
        m_thumbs->stop();
    m_grid->clear();
    m_albums->setBuckets({});
    QList<PhotoBucket> albums;
    QList<PhotoRecord> items;
    const QString title = isPhotos() ? tr("IDS_LOADING_ANDROID_IMAGES") : tr("IDS_LOADING_ANDROID_VIDEOS");
    if (source().isVirtualDevice()) {
        const QString folder = QDir(source().device()->folder)
                                   .absoluteFilePath(isPhotos() ? QStringLiteral("photos") : QStringLiteral("videos"));
        // A large folder may need many thumbnails made: not on the window's
        // time. A cancel keeps what was read.
        ProgressForm progress(title, this);
        runTask(progress, [&] {
            virtualphotoalbums::read(
                folder, albums,
                [&](int n) {
                    simpleprotocol::checkCanceled();
                    if (n % 50 == 1)
                        progress.postUpdateProgress(QString(), -1, tr("Images:%1").arg(n));
                },
                [] { simpleprotocol::checkCanceled(); });
        });
        items = virtualphotoalbums::newestFirst(albums);
    } else if (source().isConnectedPhone()) {
        if (!m_thumbs) {
            m_thumbs = std::make_unique<AndroidLoadThumbnailsThread>(source().device());
            connect(m_thumbs.get(), &AndroidLoadThumbnailsThread::refresh, m_grid,
                    &ItemModelPhotoIcon::updateThumbnail);
        }
        ProgressForm progress(title, this);
        AndroidLoadImagesThread job(m_kind, source().device(), &progress);
        runJob(progress, job);
        // Whatever the outcome: what arrived is shown.
        albums = job.buckets();
        items = job.bucketItems();
    }
    m_albums->setBuckets(albums);
    showItems(items);
    form->lbBucketTitle->setText(isPhotos() ? tr("IDS_ALL_PHOTOS") : tr("IDS_ALL_VIDEOS"));
}

void PhotosMainForm::showItems(const QList<PhotoRecord>& items)
{
    if (m_thumbs)
        m_thumbs->stop();
    QList<ItemModelPhotoIcon::Cell> cells;
    cells.reserve(items.size());
    QStringList requests;
    for (const PhotoRecord& r : items) {
        if (m_thumbs) {
            cells.append({r, m_thumbs->thumbnailPath(r.altPath)});
            requests.append(r.altPath);
        } else {
            cells.append({r, r.altPath});
        }
    }
    m_grid->setCells(cells);
    form->lbCount->setText(QStringLiteral("Total:%1").arg(items.size()));
    if (m_thumbs) {
        m_thumbs->requests = requests;
        m_thumbs->fetch();
    }
}

void PhotosMainForm::bucketActivated(const QItemSelection& selected, const QItemSelection&)
{
    const QModelIndexList indexes = selected.indexes();
    if (indexes.isEmpty() || !source().isPhonePage())
        return;
    const PhotoBucket* album = ItemModelBucket::bucketAt(indexes.first());
    if (!album)
        return;
    showItems(virtualphotoalbums::newestFirst(album->photos));
    form->lbBucketTitle->setText(album->name);
}

// ---------------------------------------------------------------- lists

QList<PhotoRecord> PhotosMainForm::shownItems() const
{
    return m_grid->records();
}

QList<PhotoRecord> PhotosMainForm::selectedItems() const
{
    QList<PhotoRecord> out;
    const QItemSelectionModel* selection = form->iconPhotos->selectionModel();
    if (!selection)
        return out;
    for (const QModelIndex& index : selection->selectedRows(0))
        if (const PhotoRecord* r = ItemModelPhotoIcon::recordAt(index))
            out.append(*r);
    return out;
}

QList<PhotoRecord> PhotosMainForm::toolbarItems() const
{
    const QList<PhotoRecord> selected = selectedItems();
    return selected.isEmpty() ? shownItems() : selected;
}

bool PhotosMainForm::hasSelection(int menu) const
{
    const MyListView* view = menu == kAlbumMenu ? form->listBucket : form->iconPhotos;
    return view->selectionModel() && view->selectionModel()->hasSelection();
}

// ---------------------------------------------------------------- commands

void PhotosMainForm::dbClicked(const QModelIndex& index)
{
    if (const PhotoRecord* r = ItemModelPhotoIcon::recordAt(index))
        extract({*r});
}

void PhotosMainForm::extract(const QList<PhotoRecord>& items)
{
    if (items.isEmpty() || !source().isPhonePage())
        return;
    const QString folder = uiprompt::getExistingDirectory(this, QString(), QDir::homePath());
    if (folder.isEmpty())
        return;
    if (!QDir().mkpath(folder)) {
        showError(tr("IDS_CANNOT_CREATE_FOLDER_%1").arg(folder));
        return;
    }
    QList<_RemoteFile*> entries;
    for (const PhotoRecord& r : items)
        entries.append(new _RemoteFile(nullptr, false, r.path, QString(), true, true, true, QString()));
    ProgressForm progress(tr("IDS_DOWNLOADING_FILES"), this);
    if (source().isVirtualDevice()) {
        // The pictures are here already: they are copied.
        ExtractLocalFilesThread job(entries, QDir(folder), &progress);
        runJob(progress, job);
    } else {
        AndroidDownloadFilesThread job(source().device(), entries, QDir(folder), &progress);
        if (runJob(progress, job) == JobResult::Succeeded && !job.refusedNames().isEmpty()) {
            QStringList names;
            for (const QString& name : job.refusedNames())
                names.append(simpleprotocol::showLineBreaks(name));
            showWarning(asPlainText(tr("IDS_FILES_NOT_EXTRACTED_%1").arg(names.join(QLatin1Char('\n')))));
        }
    }
    qDeleteAll(entries);
}

void PhotosMainForm::transfer(const QList<PhotoRecord>& items)
{
    if (items.isEmpty() || !source().isConnectedPhone())
        return;
    const std::shared_ptr<AndroidDeviceInfo> target = chooseTransferTarget();
    if (!target)
        return;
    ProgressForm progress(isPhotos() ? tr("IDS_TRANSFERING_IMAGES_A2A") : tr("IDS_TRANSFERING_VIDEOS_A2A"), this);
    AndroidTransferImagesA2AThread job(m_kind, source().device(), target.get(), items, &progress);
    runJob(progress, job);
}

void PhotosMainForm::miImportImage()
{
    if (!source().isConnectedPhone())
        return;
    const QStringList paths = uiprompt::getOpenFileNames(this, QString(), QDir::currentPath(),
                                                         QString::fromLatin1(isPhotos() ? kPhotoFilter : kVideoFilter));
    if (paths.isEmpty())
        return;
    // The next import starts where this one chose.
    QDir::setCurrent(QFileInfo(paths.first()).absolutePath());
    ProgressForm progress(isPhotos() ? tr("IDS_IMPORTING_IMAGES") : tr("IDS_IMPORTING_VIDEOS"), this);
    AndroidUploadImagesThread job(m_kind, source().device(), paths, &progress);
    if (runJob(progress, job) == JobResult::Succeeded)
        load();
}

void PhotosMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int w = event->size().width();
    form->splitter->setSizes({int(w * 0.2), int(w * 0.8)});
}
