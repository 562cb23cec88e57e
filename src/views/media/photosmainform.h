// The photos page (kind 15) or videos page (kind 16) of a phone: its
// albums on the left, the items of all albums or of the chosen album as a
// grid of 128 x 128 thumbnails on the right, with Extract (copy to a folder
// on the PC), Import (add PC files to the phone) and Transfer (to another
// connected phone).
//
// A connected phone's albums are loaded afresh each time the page is made.
// Its thumbnails come in the background from one thumbnail worker that the
// page keeps: each shown list becomes the worker's next run, and each
// thumbnail that arrives redraws its own cell.
//
// A virtual device's albums are the sub-folders of its "photos" or
// "videos" folder, read under a progress dialog (missing thumbnails are made
// then). Extract copies its pictures themselves; Import and Transfer are
// disabled, and nothing reaches for a phone.
#pragma once

#include "records/mediarecords.h"
#include "views/common/abscategorypage.h"

#include <QItemSelection>
#include <QList>

#include <memory>

class AndroidLoadThumbnailsThread;
class ItemModelBucket;
class ItemModelPhotoIcon;
class MyListView;
class QLabel;
namespace Ui {
class PhotosMainForm;
}

class PhotosMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    static constexpr int kPhotos = 15;

    PhotosMainForm(int kind, Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~PhotosMainForm() override;

    // Reads the albums and shows all their items (at construction and after
    // an import).
    void load();

    int kind() const { return m_kind; }
    MyListView* albumView() const;
    MyListView* gridView() const;
    QLabel* titleLabel() const;
    QLabel* countLabel() const;
    ItemModelBucket* albumModel() const { return m_albums; }
    ItemModelPhotoIcon* gridModel() const { return m_grid; }
    // The page's thumbnail worker; null until a connected phone was loaded.
    AndroidLoadThumbnailsThread* thumbnailWorker() const { return m_thumbs.get(); }

    // The command lists: every cell in grid order, the selected cells in
    // selection order, and the selected ones or else every one.
    QList<PhotoRecord> shownItems() const;
    QList<PhotoRecord> selectedItems() const;
    QList<PhotoRecord> toolbarItems() const;

public slots:
    void photoItemContextMenu() { execContextMenu(kGridMenu); }
    void bucketActivated(const QItemSelection& selected, const QItemSelection& deselected);
    void dbClicked(const QModelIndex& index);
    void bucketContextMenu() { execContextMenu(kAlbumMenu); }
    void miBucketExport() { extract(shownItems()); }
    void miSelExport() { extract(selectedItems()); }
    void miToolbarExport() { extract(toolbarItems()); }
    void miImportImage();
    void miBucketA2A() { transfer(shownItems()); }
    void miSelA2A() { transfer(selectedItems()); }
    void miToolbarA2A() { transfer(toolbarItems()); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    static constexpr int kGridMenu = 0;
    static constexpr int kAlbumMenu = 1;

    bool isPhotos() const { return m_kind == kPhotos; }
    // Shows the items in the grid (newest first) and, on a connected
    // phone, makes them the thumbnail worker's next run.
    void showItems(const QList<PhotoRecord>& items);
    void extract(const QList<PhotoRecord>& items);
    void transfer(const QList<PhotoRecord>& items);

    int m_kind;
    std::unique_ptr<Ui::PhotosMainForm> form;
    ItemModelBucket* m_albums;
    ItemModelPhotoIcon* m_grid;
    std::unique_ptr<AndroidLoadThumbnailsThread> m_thumbs;
};
