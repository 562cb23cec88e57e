#include "callhistorymainform.h"

#include "ui_callhistorymainform.h"

#include "jobs/androidrestorecallsthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadcallsthread.h"
#include "records/localcallhistorydb.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "views/common/filechoice.h"
#include "views/organiser/exportcallhistorythread.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QResizeEvent>

namespace {
constexpr char kCallsDb[] = "calls.db";
} // namespace

CallHistoryMainForm::CallHistoryMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::CallHistoryMainForm>())
    , model(own(new ItemModelCall))
{
    form->setupUi(this);
    connect(form->listCalls, &MyTreeView::createContextMenu, this, &CallHistoryMainForm::contextMenu);
    form->listCalls->setModel(model);

    using C = Command;
    setCommands({
        {.sources = C::PhonePages,
         .icon = ":res/save-to-database.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_CALLS"),
         .menuText = QT_TR_NOOP("IDS_MI_BACKUP_CALLS"),
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
        {.sources = C::AllSources,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_CALLS"),
         .menuText = QT_TR_NOOP("IDS_MI_EXPORT_CALLS"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miExport(); }},
        {.sources = C::BackupPages,
         .icon = ":res/mi_delete.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_CALLS"),
         .menuText = QT_TR_NOOP("IDS_MI_DELETE"),
         .onToolbar = [this] { miToolbarDelete(); },
         .onMenu = [this] { miDelete(); }},
    });

    const QString path = source().databasePath(QLatin1String(kCallsDb));
    if (!path.isEmpty()) {
        database.reset(new LocalCallHistoryDb(path));
        if (AndroidDeviceInfo* device = source().device())
            loadPhoneCache(*database, device->callsLoadTime, tr("IDS_LOADING_ANDROID_CALL_HISTORIES"),
                           [&](ProgressForm& progress) {
                               return std::make_unique<AndroidLoadCallsThread>(device, database.data(), &progress);
                           });
    }
    reload();
}

CallHistoryMainForm::~CallHistoryMainForm() = default;

MyTreeView* CallHistoryMainForm::listView() const
{
    return form->listCalls;
}

QLabel* CallHistoryMainForm::countLabel() const
{
    return form->lbCount;
}

QString CallHistoryMainForm::databasePath() const
{
    return database ? database->filePath() : QString();
}

void CallHistoryMainForm::reload()
{
    if (!database)
        return;
    try {
        const QList<CallRecord> calls = database->loadAll();
        model->setCalls(calls);
        form->lbCount->setText(QStringLiteral("Total:%1").arg(calls.size()));
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

QList<CallRecord> CallHistoryMainForm::getSelectedCalls() const
{
    return recordsOfSelection(form->listCalls, *model);
}

QList<CallRecord> CallHistoryMainForm::selectedOrAll() const
{
    const QList<CallRecord> selected = getSelectedCalls();
    return selected.isEmpty() ? model->calls() : selected;
}

bool CallHistoryMainForm::hasSelection(int) const
{
    return !getSelectedCalls().isEmpty();
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
    if (!source().isPhonePage())
        return;
    const std::optional<QDir> folder = chooseBackupFolder();
    if (!folder)
        return;
    LocalCallHistoryDb db(folder->absoluteFilePath(QLatin1String(kCallsDb)));
    ProgressForm progress(tr("IDS_TITLE_BACKUPING_CALLS"), this);
    BackupCallsThread job(&db, &calls, &progress);
    if (runJob(progress, job) == JobResult::Succeeded)
        emit backupFinished(folder->dirName());
}

void CallHistoryMainForm::exportToFile(const QList<CallRecord>& calls)
{
    const QString defaultPath = QDir::home().absoluteFilePath(
        QStringLiteral("call_histories-%1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"))));
    // The written format follows the file's suffix, which follows the filter
    // picked when the name was typed without one.
    const std::optional<FileChoice> target = filechoice::askSaveFile(
        nullptr, QString(), defaultPath,
        {{tr("Text Files(*.txt)"), QStringLiteral("txt")}, {tr("CSV Files(*.csv)"), QStringLiteral("csv")}}, 1);
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TITLE_EXPORT_CALL_HISTORIES"));
    ExportCallHistoryThread job(calls, target->path, &progress);
    runJob(progress, job);
}

void CallHistoryMainForm::transferToAndroid(const QList<CallRecord>& calls)
{
    _AndroidDeviceItemNode* target = chooseTransferTarget();
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TRANSFER_CALLS_TO_ANDROID"));
    LocalCallHistoryDb db(target->device.cacheDir().absoluteFilePath(QLatin1String(kCallsDb)));
    AndroidRestoreCallsThread job(&target->device, &db, calls, &progress);
    runJob(progress, job);
}

void CallHistoryMainForm::deleteSelected()
{
    if (!database || !askYesNo(tr("IDS_CONFIRM_DEL_SEL_CALLS")))
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
    if (!database || !askYesNo(tr("IDS_CONFIRM_DEL_ALL_CALLS")))
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
    AbsCategoryPage::resizeEvent(event);
    const int width = (event->size().width() - 23) / 5;
    for (int i = 0; i < 5; ++i)
        form->listCalls->setColumnWidth(i, width);
}
