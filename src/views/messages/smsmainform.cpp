#include "smsmainform.h"

#include "ui_smsmainform.h"

#include "formats/messageexportthread.h"
#include "formats/mmsprinter.h"
#include "jobs/androidrestoremessagesthread.h"
#include "jobs/backupmmsthread.h"
#include "jobs/deletemmsthread.h"
#include "messagestore/ios6messagedb.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androidloadmessagesthread.h"
#include "shell/core/fileutils.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/common/filechoice.h"
#include "views/messages/attachmentextractthread.h"
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsms.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QResizeEvent>
#include <QSet>
#include <QWebEngineView>

namespace {

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
}

} // namespace

SMSMainForm::SMSMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::SMSMainForm>())
    , handleModel(own(new ItemModelSMSHandle))
    , smsModel(own(new ItemModelSms))
    , bubbleMgr(new BubbleViewMgr(this))
    , dataSet(newMsgDataSet())
{
    form->setupUi(this);
    connect(form->listHandle, &MyTreeView::onSelectionChanged, this, &SMSMainForm::onHandleItemSelected);
    connect(form->treeViewSMS, &MyTreeView::onSelectionChanged, this, &SMSMainForm::onSMSItemSelected);
    connect(form->btnSearchHandle, &QToolButton::clicked, this, &SMSMainForm::findNextContact);
    connect(form->btnSearchSMS, &QToolButton::clicked, this, &SMSMainForm::findNextSMS);
    connect(form->listHandle, &MyTreeView::createContextMenu, this, &SMSMainForm::handleContextMenu);
    connect(form->treeViewSMS, &MyTreeView::createContextMenu, this, &SMSMainForm::SMSContextMenu);
    form->txtHandleKeyword->installEventFilter(this);
    form->txtSMSKeyword->installEventFilter(this);

    form->listHandle->setModel(handleModel);
    form->treeViewSMS->setModel(smsModel);
    form->treeViewSMS->setDropIndicatorShown(false);
    form->treeViewSMS->setSortingEnabled(true);
    QHeaderView* header = form->treeViewSMS->header();
    header->setSectionsMovable(false);
    header->setSortIndicator(0, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &SMSMainForm::onSMSSortIndicatorChanged);

    bubbleMgr->setView(form->webViewSMS);
    form->lbConversation->setText(tr("IDS_ALL_MMS"));
    setUpCommands();
    loadMessages();
}

SMSMainForm::~SMSMainForm()
{
    // The lists let go of the records before the data set frees them.
    smsModel->clear();
    handleModel->setHandles({});
}

void SMSMainForm::setUpCommands()
{
    using C = Command;
    // One command as the toolbar and the conversation menu offer it, and as
    // the message menu offers it.
    QList<Command> table;
    const auto add
        = [&](C::Sources sources, const char* icon, const char* toolbarText, const char* conversationText,
              const char* messageText, C::Rule rule, std::function<bool()> enabled, std::function<void()> onToolbar,
              std::function<void()> onConversation, std::function<void()> onMessages) {
              table.append({.sources = sources,
                            .icon = icon,
                            .toolbarText = toolbarText,
                            .menuText = conversationText,
                            .rule = rule,
                            .enabled = enabled,
                            .onToolbar = onToolbar,
                            .onMenu = onConversation,
                            .menu = ConversationMenu});
              table.append({.sources = sources,
                            .icon = icon,
                            .menuText = messageText,
                            .rule = rule,
                            .enabled = enabled,
                            .onMenu = onMessages,
                            .menu = MessageMenu});
          };
    add(
        C::PhonePages, ":res/save-to-database.png", QT_TR_NOOP("IDS_MI_BACKUP_TOOLBAR_MMS"),
        QT_TR_NOOP("IDS_MI_BACKUP_HANDLE_MMS"), QT_TR_NOOP("IDS_MI_BACKUP_SEL_MMS"), C::Always, {},
        [this] { miToolbarBackup(); }, [this] { miBackupHandle(); }, [this] { miBackupMMS(); });
    add(
        C::PhonePages, ":res/a2a.png", QT_TR_NOOP("IDS_MI_TRANSFER_TOOLBAR_MMS_A2A"),
        QT_TR_NOOP("IDS_MI_TRANSFER_HANDLE_MMS_A2A"), QT_TR_NOOP("IDS_MI_TRANSFER_SEL_MMS_A2A"), C::Transfer, {},
        [this] { miToolbarA2A(); }, [this] { miHandleA2A(); }, [this] { miMMSA2A(); });
    add(
        C::BackupPages, ":res/db2a.png", QT_TR_NOOP("IDS_MI_TRANSFER_TOOLBAR_MMS_DB2A"),
        QT_TR_NOOP("IDS_MI_TRANSFER_HANDLE_MMS_DB2A"), QT_TR_NOOP("IDS_MI_TRANSFER_SEL_MMS_DB2A"), C::Transfer, {},
        [this] { miToolbarDB2A(); }, [this] { miHandleDB2A(); }, [this] { miMMSDB2A(); });
    add(
        C::AllSources, ":res/extract_meida_files.png", QT_TR_NOOP("IDS_MI_EXTRACT_TOOLBAR_MMS_MEDIA_FILES"),
        QT_TR_NOOP("IDS_MI_EXTRACT_HANDLE_MMS_MEDIA_FILES"), QT_TR_NOOP("IDS_MI_EXTRACT_SEL_MMS_MEDIA_FILES"),
        C::Always, {}, [this] { miToolbarExtractMedia(); }, [this] { miExtractHandleMedia(); },
        [this] { miExtractMMSMedia(); });
    add(
        C::AllSources, ":res/mi_export-sms.png", QT_TR_NOOP("IDS_MI_EXPORT_TOOLBAR_MMS"),
        QT_TR_NOOP("IDS_MI_EXPORT_HANDLE_MMS"), QT_TR_NOOP("IDS_MI_EXPORT_SEL_MMS"), C::Always, {},
        [this] { miToolbarExport(); }, [this] { miExportHandle(); }, [this] { miExportMMS(); });
    add(
        C::AllSources, ":res/mi_print.png", QT_TR_NOOP("IDS_MI_PRINT_TOOLBAR_MMS"),
        QT_TR_NOOP("IDS_MI_PRINT_HANDLE_MMS"), QT_TR_NOOP("IDS_MI_PRINT_SEL_MMS"), C::Always, {},
        [this] { miToolbarPrint(); }, [this] { miPrintHandle(); }, [this] { miPrintMMS(); });
    add(
        C::BackupPages, ":res/mi_delete.png", QT_TR_NOOP("IDS_MI_DEL_TOOLBAR_MMS"), QT_TR_NOOP("IDS_MI_DEL_HANDLE_MMS"),
        QT_TR_NOOP("IDS_MI_DEL_SEL_MMS"), C::Always, {}, [this] { miToolbarDel(); }, [this] { miDelHandle(); },
        [this] { miDelMMS(); });
    setCommands(table);
}

MyTreeView* SMSMainForm::conversationView() const
{
    return form->listHandle;
}

MyTreeView* SMSMainForm::messageView() const
{
    return form->treeViewSMS;
}

QWebEngineView* SMSMainForm::webView() const
{
    return form->webViewSMS;
}

QLabel* SMSMainForm::countLabel() const
{
    return form->lbCount;
}

QLabel* SMSMainForm::conversationLabel() const
{
    return form->lbConversation;
}

QLineEdit* SMSMainForm::conversationKeyword() const
{
    return form->txtHandleKeyword;
}

QLineEdit* SMSMainForm::messageKeyword() const
{
    return form->txtSMSKeyword;
}

void SMSMainForm::loadMessages()
{
    const QString folder = source().messageStoreFolder();
    if (folder.isEmpty())
        return;
    if (AndroidDeviceInfo* device = source().device()) {
        // The phone's messages go into its cache store, which stays: the
        // loader adds what is new and removes what the phone no longer has.
        refreshPhoneCache(device->messagesLoadTime, QString(), [device](ProgressForm& progress) {
            return std::make_unique<AndroidLoadMessagesThread>(device, &progress);
        });
        store = std::make_unique<IOS6MessageDb>(QDir(folder), device->mmc, true);
    } else {
        store = std::make_unique<IOS6MessageDb>(QDir(folder), QString(), false);
    }
    try {
        // A backup is only read here: opened read-only, and a folder without
        // a store shows none rather than getting an empty one.
        if (!source().device()) {
            if (QFileInfo(store->dbPath()).size() == 0) {
                handleModel->setHandles(mergeChatsByIdentifier(*dataSet));
                showMessages(getDataSetMessages(*dataSet), nullptr);
                return;
            }
            store->openReadOnly();
        }
        store->loadChats(*dataSet);
        store->loadMessages(*dataSet, 0);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
    // What was read, also after a failure.
    handleModel->setHandles(mergeChatsByIdentifier(*dataSet));
    showMessages(getDataSetMessages(*dataSet), nullptr);
}

void SMSMainForm::showMessages(const MsgMessageList& messages, _MsgChat* chat)
{
    chatOnShow = chat;
    MsgMessageList sorted = messages;
    sortMessages(sorted, form->treeViewSMS->header()->sortIndicatorOrder() == Qt::DescendingOrder);
    smsModel->setMessages(sorted);
    form->lbCount->setText(QStringLiteral("Total: %1").arg(sorted.size()));
    bubbleMgr->showBubble(sorted);
    form->lbConversation->setText(chat ? getChatTitle(chat, false) : tr("IDS_ALL_MMS"));
}

void SMSMainForm::clearView()
{
    chatOnShow = nullptr;
    smsModel->clear();
    bubbleMgr->showBubble({});
    form->lbCount->setText(QStringLiteral("Total: %1").arg(0));
    form->lbConversation->setText(tr("IDS_ALL_MMS"));
}

const MsgMessageList& SMSMainForm::messagesOnShow() const
{
    return smsModel->messages();
}

MsgMessageList SMSMainForm::getSelectedMessages() const
{
    MsgMessageList result;
    const QItemSelectionModel* selection = form->treeViewSMS->selectionModel();
    if (!selection)
        return result;
    for (const QModelIndex& index : selection->selectedRows(0)) {
        if (_MsgMessage* m = ItemModelSms::messageOf(index))
            result.append(m);
    }
    return result;
}

MsgMessageList SMSMainForm::selectedOrShown() const
{
    const MsgMessageList selected = getSelectedMessages();
    return selected.isEmpty() ? messagesOnShow() : selected;
}

bool SMSMainForm::hasSelection(int menu) const
{
    const MyTreeView* view = menu == ConversationMenu ? form->listHandle : form->treeViewSMS;
    return view->selectionModel() && view->selectionModel()->hasSelection();
}

void SMSMainForm::onHandleItemSelected(const QItemSelection&, const QItemSelection&)
{
    const QModelIndexList rows = form->listHandle->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return;
    const auto* node = dynamic_cast<const ItemModelSMSHandle::_HandleItemNode*>(AbsTreeItemModel::nodeOf(rows.first()));
    if (!node || node->kind() != ItemModelSMSHandle::kConversationNode)
        return;
    if (node->chats.isEmpty()) {
        clearView();
        return;
    }
    showMessages(collectChatMessages(node->chats), node->chats.first());
}

void SMSMainForm::onSMSItemSelected(const QItemSelection& selected, const QItemSelection&)
{
    const QModelIndexList indexes = selected.indexes();
    if (indexes.isEmpty())
        return;
    const QModelIndex first = indexes.first();
    if (ItemModelSms::messageOf(first.siblingAtColumn(0)))
        bubbleMgr->scrollToPos(first.row());
}

void SMSMainForm::onSMSSortIndicatorChanged(int logicalIndex, Qt::SortOrder)
{
    // Only the date sorts; another column puts the date back (which comes
    // here again with column 0).
    if (logicalIndex != 0) {
        form->treeViewSMS->header()->setSortIndicator(0, Qt::AscendingOrder);
        return;
    }
    showMessages(smsModel->messages(), chatOnShow);
}

void SMSMainForm::findNextSMS()
{
    const QString keyword = form->txtSMSKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const MsgMessageList& messages = smsModel->messages();
    const int n = int(messages.size());
    if (n == 0) {
        showInfo(tr("IDS_CAN_NOT_FOUND_AND_SMS"));
        return;
    }
    const QModelIndex current = form->treeViewSMS->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    // From the row after the current one to the end, then from the top; the
    // current row comes last.
    for (int i = 0; i < n; ++i) {
        const int row = (start + i) % n;
        if (getMsgPlainText(messages.at(row)).contains(keyword, Qt::CaseInsensitive)) {
            form->treeViewSMS->setCurrentIndex(smsModel->index(row, 0));
            return;
        }
    }
    showInfo(tr("IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(keyword));
}

void SMSMainForm::findNextContact()
{
    const QString keyword = form->txtHandleKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const QList<AbsTreeItemModel::_ItemNode*>& nodes = handleModel->rootNodes();
    const int n = int(nodes.size());
    const QModelIndex current = form->listHandle->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    for (int i = 0; i < n; ++i) {
        const int row = (start + i) % n;
        const AbsTreeItemModel::_ItemNode* node = nodes.at(row);
        if (node->kind() == ItemModelSMSHandle::kConversationNode
            && node->text.contains(keyword, Qt::CaseInsensitive)) {
            form->listHandle->setCurrentIndex(handleModel->index(row, 0));
            return;
        }
    }
    showInfo(tr("IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0").arg(keyword));
}

bool SMSMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == form->txtSMSKeyword) {
                findNextSMS();
                return true;
            }
            if (watched == form->txtHandleKeyword) {
                findNextContact();
                return true;
            }
        }
    }
    return AbsCategoryPage::eventFilter(watched, event);
}

void SMSMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    form->splitter_2->setSizes({int(w * 0.4), int(w * 0.6)});
    form->splitter->setSizes({int(h * 0.3), int(h * 0.7)});
    const int b = int(w * 0.6 - 23.0);
    form->treeViewSMS->setColumnWidth(0, int(b * 0.2));
    form->treeViewSMS->setColumnWidth(1, int(b * 0.1));
    form->treeViewSMS->setColumnWidth(2, int(b * 0.2));
    form->treeViewSMS->setColumnWidth(3, int(b * 0.2));
}

// -------------------------------------------------------------- commands

void SMSMainForm::exportMessages(const MsgMessageList& messages)
{
    const QString defaultPath = QDir::home().absoluteFilePath(QStringLiteral("mms(%1)").arg(timeStamp()));
    // The format is the position of the picked filter; a text or CSV name
    // without a suffix gets the filter's.
    const std::optional<FileChoice> target = filechoice::askSaveFile(this, tr("IDS_SEL_EXPORT_MMS_PATH"), defaultPath,
                                                                     {{tr("Text Files(*.txt)"), QStringLiteral("txt")},
                                                                      {tr("CSV Files(*.csv)"), QStringLiteral("csv")},
                                                                      {tr("PDF Files(*.pdf)"), QString()},
                                                                      {tr("HTML Files(*.html)"), QString()}},
                                                                     0);
    if (!target)
        return;
    const int format = target->filter;
    QString path = target->path;
    if (format == MessageExportPdf || format == MessageExportHtml) {
        // Pages and PDFs go into a folder named after the file.
        const QFileInfo info(path);
        if (!info.suffix().isEmpty())
            path = info.dir().absoluteFilePath(info.baseName());
        path += format == MessageExportPdf ? QStringLiteral("-pdf") : QStringLiteral("-html");
    }
    ProgressForm progress(QString(), this);
    ExportMessagesThread job(messages, path, format, &progress);
    runJob(progress, job);
}

void SMSMainForm::extractAttachments(const MsgMessageList& messages)
{
    const QString folder
        = uiprompt::getExistingDirectory(this, tr("IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES"), QDir::homePath());
    if (folder.isEmpty())
        return;
    const QString target = QDir(folder).absoluteFilePath(QStringLiteral("attachments(%1)").arg(timeStamp()));
    ProgressForm progress(tr("IDS_TITLE_EXTRACT_MEDIA_FILES"), this);
    AttachmentExtractThread job(&progress, messages, target);
    runJob(progress, job);
}

void SMSMainForm::printMessages(const MsgMessageList& messages)
{
    MMSPrinter printer(this);
    printer.print(messages);
}

void SMSMainForm::backupMessages(const MsgMessageList& messages)
{
    const std::optional<QDir> folder = chooseBackupFolder();
    if (!folder)
        return;
    ProgressForm progress(tr("IDS_TITLE_BACKUPING_MMS"), this);
    BackupMMSThread job(*folder, source().mcc(), messages, &progress);
    if (runJob(progress, job) == JobResult::Succeeded)
        emit backupFinished(folder->dirName());
}

void SMSMainForm::transferMessages(const MsgMessageList& messages)
{
    const std::shared_ptr<AndroidDeviceInfo> target = chooseTransferTarget();
    if (!target)
        return;
    AndroidDeviceInfo* device = target.get();
    // The target's cache store must be current: the job skips what it
    // holds.
    if (!device->messagesLoadTime.isValid()) {
        ProgressForm loading(QString(), this);
        AndroidLoadMessagesThread loader(device, &loading);
        if (runJob(loading, loader) != JobResult::Succeeded)
            return;
        device->messagesLoadTime = QDateTime::currentDateTime();
    }
    ProgressForm progress(tr("IDS_TRANSFER_SMS_TO_ANDROID"));
    AndroidRestoreMessagesThread job(device, messages, &progress);
    // After a failure or a cancel the phone may hold messages of a batch it
    // never acknowledged, which the cache does not know: the next transfer
    // loads the phone's messages first and skips what it holds.
    if (runJob(progress, job) != JobResult::Succeeded)
        device->messagesLoadTime = QDateTime();
}

bool SMSMainForm::deleteFromStore(const MsgMessageList& messages)
{
    const QDir folder(source().messageStoreFolder());
    ProgressForm progress(QString(), this);
    DeleteMMSThread job(&folder, &messages, &progress);
    return runJob(progress, job) == JobResult::Succeeded;
}

void SMSMainForm::miDelMMS()
{
    const MsgMessageList selected = getSelectedMessages();
    if (selected.isEmpty() || !askYesNo(tr("IDS_CONFIRM_DEL_SEL_MMS")))
        return;
    if (deleteFromStore(selected))
        removeDeletedMessages(selected);
}

void SMSMainForm::miDelHandle()
{
    if (!askYesNo(tr("IDS_CONFIRM_DEL_HANDEL_MMS")))
        return;
    const QModelIndex current = form->listHandle->currentIndex();
    auto* node = dynamic_cast<ItemModelSMSHandle::_HandleItemNode*>(AbsTreeItemModel::nodeOf(current));
    if (!node)
        return;
    // The conversation's own messages, whatever the list shows.
    const MsgMessageList messages = collectChatMessages(node->chats);
    if (deleteFromStore(messages))
        removeDeletedConversation(node, messages);
}

void SMSMainForm::miToolbarDel()
{
    if (form->treeViewSMS->selectionModel()->hasSelection())
        miDelMMS();
    else if (form->listHandle->selectionModel()->hasSelection())
        miDelHandle();
    else
        deleteAll();
}

void SMSMainForm::deleteAll()
{
    if (!store || !askYesNo(tr("IDS_DELETE_ALL_MMS")))
        return;
    store->close();
    // The folder of "sms.db" with its attachment files; the rest of the
    // backup folder (other databases, the address book) stays.
    removeDir(QFileInfo(store->dbPath()).absolutePath());
    if (QFile::exists(store->dbPath())) {
        showWarning(tr("IDS_DELETE_ALL_MMS_FAIL"));
        return;
    }
    showInfo(tr("IDS_DELETE_ALL_MMS_SUC"));
    removeAllMessages();
}

// ----------------------------------------------------- after a deletion

void SMSMainForm::destroyMessages(const MsgMessageList& messages)
{
    const QSet<_MsgMessage*> gone(messages.cbegin(), messages.cend());
    if (gone.isEmpty())
        return;
    // A message joined to several chats is listed in each of them, while
    // its own chat names only one: every chat lets go of it.
    for (_MsgChat* chat : std::as_const(dataSet->chats))
        chat->messages.removeIf([&gone](const auto& entry) { return gone.contains(entry.value()); });
    for (_MsgMessage* m : gone) {
        dataSet->messages.remove(m->ROWID);
        delete m;
    }
}

void SMSMainForm::removeDeletedMessages(MsgMessageList deleted)
{
    // Nothing may point at the records once they are gone.
    clearView();
    destroyMessages(deleted);
    MyTreeView* list = form->listHandle;
    const QPersistentModelIndex current(list->currentIndex());
    if (current.isValid()) {
        // The conversation is chosen anew once the event loop runs, which
        // shows what is left of it.
        list->setCurrentIndex(QModelIndex());
        QMetaObject::invokeMethod(
            list,
            [list, current] {
                if (current.isValid())
                    list->setCurrentIndex(current);
            },
            Qt::QueuedConnection);
    } else {
        showMessages(getDataSetMessages(*dataSet), nullptr);
    }
}

void SMSMainForm::removeDeletedConversation(AbsTreeItemModel::_ItemNode* conversation, MsgMessageList deleted)
{
    clearView();
    destroyMessages(deleted);
    form->listHandle->setCurrentIndex(QModelIndex());
    if (auto* node = dynamic_cast<ItemModelSMSHandle::_HandleItemNode*>(conversation)) {
        const QList<_MsgChat*> chats = node->chats;
        handleModel->removeNode(node);
        const QSet<const _MsgChat*> gone(chats.cbegin(), chats.cend());
        // A message kept elsewhere must not point at a chat that is gone.
        for (_MsgMessage* m : std::as_const(dataSet->messages)) {
            if (gone.contains(m->chat))
                m->chat = nullptr;
        }
        for (_MsgChat* chat : chats) {
            dataSet->chats.remove(chat->ROWID);
            delete chat;
        }
    }
    showMessages(getDataSetMessages(*dataSet), nullptr);
}

void SMSMainForm::removeAllMessages()
{
    handleModel->setHandles({});
    clearView();
    dataSet = newMsgDataSet();
}
