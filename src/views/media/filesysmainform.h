// The file-system page of a phone: its files and folders as a tree (name,
// date modified, type, size) with Extract Files (copy to a folder on the
// PC), Import Files (upload into a phone folder) and Delete Files.
//
// A connected phone's tree is read folder by folder over one connection
// that the page holds (AndroidLoadFileSys): "/" when the page is made, a
// folder when it is first selected or expanded, whichever comes first (a
// folder an Extract listed already is made from what it read). A listing
// that failed leaves the folder unlisted, so the next selection or
// expansion tries again. Every request runs as a task under a
// progress dialog, so the window never waits on the phone and Cancel ends
// it. A virtual device's tree is its local folder "file-sys", read whole
// when the page is made; Extract copies those local files, Import Files and
// Delete Files are disabled, and nothing reaches for a phone.
//
// Deleting on a phone cannot be undone, so only what the user chose goes:
// the phone's top-level entries can never be deleted, nor can an entry that
// the listing kept out of reach (its path is not inside its folder's); a
// deletion the phone refuses is named, and success is said only when every
// entry went.
#pragma once

#include "views/common/abscategorypage.h"
#include "views/media/itemmodelfilesys.h"

#include <QItemSelection>
#include <QList>

#include <memory>

class AndroidLoadFileSys;
class FolderWalk;
class MyTreeView;
class QFileInfo;
struct _RemoteFile;
namespace Ui {
class FileSysMainForm;
}

class FileSysMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    using FileNode = ItemModelFileSys::_FileItemNode;

    FileSysMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~FileSysMainForm() override;

    MyTreeView* treeView() const;
    ItemModelFileSys* fileModel() const { return model; }
    // The entries of the tree's top level (the phone's "/"), owned by the
    // page; each owns its subtree.
    const QList<_RemoteFile*>& topLevelEntries() const { return m_topLevel; }

    // Extract: asks for a folder on the PC and copies the entries (files,
    // and folders with everything below them) into it.
    void downloadSelected(const QList<_RemoteFile*>& entries);

    // Sorts by name, case-insensitively (a.txt before B.txt); ties keep
    // their order.
    static void sortByName(QList<_RemoteFile*>& entries);

public slots:
    void dbClicked(const QModelIndex& index);
    // Lists the first newly selected row's folder if it is not listed yet.
    void onFileSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void contextMenu() { execContextMenu(); }
    void miExport() { downloadSelected(selectedEntries()); }
    void miToolbarExport();
    void miImport();
    void miDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    // The selected rows less those inside a selected folder (its extraction
    // or deletion carries them), in selection order.
    QList<FileNode*> selectedTopmostNodes() const;
    QList<_RemoteFile*> selectedEntries() const;

    // Lists a folder the first time it is expanded.
    void onFolderExpanded(const QModelIndex& index);
    // Places a folder's entries under its node, listing the folder on the
    // phone when its entry has none yet. False when it could not be listed.
    bool listFolder(FileNode* node);
    // One listing of the phone's folder as a task; the caller owns *out.
    bool listPhoneFolder(const QString& path, QList<_RemoteFile*>* out);
    // Reads the folder afresh after an upload into it.
    void refreshFolder(FileNode* node);
    void removeEntry(FileNode* node);

    void loadLocalFolder(const QFileInfo& folder, _RemoteFile* parent, FolderWalk& walk, QList<_RemoteFile*>& out);
    void addLocalNodes(FileNode* parent, const QList<_RemoteFile*>& entries);

    std::unique_ptr<Ui::FileSysMainForm> form;
    ItemModelFileSys* model;
    QList<_RemoteFile*> m_topLevel;
    AndroidLoadFileSys* m_fs = nullptr; // connected phones only; a child of the page
};
