#include "callhistorymainform.h"

#include "ui_callhistorymainform.h"

#include "jobs/androidrestorecallsthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadcallsthread.h"
#include "records/localcallhistorydb.h"
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
    : AbsRecordPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::CallHistoryMainForm>())
    , model(own(new ItemModelCall))
{
    form->setupUi(this);
    connect(form->listCalls, &MyTreeView::createContextMenu, this, &CallHistoryMainForm::contextMenu);
    setRecordList(form->listCalls, form->lbCount, model);
    setCommands(
        recordCommands(this,
                       {.backup = {QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_CALLS"), QT_TR_NOOP("IDS_MI_BACKUP_CALLS")},
                        .toPhone = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"), QT_TR_NOOP("IDS_MI_TRANSFER_A2A")},
                        .fromBackup = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"), QT_TR_NOOP("IDS_MI_TRANSFER_DB2A")},
                        .exportTo = {QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_CALLS"), QT_TR_NOOP("IDS_MI_EXPORT_CALLS")},
                        .remove = {QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_CALLS"), QT_TR_NOOP("IDS_MI_DELETE")}}));
    database = openDatabase<LocalCallHistoryDb, AndroidLoadCallsThread>(kCallsDb, &AndroidDeviceInfo::callsLoadTime,
                                                                        tr("IDS_LOADING_ANDROID_CALL_HISTORIES"));
    reload();
}

CallHistoryMainForm::~CallHistoryMainForm() = default;

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
    return selectedRecords(*model);
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
    if (const std::optional<QString> folder
        = backupRecords<BackupCallsThread, LocalCallHistoryDb>(kCallsDb, tr("IDS_TITLE_BACKUPING_CALLS"), &calls))
        emit backupFinished(*folder);
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
    transferRecords<AndroidRestoreCallsThread, LocalCallHistoryDb>(kCallsDb, tr("IDS_TRANSFER_CALLS_TO_ANDROID"),
                                                                   nullptr, calls);
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
