#include "callhistorymainform.h"

#include "jobs/androidrestorecallsthread.h"
#include "jobs/backupthreads.h"
#include "jobs/localdbselform.h"
#include "phonelink/androidloadcallsthread.h"
#include "records/localcallhistorydb.h"
#include "shell/datasourceselform.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/navnodekind.h"
#include "shell/progressform.h"
#include "shell/uiprompt.h"
#include "views/organiser/exportcallhistorythread.h"

#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

constexpr char kCallsDb[] = "calls.db";

_AndroidDeviceItemNode* phoneNode(AbsTreeItemModel::_ItemNode* node)
{
    return node && node->kind() == NAV_ANDROID_DEVICE ? static_cast<_AndroidDeviceItemNode*>(node) : nullptr;
}

_LocalDbItemNode* backupNode(AbsTreeItemModel::_ItemNode* node)
{
    return node && node->kind() == NAV_LOCAL_DB ? static_cast<_LocalDbItemNode*>(node) : nullptr;
}

QAction* makeAction(QObject* parent, const char* icon, const QString& text, bool enabled)
{
    auto* action = new QAction(QIcon(QString::fromLatin1(icon)), text, parent);
    action->setEnabled(enabled);
    return action;
}

} // namespace

CallHistoryMainForm::CallHistoryMainForm(AbsTreeItemModel::_ItemNode* sourceNode,
                                         AbsTreeItemModel::_ItemNode* devicesRoot, QWidget* parent)
    : AbsMainForm(parent)
    , sourceNode(sourceNode)
    , devicesRoot(devicesRoot)
    , model(this)
{
    setupUi();
    setStyleSheet(getStyleSheet());
    connect(listCalls, &MyTreeView::createContextMenu, this, &CallHistoryMainForm::contextMenu);
    listCalls->setModel(&model);
    openSource();
    reload();
}

CallHistoryMainForm::~CallHistoryMainForm()
{
    // The view goes before the model it shows.
    delete listCalls;
    listCalls = nullptr;
}

void CallHistoryMainForm::setupUi()
{
    setObjectName(QStringLiteral("CallHistoryMainForm"));
    setWindowTitle(QStringLiteral("Form"));
    resize(709, 640);
    auto* outer = new QVBoxLayout(this);
    outer->setObjectName(QStringLiteral("verticalLayout_2"));
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* widget = new QWidget(this);
    widget->setObjectName(QStringLiteral("widget"));
    widget->setFocusPolicy(Qt::WheelFocus);
    auto* inner = new QVBoxLayout(widget);
    inner->setObjectName(QStringLiteral("verticalLayout"));
    inner->setSpacing(0);
    inner->setContentsMargins(0, 0, 0, 0);
    listCalls = new MyTreeView(widget);
    listCalls->setObjectName(QStringLiteral("listCalls"));
    listCalls->setStyleSheet(QStringLiteral("border:none;"));
    listCalls->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listCalls->setIndentation(0);
    inner->addWidget(listCalls);
    lbCount = new QLabel(widget);
    lbCount->setObjectName(QStringLiteral("lbCount"));
    lbCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbCount->setText(QStringLiteral("Total: 0"));
    inner->addWidget(lbCount);
    outer->addWidget(widget);
}

int CallHistoryMainForm::sourceKind() const
{
    return sourceNode ? sourceNode->kind() : 0;
}

QString CallHistoryMainForm::databasePath() const
{
    return database ? database->filePath() : QString();
}

void CallHistoryMainForm::openSource()
{
    if (_AndroidDeviceItemNode* phone = phoneNode(sourceNode)) {
        AndroidDeviceInfo& device = phone->device;
        if (!device.folder.isEmpty()) {
            // A virtual device: its own folder, never loaded from a phone.
            database.reset(new LocalCallHistoryDb(QDir(device.folder).absoluteFilePath(QLatin1String(kCallsDb))));
            return;
        }
        database.reset(new LocalCallHistoryDb(device.cacheDir().absoluteFilePath(QLatin1String(kCallsDb))));
        if (device.callsLoadTime.isNull())
            loadFromPhone();
        return;
    }
    if (_LocalDbItemNode* backup = backupNode(sourceNode))
        database.reset(new LocalCallHistoryDb(backup->dir.absoluteFilePath(QLatin1String(kCallsDb))));
}

void CallHistoryMainForm::loadFromPhone()
{
    AndroidDeviceInfo& device = phoneNode(sourceNode)->device;
    const QString path = database->filePath();
    try {
        // The load always fills an empty cache. When the old file cannot go,
        // loading on top of it would mix old and new calls: skip the load.
        database->closeAndRemoveFile();
        ProgressForm progress(tr("IDS_LOADING_ANDROID_CALL_HISTORIES"), this);
        AndroidLoadCallsThread job(&device, database.data(), &progress);
        job.start(QThread::InheritPriority);
        const int rc = progress.exec();
        ProgressForm::waitThread(&progress, &job);
        if (rc == 1 && !progress.userCanceled())
            device.callsLoadTime = QDateTime::currentDateTime();
    } catch (const std::exception& e) {
        showError(tr("remove %1 error. %2").arg(path, QString::fromUtf8(e.what())));
    }
}

void CallHistoryMainForm::reload()
{
    if (!database)
        return;
    try {
        const QList<CallRecord> calls = database->loadAll();
        model.setCalls(calls);
        lbCount->setText(QStringLiteral("Total:%1").arg(calls.size()));
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

QList<CallRecord> CallHistoryMainForm::getSelectedCalls() const
{
    QList<CallRecord> result;
    if (!listCalls->selectionModel())
        return result;
    for (const QModelIndex& index : listCalls->selectionModel()->selectedRows(0)) {
        if (const auto* node = dynamic_cast<const ItemModelCall::_CallItemNode*>(AbsTreeItemModel::nodeOf(index)))
            result.append(node->call);
    }
    return result;
}

QList<CallRecord> CallHistoryMainForm::selectedOrAll() const
{
    const QList<CallRecord> selected = getSelectedCalls();
    return selected.isEmpty() ? model.calls() : selected;
}

int CallHistoryMainForm::phoneCount() const
{
    return devicesRoot ? countChildNodes(devicesRoot, NAV_ANDROID_DEVICE) : 0;
}

QList<QAction*> CallHistoryMainForm::createToolbarActions()
{
    QList<QAction*> actions;
    const int kind = sourceKind();
    if (kind != NAV_ANDROID_DEVICE && kind != NAV_LOCAL_DB)
        return actions;
    const int phones = phoneCount();
    if (kind == NAV_ANDROID_DEVICE) {
        QAction* backup = makeAction(this, ":res/save-to-database.png", tr("IDS_MI_TOOLBAR_BACKUP_CALLS"), true);
        connect(backup, &QAction::triggered, this, &CallHistoryMainForm::miToolbarBackup);
        actions << backup;
        QAction* a2a = makeAction(this, ":res/a2a.png", tr("IDS_MI_TOOLBAR_TRANSFER_A2A"), phones >= 2);
        connect(a2a, &QAction::triggered, this, &CallHistoryMainForm::miToolbarA2A);
        actions << a2a;
    } else {
        QAction* db2a = makeAction(this, ":res/db2a.png", tr("IDS_MI_TOOLBAR_TRANSFER_DB2A"), phones >= 1);
        connect(db2a, &QAction::triggered, this, &CallHistoryMainForm::miToolbarDB2A);
        actions << db2a;
    }
    QAction* exportAction = makeAction(this, ":res/mi_export-sms.png", tr("IDS_MI_TOOLBAR_EXPORT_CALLS"), true);
    connect(exportAction, &QAction::triggered, this, &CallHistoryMainForm::miToolbarExport);
    actions << exportAction;
    if (kind == NAV_LOCAL_DB) {
        QAction* del = makeAction(this, ":res/mi_delete.png", tr("IDS_MI_TOOLBAR_DELETE_CALLS"), true);
        connect(del, &QAction::triggered, this, &CallHistoryMainForm::miToolbarDelete);
        actions << del;
    }
    return actions;
}

QMenu* CallHistoryMainForm::createContextMenu()
{
    const int kind = sourceKind();
    if (getSelectedCalls().isEmpty() || (kind != NAV_ANDROID_DEVICE && kind != NAV_LOCAL_DB))
        return nullptr;
    const int phones = phoneCount();
    auto* menu = new QMenu(this);
    if (kind == NAV_ANDROID_DEVICE) {
        menu->addAction(makeAction(menu, ":res/save-to-database.png", tr("IDS_MI_BACKUP_CALLS"), true));
        connect(menu->actions().last(), &QAction::triggered, this, &CallHistoryMainForm::miBackup);
        menu->addAction(makeAction(menu, ":res/a2a.png", tr("IDS_MI_TRANSFER_A2A"), phones >= 2));
        connect(menu->actions().last(), &QAction::triggered, this, &CallHistoryMainForm::miA2A);
    } else {
        menu->addAction(makeAction(menu, ":res/db2a.png", tr("IDS_MI_TRANSFER_DB2A"), phones >= 1));
        connect(menu->actions().last(), &QAction::triggered, this, &CallHistoryMainForm::miDB2A);
    }
    menu->addAction(makeAction(menu, ":res/mi_export-sms.png", tr("IDS_MI_EXPORT_CALLS"), true));
    connect(menu->actions().last(), &QAction::triggered, this, &CallHistoryMainForm::miExport);
    if (kind == NAV_LOCAL_DB) {
        menu->addAction(makeAction(menu, ":res/mi_delete.png", tr("IDS_MI_DELETE"), true));
        connect(menu->actions().last(), &QAction::triggered, this, &CallHistoryMainForm::miDelete);
    }
    return menu;
}

void CallHistoryMainForm::contextMenu()
{
    std::unique_ptr<QMenu> menu(createContextMenu());
    if (menu)
        menu->exec(QCursor::pos());
}

void CallHistoryMainForm::miExport()
{
    exportToFile(getSelectedCalls());
}

void CallHistoryMainForm::miToolbarExport()
{
    exportToFile(selectedOrAll());
}

void CallHistoryMainForm::miBackup()
{
    backup(getSelectedCalls());
}

void CallHistoryMainForm::miToolbarBackup()
{
    backup(selectedOrAll());
}

void CallHistoryMainForm::miA2A()
{
    transferToAndroid(getSelectedCalls());
}

void CallHistoryMainForm::miToolbarA2A()
{
    transferToAndroid(selectedOrAll());
}

void CallHistoryMainForm::miDB2A()
{
    miA2A();
}

void CallHistoryMainForm::miToolbarDB2A()
{
    miToolbarA2A();
}

void CallHistoryMainForm::miDelete()
{
    deleteSelected();
}

void CallHistoryMainForm::miToolbarDelete()
{
    if (getSelectedCalls().isEmpty())
        deleteAll();
    else
        deleteSelected();
}

void CallHistoryMainForm::backup(const QList<CallRecord>& calls)
{
    _AndroidDeviceItemNode* phone = phoneNode(sourceNode);
    if (!phone)
        return;
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:\\*\\?\"<>|\\n\\r\\t]+"));
    const QString defaultName = phone->device.displayName().remove(forbidden) + QStringLiteral("-backup");
    LocalDbSelForm form(this, defaultName);
    if (uiprompt::exec(&form) != QDialog::Accepted || !form.hasChoice())
        return;

    LocalCallHistoryDb db(form.localDbDir.absoluteFilePath(QLatin1String(kCallsDb)));
    ProgressForm progress(tr("IDS_TITLE_BACKUPING_CALLS"), this);
    BackupCallsThread job(&db, &calls, &progress);
    job.start(QThread::InheritPriority);
    const int rc = progress.exec();
    ProgressForm::waitThread(&progress, &job);
    if (rc == 1 && !progress.userCanceled())
        emit backupFinished(form.localDbDir.dirName());
}

void CallHistoryMainForm::exportToFile(const QList<CallRecord>& calls)
{
    // The suffix of the chosen name picks the format; a name without one
    // gets the suggested format's (CSV, offered first).
    const QString csvFilter = tr("CSV Files(*.csv)");
    const QString textFilter = tr("Text Files(*.txt)");
    const QString defaultPath = QDir::home().absoluteFilePath(
        QStringLiteral("call_histories-%1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"))));
    QString path
        = uiprompt::getSaveFileName(nullptr, QString(), defaultPath, csvFilter + QStringLiteral(";;") + textFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");

    ProgressForm progress(tr("IDS_TITLE_EXPORT_CALL_HISTORIES"));
    ExportCallHistoryThread job(calls, path, &progress);
    job.start(QThread::InheritPriority);
    progress.exec();
    ProgressForm::waitThread(&progress, &job);
}

void CallHistoryMainForm::transferToAndroid(const QList<CallRecord>& calls)
{
    if (!devicesRoot)
        return;
    const _AndroidDeviceItemNode* own = phoneNode(sourceNode);
    const QString chosen = DataSourceSelForm::chooseOtherPhone(this, devicesRoot, own ? own->device.uid : QString());
    if (chosen.isEmpty())
        return;
    // Looked up again: the tree may have changed while the chooser was open.
    _AndroidDeviceItemNode* target = ItemModelMain::findAndroidDevice(devicesRoot, chosen);
    if (!target)
        return;

    ProgressForm progress(tr("IDS_TRANSFER_CALLS_TO_ANDROID"));
    LocalCallHistoryDb db(target->device.cacheDir().absoluteFilePath(QLatin1String(kCallsDb)));
    AndroidRestoreCallsThread job(&target->device, &db, calls, &progress);
    job.start(QThread::InheritPriority);
    progress.exec();
    ProgressForm::waitThread(&progress, &job);
}

void CallHistoryMainForm::deleteSelected()
{
    if (!database)
        return;
    if (!askYesNo(tr("IDS_CONFIRM_DEL_SEL_CALLS")))
        return;
    try {
        // No transaction: each deletion stands by itself.
        for (const CallRecord& c : getSelectedCalls())
            database->deleteCall(c.id);
        showInfo(tr("IDS_DEL_SEL_CALLS_SUC"));
        reload();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void CallHistoryMainForm::deleteAll()
{
    if (!database)
        return;
    if (!askYesNo(tr("IDS_CONFIRM_DEL_ALL_CALLS")))
        return;
    try {
        database->removeDbFile();
        showInfo(tr("IDS_DEL_ALL_CALLS_SUC"));
        reload();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void CallHistoryMainForm::resizeEvent(QResizeEvent* event)
{
    AbsMainForm::resizeEvent(event);
    const int width = (event->size().width() - 23) / 5;
    for (int i = 0; i < 5; ++i)
        listCalls->setColumnWidth(i, width);
}
