#include "filesysmainform.h"

#include "ui_filesysmainform.h"

#include "jobs/androiduploadfilesthread.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/androidloadfilesys.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/remotefile.h"
#include "shell/core/folderwalk.h"
#include "shell/core/plaintext.h"
#include "shell/messagebox.h"
#include "shell/multiselfiledialog.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/media/extractlocalfilesthread.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QResizeEvent>
#include <QSet>

#include <algorithm>

namespace {

constexpr char kLocalFolder[] = "file-sys";

QString displayText(const _RemoteFile* entry)
{
    return entry->label.isEmpty() ? entry->name : entry->label;
}

// Paths one per line, line breaks in them made visible.
QString pathList(const QStringList& paths)
{
    QStringList shown;
    for (const QString& p : paths)
        shown.append(simpleprotocol::showLineBreaks(p));
    return shown.join(QLatin1Char('\n'));
}

} // namespace

FileSysMainForm::FileSysMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::FileSysMainForm>())
    , model(own(new ItemModelFileSys))
{
    form->setupUi(this);
    connect(form->treeFiles, &MyTreeView::doubleClicked, this, &FileSysMainForm::dbClicked);
    connect(form->treeFiles, &MyTreeView::onSelectionChanged, this, &FileSysMainForm::onFileSelectionChanged);
    connect(form->treeFiles, &MyTreeView::expanded, this, &FileSysMainForm::onFolderExpanded);
    connect(form->treeFiles, &MyTreeView::createContextMenu, this, &FileSysMainForm::contextMenu);
    form->treeFiles->setModel(model);

    using C = Command;
    setCommands({
        {.sources = C::PhonePages,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = QT_TR_NOOP("IDS_EXPORT_FILES"),
         .menuText = QT_TR_NOOP("IDS_EXPORT_FILES"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miExport(); },
         .menuRank = 1},
        {.sources = C::PhonePages,
         .icon = ":res/import-files.png",
         .toolbarText = QT_TR_NOOP("IDS_IMPORT_FILES"),
         .menuText = QT_TR_NOOP("IDS_IMPORT_FILES"),
         .rule = C::ConnectedPhone,
         .onToolbar = [this] { miImport(); },
         .onMenu = [this] { miImport(); }},
        {.sources = C::PhonePages,
         .icon = ":res/mi_delete.png",
         .toolbarText = QT_TR_NOOP("IDS_DELETE_FILES"),
         .menuText = QT_TR_NOOP("IDS_DELETE_FILES"),
         .rule = C::ConnectedPhone,
         .onToolbar = [this] { miDelete(); },
         .onMenu = [this] { miDelete(); },
         .menuRank = 2},
    });

    if (source().isVirtualDevice()) {
        const QFileInfo folder(QDir(source().device()->folder).absoluteFilePath(QLatin1String(kLocalFolder)));
        FolderWalk walk;
        if (folder.isDir())
            loadLocalFolder(folder, nullptr, walk, m_topLevel);
        addLocalNodes(nullptr, m_topLevel);
    } else if (source().isConnectedPhone()) {
        m_fs = new AndroidLoadFileSys(source().device(), this);
        if (listPhoneFolder(QStringLiteral("/"), &m_topLevel)) {
            // The phone's top level is never deleted from here.
            for (_RemoteFile* entry : std::as_const(m_topLevel))
                entry->deletable = false;
            sortByName(m_topLevel);
            model->addFileNodes(nullptr, m_topLevel);
        }
    }
}

FileSysMainForm::~FileSysMainForm()
{
    // The nodes borrow the entries: they go first.
    model->removeChildren(nullptr);
    qDeleteAll(m_topLevel);
}

MyTreeView* FileSysMainForm::treeView() const
{
    return form->treeFiles;
}

void FileSysMainForm::sortByName(QList<_RemoteFile*>& entries)
{
    QList<std::pair<QString, _RemoteFile*>> keyed;
    keyed.reserve(entries.size());
    for (_RemoteFile* e : std::as_const(entries))
        keyed.append({e->name.toLower(), e});
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (qsizetype i = 0; i < keyed.size(); ++i)
        entries[i] = keyed.at(i).second;
}

// ---------------------------------------------------------------- reading

void FileSysMainForm::loadLocalFolder(const QFileInfo& folder, _RemoteFile* parent, FolderWalk& walk,
                                      QList<_RemoteFile*>& out)
{
    const FolderWalk::Step step(walk, folder);
    if (!step.entered())
        return;
    QList<QFileInfo> infos = FolderWalk::entries(folder.absoluteFilePath());
    // Plain character order here: capitals before lower-case letters.
    std::stable_sort(infos.begin(), infos.end(),
                     [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    for (const QFileInfo& info : std::as_const(infos)) {
        auto* entry
            = new _RemoteFile(parent, info.isDir(), info.absoluteFilePath(), QString(), true, true, true, QString());
        entry->size = info.size();
        entry->modified = info.lastModified();
        out.append(entry);
        if (entry->isDir)
            loadLocalFolder(info, entry, walk, entry->children);
    }
}

void FileSysMainForm::addLocalNodes(FileNode* parent, const QList<_RemoteFile*>& entries)
{
    for (_RemoteFile* entry : entries) {
        FileNode* node = model->addFileNode(parent, entry);
        node->listed = true;
        addLocalNodes(node, entry->children);
    }
}

bool FileSysMainForm::listPhoneFolder(const QString& path, QList<_RemoteFile*>* out)
{
    if (!m_fs)
        return false;
    QList<_RemoteFile*> listed;
    ProgressForm progress(tr("IDS_LOADING_FILES_SCHEMA"), this);
    if (runTask(progress, [&] { m_fs->listFolder(listed, path); }) != JobResult::Succeeded) {
        qDeleteAll(listed);
        return false;
    }
    *out = listed;
    return true;
}

bool FileSysMainForm::listFolder(FileNode* node)
{
    _RemoteFile* entry = node->entry;
    if (!AndroidLoadFileSys::isListable(entry))
        return false;
    // A folder listed for an earlier Extract keeps what it got then.
    if (entry->children.isEmpty()) {
        QList<_RemoteFile*> listed;
        if (!listPhoneFolder(entry->path, &listed))
            return false;
        for (_RemoteFile* child : std::as_const(listed))
            child->parent = entry;
        entry->children = listed;
    }
    sortByName(entry->children);
    model->addFileNodes(node, entry->children);
    node->listed = true;
    return true;
}

void FileSysMainForm::onFileSelectionChanged(const QItemSelection& selected, const QItemSelection&)
{
    if (selected.isEmpty() || !source().isConnectedPhone())
        return;
    FileNode* node = ItemModelFileSys::fileNode(selected.first().topLeft());
    if (!node || node->listed)
        return;
    // A file has nothing to list; a folder that fails stays unlisted, so
    // selecting it again tries again.
    if (node->entry->isDir)
        listFolder(node);
    else
        node->listed = true;
}

void FileSysMainForm::onFolderExpanded(const QModelIndex& index)
{
    FileNode* node = ItemModelFileSys::fileNode(index);
    if (!node || node->listed)
        return;
    if (!listFolder(node))
        form->treeFiles->collapse(index);
}

void FileSysMainForm::refreshFolder(FileNode* node)
{
    model->removeChildren(node);
    qDeleteAll(node->entry->children);
    node->entry->children.clear();
    node->listed = false;
    const QModelIndex index = model->indexOfNode(node);
    if (listFolder(node))
        form->treeFiles->expand(index);
    else
        form->treeFiles->collapse(index);
}

// ---------------------------------------------------------------- selection

QList<FileSysMainForm::FileNode*> FileSysMainForm::selectedTopmostNodes() const
{
    QList<FileNode*> result;
    const QItemSelectionModel* selection = form->treeFiles->selectionModel();
    if (!selection)
        return result;
    const QModelIndexList rows = selection->selectedRows(0);
    QSet<const Node*> selected;
    for (const QModelIndex& index : rows)
        selected.insert(AbsTreeItemModel::nodeOf(index));
    for (const QModelIndex& index : rows) {
        FileNode* node = ItemModelFileSys::fileNode(index);
        if (!node)
            continue;
        bool inside = false;
        for (const Node* up = node->parent; up && !inside; up = up->parent)
            inside = selected.contains(up);
        if (!inside)
            result.append(node);
    }
    return result;
}

QList<_RemoteFile*> FileSysMainForm::selectedEntries() const
{
    QList<_RemoteFile*> entries;
    for (FileNode* node : selectedTopmostNodes())
        entries.append(node->entry);
    return entries;
}

bool FileSysMainForm::hasSelection(int) const
{
    const QItemSelectionModel* selection = form->treeFiles->selectionModel();
    return selection && (selection->hasSelection() || selection->currentIndex().isValid());
}

// ---------------------------------------------------------------- extract

void FileSysMainForm::miToolbarExport()
{
    const QList<_RemoteFile*> selected = selectedEntries();
    downloadSelected(selected.isEmpty() ? m_topLevel : selected);
}

void FileSysMainForm::dbClicked(const QModelIndex& index)
{
    if (FileNode* node = ItemModelFileSys::fileNode(index))
        downloadSelected({node->entry});
}

void FileSysMainForm::downloadSelected(const QList<_RemoteFile*>& entries)
{
    if (entries.isEmpty() || !source().isPhonePage())
        return;
    for (const _RemoteFile* entry : entries) {
        if (!entry->exportable) {
            showWarning(asPlainText(tr("IDS_CAN_EXPORT_FILE_DIR_%1").arg(displayText(entry))));
            return;
        }
        if (entry->exportGroup != entries.first()->exportGroup) {
            showWarning(asPlainText(tr("IDS_CANNOT_EXPORT_FILE_%1_TOGETHER").arg(displayText(entry))));
            return;
        }
    }
    const QString folder = uiprompt::getExistingDirectory(this, QString(), QDir::homePath());
    if (folder.isEmpty())
        return;

    if (source().isVirtualDevice()) {
        ProgressForm progress(tr("IDS_DOWNLOADING_FILES"), this);
        ExtractLocalFilesThread job(entries, QDir(folder), &progress);
        runJob(progress, job);
        return;
    }
    if (!m_fs)
        return;
    // Folders are listed whole first, so that the download knows every file.
    ProgressForm listing(tr("IDS_LOADING_FILES_SCHEMA"), this);
    AndroidLoadFileSysThread lister(m_fs, entries, &listing);
    if (runJob(listing, lister) != JobResult::Succeeded)
        return;
    ProgressForm progress(tr("IDS_DOWNLOADING_FILES"), this);
    AndroidDownloadFilesThread job(source().device(), entries, QDir(folder), &progress);
    if (runJob(progress, job) != JobResult::Succeeded)
        return;
    const QStringList left = lister.refusedPaths() + job.refusedNames();
    if (!left.isEmpty())
        showWarning(asPlainText(tr("IDS_FILES_NOT_EXTRACTED_%1").arg(pathList(left))));
}

// ---------------------------------------------------------------- import

void FileSysMainForm::miImport()
{
    if (!source().isConnectedPhone())
        return;
    FileNode* node = ItemModelFileSys::fileNode(form->treeFiles->currentIndex());
    if (!node || !node->entry->isDir) {
        showWarning(tr("IDS_PLEASE_SEL_FOLDER_TO_UPLOAD"));
        return;
    }
    if (!node->entry->importable) {
        showWarning(asPlainText(tr("IDS_CANT_IMPORT_FILES_TO_DIR_%1").arg(displayText(node->entry))));
        return;
    }
    MultiSelFileDialog chooser;
    if (uiprompt::exec(&chooser) != QDialog::Accepted)
        return;
    QList<QFileInfo> chosen;
    for (const QString& path : chooser.selectedFiles())
        chosen.append(QFileInfo(path));

    ProgressForm progress(tr("IDS_TITLE_UPLOAD_FILES_TO_ANDROID"), this);
    AndroidUploadFilesThread job(source().device(), node->entry->path, chosen, &progress);
    runJob(progress, job);
    // Whatever the outcome: the folder may hold some of the files now.
    refreshFolder(node);
}

// ---------------------------------------------------------------- delete

void FileSysMainForm::removeEntry(FileNode* node)
{
    _RemoteFile* entry = node->entry;
    model->removeNode(node);
    if (entry->parent)
        entry->parent->children.removeOne(entry);
    else
        m_topLevel.removeOne(entry);
    delete entry;
}

void FileSysMainForm::miDelete()
{
    if (!source().isConnectedPhone() || !m_fs)
        return;
    const QList<FileNode*> nodes = selectedTopmostNodes();
    if (nodes.isEmpty()) {
        showWarning(tr("IDS_NO_FILES_TO_DELETE"));
        return;
    }
    for (const FileNode* node : nodes) {
        if (!node->entry->deletable) {
            showWarning(asPlainText(tr("IDS_CAN_NOT_DEL_FILE_%1").arg(displayText(node->entry))));
            return;
        }
    }
    if (!askYesNo(tr("IDS_CONFIRM_TO_DELETE_SEL_FILES")))
        return;

    enum Outcome { NotTried, Deleted, Refused };
    QStringList paths;
    for (const FileNode* node : nodes)
        paths.append(node->entry->path);
    QList<Outcome> outcome(paths.size(), NotTried);
    ProgressForm progress(tr("IDS_DELETING_FILES"), this);
    const JobResult result = runTask(progress, [&] {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            simpleprotocol::checkCanceled();
            try {
                outcome[i] = m_fs->deleteFile(paths.at(i)) ? Deleted : Refused;
            } catch (const simpleprotocol::ArgumentException&) {
                // Never sent; the others go on.
                outcome[i] = Refused;
            }
        }
    });
    // The tree follows what the phone did, however the run ended.
    QStringList left;
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        if (outcome.at(i) == Deleted)
            removeEntry(nodes.at(i));
        else if (outcome.at(i) == Refused)
            left.append(paths.at(i));
    }
    if (result != JobResult::Succeeded)
        return; // the error was shown; a cancel says nothing
    if (left.isEmpty())
        showInfo(tr("IDS_DELETE_FILES_SUC"));
    else
        showWarning(asPlainText(tr("IDS_FILES_NOT_DELETED_%1").arg(pathList(left))));
}

void FileSysMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int w = event->size().width() - 23;
    const double shares[] = {0.45, 0.2, 0.2, 0.15};
    for (int i = 0; i < 4; ++i)
        form->treeFiles->header()->resizeSection(i, int(w * shares[i]));
}
