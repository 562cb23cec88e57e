// The bookmarks page of a phone (connected or virtual) or of a local backup
// folder: the bookmark tree, the number of bookmarks, a search by title,
// opening bookmarks in the browser, and backup, transfer to another phone,
// export and (backup folders only) delete.
//
// A connected phone's bookmarks are loaded from the phone into its cache on
// the page's first opening after the phone connected. The commands' lists
// point into the page's record tree; a folder in a list stands for its whole
// subtree.
#pragma once

#include "records/bookmarkrecord.h"
#include "views/common/absrecordpage.h"
#include "views/organiser/itemmodelbookmark.h"

#include <QList>
#include <QSharedPointer>

#include <memory>

class LocalBookmarkDb;
class QLineEdit;
namespace Ui {
class BookmarksMainForm;
}

class BookmarksMainForm : public AbsRecordPage {
    Q_OBJECT

public:
    BookmarksMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~BookmarksMainForm() override;

    // Reads the bookmark tree of the database into the page and the count.
    void reload();
    // The records of the selected rows, in selection order, less those
    // below a selected folder.
    QList<BookmarkRecord*> getSelectedBookmarks() const;
    // Expands the node's row and those of all its folders.
    void expandToNode(AbsTreeItemModel::_ItemNode* node);
    // The root records the page shows (owned by the page).
    const QList<BookmarkRecord*>& rootRecords() const { return tree; }

    ItemModelBookmark* bookmarkModel() const { return model; }
    QLineEdit* keywordEdit() const;

    // The schemes a double click hands to the browser.
    static bool isOpenableUrl(const QString& url);

signals:
    void backupFinished(QString localDbName);

public slots:
    void bookmarkDoubleClicked();
    void contextMenu() { execContextMenu(); }
    void btnSearchClicked();
    void miExport() { exportToFile(getSelectedBookmarks()); }
    void miBackup() { backup(getSelectedBookmarks()); }
    void miDelete() { deleteSelected(); }
    void miToolbarExport() { exportToFile(selectedOrRoots()); }
    void miToolbarBackup() { backup(selectedOrRoots()); }
    void miToolbarDelete();
    void miA2A() { transferToAndroid(getSelectedBookmarks()); }
    void miToolbarA2A() { transferToAndroid(selectedOrRoots()); }
    void miDB2A() { miA2A(); }
    void miToolbarDB2A() { miToolbarA2A(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void backup(const QList<BookmarkRecord*>& items);
    void exportToFile(const QList<BookmarkRecord*>& items);
    void transferToAndroid(const QList<BookmarkRecord*>& items);
    void deleteSelected();
    void deleteAll();
    QList<BookmarkRecord*> selectedOrRoots() const;

    std::unique_ptr<Ui::BookmarksMainForm> form;
    QSharedPointer<LocalBookmarkDb> database;
    ItemModelBookmark* model;
    QList<BookmarkRecord*> tree; // owned, each root with its subtree
};
