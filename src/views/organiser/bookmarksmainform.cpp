#include "bookmarksmainform.h"

#include "ui_bookmarksmainform.h"

#include "jobs/androidrestorebookmarksthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadbookmarksthread.h"
#include "platform/desktop.h"
#include "records/localbookmarkdb.h"
#include "shell/core/plaintext.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "views/common/filechoice.h"
#include "views/organiser/exportbookmarkthread.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSet>
#include <QToolButton>
#include <QUrl>

namespace {

constexpr char kBookmarksDb[] = "bookmarks.db";

// A bookmark's url as the browser gets it: exact when it is a valid url,
// else as read leniently (blanks and stray percent signs encoded).
QUrl bookmarkUrl(const QString& url)
{
    const QUrl strict(url, QUrl::StrictMode);
    return strict.isValid() ? strict : QUrl(url, QUrl::TolerantMode);
}

} // namespace

BookmarksMainForm::BookmarksMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsRecordPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::BookmarksMainForm>())
    , model(own(new ItemModelBookmark))
{
    form->setupUi(this);
    connect(form->listBookmarks, &QAbstractItemView::doubleClicked, this, &BookmarksMainForm::bookmarkDoubleClicked);
    connect(form->listBookmarks, &MyTreeView::createContextMenu, this, &BookmarksMainForm::contextMenu);
    connect(form->btnSearch, &QToolButton::pressed, this, &BookmarksMainForm::btnSearchClicked);
    connect(form->txtKeyword, &QLineEdit::returnPressed, this, &BookmarksMainForm::btnSearchClicked);
    setRecordList(form->listBookmarks, form->lbCount, model);
    setCommands(recordCommands(
        this,
        {.backup = {QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_BOOKMARKS"), QT_TR_NOOP("IDS_MI_BACKUP_BOOKMARKS")},
         .toPhone = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"), QT_TR_NOOP("IDS_MI_TRANSFER_A2A")},
         .fromBackup = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"), QT_TR_NOOP("IDS_MI_TRANSFER_DB2A")},
         .exportTo = {QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_BOOKMARKS"), QT_TR_NOOP("IDS_MI_EXPORT_BOOKMARKS")},
         .remove = {QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_BOOKMARKS"), QT_TR_NOOP("IDS_MI_DELETE")}}));
    database = openDatabase<LocalBookmarkDb, AndroidLoadBookmarksThread>(
        kBookmarksDb, &AndroidDeviceInfo::bookmarksLoadTime, tr("IDS_LOADING_ANDROID_BOOKMARKS"));
    reload();
}

BookmarksMainForm::~BookmarksMainForm()
{
    // The model's nodes point into the tree: empty the model first.
    model->setBookmarks({});
    qDeleteAll(tree);
}

QLineEdit* BookmarksMainForm::keywordEdit() const
{
    return form->txtKeyword;
}

void BookmarksMainForm::reload()
{
    if (!database)
        return;
    QList<BookmarkRecord*> loaded;
    try {
        loaded = database->loadAll();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return;
    }
    model->setBookmarks(loaded);
    qDeleteAll(tree);
    tree = loaded;
    int count = 0;
    for (const BookmarkRecord* r : std::as_const(tree))
        count += r->isFolder ? r->countItems() : 1;
    form->lbCount->setText(tr("Total:%1").arg(count));
}

QList<BookmarkRecord*> BookmarksMainForm::getSelectedBookmarks() const
{
    QList<BookmarkRecord*> result;
    if (!form->listBookmarks->selectionModel())
        return result;
    const QModelIndexList rows = form->listBookmarks->selectionModel()->selectedRows(0);
    QSet<const BookmarkRecord*> selected;
    for (const QModelIndex& index : rows)
        selected.insert(model->recordOf(index));
    for (const QModelIndex& index : rows) {
        BookmarkRecord* r = model->recordOf(index);
        if (!r)
            continue;
        bool underSelectedFolder = false;
        for (const BookmarkRecord* up = r->parent; up && !underSelectedFolder; up = up->parent)
            underSelectedFolder = selected.contains(up);
        if (!underSelectedFolder)
            result.append(r);
    }
    return result;
}

void BookmarksMainForm::expandToNode(AbsTreeItemModel::_ItemNode* node)
{
    for (AbsTreeItemModel::_ItemNode* n = node; n; n = n->parent)
        form->listBookmarks->expand(model->indexOfNode(n));
}

QList<BookmarkRecord*> BookmarksMainForm::selectedOrRoots() const
{
    return hasSelectedRows() ? getSelectedBookmarks() : tree;
}

void BookmarksMainForm::btnSearchClicked()
{
    const QString keyword = form->txtKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const QList<AbsTreeItemModel::_ItemNode*> nodes = model->allNodes();
    const qsizetype start = nodes.indexOf(AbsTreeItemModel::nodeOf(form->listBookmarks->currentIndex()));
    auto matches = [&](qsizetype i) {
        const BookmarkRecord* r = ItemModelBookmark::recordOf(nodes.at(i));
        return r && r->title.contains(keyword, Qt::CaseInsensitive);
    };
    qsizetype found = -1;
    for (qsizetype i = start + 1; i < nodes.size() && found < 0; ++i) {
        if (matches(i))
            found = i;
    }
    // From the top again, up to and including the current row.
    for (qsizetype i = 0; start >= 0 && i <= start && found < 0; ++i) {
        if (matches(i))
            found = i;
    }
    if (found < 0) {
        showInfo(tr("IDS_CANNOT_FIND_BOOKMARKS_KW_%1").arg(keyword));
        return;
    }
    expandToNode(nodes.at(found));
    form->listBookmarks->setCurrentIndex(model->indexOfNode(nodes.at(found)));
}

bool BookmarksMainForm::isOpenableUrl(const QString& url)
{
    const QUrl parsed = bookmarkUrl(url);
    const QString scheme = parsed.scheme();
    return parsed.isValid() && !parsed.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp"));
}

void BookmarksMainForm::bookmarkDoubleClicked()
{
    if (!form->listBookmarks->selectionModel())
        return;
    // Urls come from the phone: only web addresses go to the desktop, never
    // files, programs or other handlers.
    QStringList refused;
    for (const QModelIndex& index : form->listBookmarks->selectionModel()->selectedRows(0)) {
        const BookmarkRecord* r = model->recordOf(index);
        if (!r || r->isFolder)
            continue;
        if (isOpenableUrl(r->url))
            desktop::openUrl(bookmarkUrl(r->url));
        else
            refused.append(r->url);
    }
    if (!refused.isEmpty())
        showWarning(asPlainText(tr("IDS_BOOKMARK_NOT_OPENED_%1").arg(refused.join(QLatin1Char('\n')))));
}

void BookmarksMainForm::miToolbarDelete()
{
    if (hasSelectedRows())
        deleteSelected();
    else
        deleteAll();
}

void BookmarksMainForm::backup(const QList<BookmarkRecord*>& items)
{
    if (const std::optional<QString> folder = backupRecords<BackupBookmarsThread, LocalBookmarkDb>(
            kBookmarksDb, tr("IDS_TITLE_BACKUPING_BOOKMARKS"), items))
        emit backupFinished(*folder);
}

void BookmarksMainForm::exportToFile(const QList<BookmarkRecord*>& items)
{
    const QString defaultPath = QDir::home().absoluteFilePath(
        QStringLiteral("bookmarks-%1.html")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"))));
    // No filter: the name is used as typed.
    const std::optional<FileChoice> target = filechoice::askSaveFile(this, QString(), defaultPath, {}, -1);
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TITLE_EXPORT_BOOKMARKS"), this);
    ExportBookmarkThread job(items, target->path, &progress);
    runJob(progress, job);
}

void BookmarksMainForm::transferToAndroid(const QList<BookmarkRecord*>& items)
{
    transferRecords<AndroidRestoreBookmarksThread, LocalBookmarkDb>(
        kBookmarksDb, tr("IDS_RESTORE_BOOKMARKS_TO_ANDROID"), this, items);
}

void BookmarksMainForm::deleteSelected()
{
    if (!database)
        return;
    const QList<BookmarkRecord*> items = getSelectedBookmarks();
    if (deleteInTransaction(*database, tr("IDS_CONFIRM_DEL_BOOKMARKS"), tr("IDS_DEL_BOOKMARKS_SUC"), [&] {
            for (const BookmarkRecord* r : items)
                database->deleteBookmark(r);
        }))
        reload();
}

void BookmarksMainForm::deleteAll()
{
    if (database && deleteDatabaseFile(*database, tr("IDS_CONFIRM_DEL_ALL_BOOKMARKS"), tr("IDS_DEL_ALL_BOOKMARKS_SUC")))
        reload();
}

void BookmarksMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const double w = event->size().width() - 23;
    form->listBookmarks->setColumnWidth(0, int(w * 0.4));
    form->listBookmarks->setColumnWidth(1, int(w * 0.6));
}
