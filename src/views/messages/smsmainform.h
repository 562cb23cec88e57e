// The messages page of a phone (connected or virtual) or of a local backup
// folder: the conversations newest first on the left, the messages of the
// chosen conversation (or all of them) in a list sorted by date at the top
// right, and the same messages as chat bubbles below it. Both lists have a
// search that wraps around. The commands export, print or extract the
// attachments of, back up or transfer to another phone the selected
// messages, those of the conversation on show, or (toolbar) the selection
// else everything on show; a backup page also deletes them.
//
// A connected phone's messages are brought into its cache store on the
// page's first opening after the phone connected; the store is read once
// per page.
#pragma once

#include "messagestore/msgrecords.h"
#include "views/common/abscategorypage.h"

#include <QItemSelection>

#include <memory>

class BubbleViewMgr;
class IOS6MessageDb;
class ItemModelSMSHandle;
class ItemModelSms;
class MyTreeView;
class QLabel;
class QLineEdit;
class QWebEngineView;
namespace Ui {
class SMSMainForm;
}

class SMSMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    // The two context menus of the command table.
    enum Menu { ConversationMenu = 0, MessageMenu = 1 };

    SMSMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~SMSMainForm() override;

    // Opens the source's store (after bringing a connected phone's cache up
    // to date) and fills both lists; a read error is shown and what was
    // read stays.
    void loadMessages();
    // Puts the messages on show, sorted by the date column's order; chat is
    // the conversation they belong to (null: all messages).
    void showMessages(const MsgMessageList& messages, _MsgChat* chat);
    // Nothing on show.
    void clearView();
    // The messages of the selected rows of the message list, in selection order.
    MsgMessageList getSelectedMessages() const;
    // The messages on show, in list order.
    const MsgMessageList& messagesOnShow() const;

    // After messages were deleted from the store: they leave the data set
    // and the lists, and the conversation on show is shown again. The lists
    // are taken by value: they may be the page's own (messagesOnShow).
    void removeDeletedMessages(MsgMessageList deleted);
    // After the conversation on show was deleted from the store: its
    // messages and chats leave the data set, its row the list; all messages
    // left go on show.
    void removeDeletedConversation(AbsTreeItemModel::_ItemNode* conversation, MsgMessageList deleted);
    // After the whole store was removed: both lists empty.
    void removeAllMessages();

    MyTreeView* conversationView() const;
    MyTreeView* messageView() const;
    ItemModelSMSHandle* conversationModel() const { return handleModel; }
    ItemModelSms* messageModel() const { return smsModel; }
    BubbleViewMgr* bubbleView() const { return bubbleMgr; }
    QWebEngineView* webView() const;
    QLabel* countLabel() const;
    QLabel* conversationLabel() const;
    QLineEdit* conversationKeyword() const;
    QLineEdit* messageKeyword() const;
    _MsgChat* currentChat() const { return chatOnShow; }

public slots:
    void onHandleItemSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onSMSItemSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onSMSSortIndicatorChanged(int logicalIndex, Qt::SortOrder order);
    void findNextSMS();
    void findNextContact();
    void handleContextMenu() { execContextMenu(ConversationMenu); }
    void SMSContextMenu() { execContextMenu(MessageMenu); }

    void miExportMMS() { exportMessages(getSelectedMessages()); }
    void miExtractMMSMedia() { extractAttachments(getSelectedMessages()); }
    void miPrintMMS() { printMessages(getSelectedMessages()); }
    void miExportHandle() { exportMessages(messagesOnShow()); }
    void miExtractHandleMedia() { extractAttachments(messagesOnShow()); }
    void miPrintHandle() { printMessages(messagesOnShow()); }
    void miToolbarExport() { exportMessages(selectedOrShown()); }
    void miToolbarExtractMedia() { extractAttachments(selectedOrShown()); }
    void miToolbarPrint() { printMessages(selectedOrShown()); }
    void miBackupMMS() { backupMessages(getSelectedMessages()); }
    void miBackupHandle() { backupMessages(messagesOnShow()); }
    void miToolbarBackup() { backupMessages(selectedOrShown()); }
    void miMMSA2A() { transferMessages(getSelectedMessages()); }
    void miHandleA2A() { transferMessages(messagesOnShow()); }
    void miToolbarA2A() { transferMessages(selectedOrShown()); }
    void miMMSDB2A() { miMMSA2A(); }
    void miHandleDB2A() { miHandleA2A(); }
    void miToolbarDB2A() { miToolbarA2A(); }
    void miDelMMS();
    void miDelHandle();
    void miToolbarDel();

signals:
    void backupFinished(QString localDbName);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    void setUpCommands();
    void exportMessages(const MsgMessageList& messages);
    void extractAttachments(const MsgMessageList& messages);
    void printMessages(const MsgMessageList& messages);
    void backupMessages(const MsgMessageList& messages);
    void transferMessages(const MsgMessageList& messages);
    // Runs the delete job on the store; true when it succeeded.
    bool deleteFromStore(const MsgMessageList& messages);
    void deleteAll();
    MsgMessageList selectedOrShown() const;
    void destroyMessages(const MsgMessageList& messages);

    std::unique_ptr<Ui::SMSMainForm> form;
    ItemModelSMSHandle* handleModel;
    ItemModelSms* smsModel;
    BubbleViewMgr* bubbleMgr;
    MsgDataSetPtr dataSet;
    std::unique_ptr<IOS6MessageDb> store;
    _MsgChat* chatOnShow = nullptr; // the first chat of the conversation on show
};
