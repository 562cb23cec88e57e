// The messages page end to end: a simulated phone's messages loaded once
// per connection into the cache store, a hostile name shown as plain text,
// only the date column sorting, both searches wrapping around, export and
// attachment extraction into folders of the chosen one, a backup's messages
// sent to a phone whose messages are loaded first (again after a failed
// transfer, so that a retry sends nothing twice), and deletions of a
// selection, of one conversation and of the whole store. The jobs behind
// the commands are tested on their own with the other jobs.
#include "views/messages/smsmainform.h"

#include "formats/messageassets.h"
#include "messagefixtures.h"
#include "pagetest.h"
#include "scriptedprompt.h"
#include "shell/mytreeview.h"
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsms.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

using messagefixtures::writeChats;

namespace {

qint64 storedMessages(const QString& folder)
{
    IOS6MessageDb db {QDir(folder), QString(), false};
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select count(*) from message"));
    return c.moveNext() ? c.getInt64(0) : -1;
}

} // namespace

class TestMessagesPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        PageTest::initTestCase();
        messageassets::setApplicationFolder(testsupport::appBinDir());
        const QString data = QStringLiteral("tests/views/messages/data/");
        m_sim = std::make_unique<testsupport::SimPhone>(
            QStringLiteral("127.0.113.1"), testsupport::fixtureFile(data + QStringLiteral("phone_messages.json")));
        m_target = std::make_unique<testsupport::SimPhone>(
            QStringLiteral("127.0.113.2"), testsupport::fixtureFile(data + QStringLiteral("empty_phone.json")));
        QVERIFY2(m_sim->ok() && m_target->ok(), qPrintable(m_sim->error + m_target->error));
    }

    void phone_loadsOncePerConnection_virtualDeviceReadsItsCacheOnly()
    {
        ScriptedPrompt prompt;
        _AndroidDeviceItemNode* phone = addPhone(*m_sim);
        const int loadsBefore = m_sim->loads(QStringLiteral("mms2"));
        SMSMainForm page(phone, devicesRoot());
        checkModel(page.conversationModel());
        checkModel(page.messageModel());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().size(), 1); // the load's progress
        QCOMPARE(m_sim->loads(QStringLiteral("mms2")), loadsBefore + 1);

        // Newest first: the hostile name, the unnamed number, Ann.
        const QString hostileName = QStringLiteral("\"><img src=x onerror=alert(1)>");
        QCOMPARE(column(*page.conversationModel(), 0),
                 (QStringList {hostileName, QStringLiteral("+49303333333"), QStringLiteral("Ann")}));
        const int total = page.messageModel()->rowCount();
        // The hostile name is plain text in the label (its bubbles are
        // checked with the views).
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(0, 0));
        QCOMPARE(page.conversationLabel()->text(), hostileName);
        QCOMPARE(page.conversationLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(page.countLabel()->textFormat(), Qt::PlainText);
        // So are the tool tips of both lists.
        QCOMPARE(shownToolTips(*page.conversationModel(), 0), column(*page.conversationModel(), 0));
        QVERIFY(column(*page.messageModel(), 2).value(0).startsWith(hostileName));
        for (int col = 0; col < page.messageModel()->columnCount(); ++col)
            QCOMPARE(shownToolTips(*page.messageModel(), col), column(*page.messageModel(), col));

        // Another visit of the same connection reads the cache only.
        SMSMainForm again(phone, devicesRoot());
        QCOMPARE(again.messageModel()->rowCount(), total);
        QCOMPARE(m_sim->loads(QStringLiteral("mms2")), loadsBefore + 1);
        // Connected again (a new node): loaded once more into the same
        // store, which holds each message once.
        SMSMainForm third(addPhone(*m_sim), devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().size(), 2);
        QCOMPARE(m_sim->loads(QStringLiteral("mms2")), loadsBefore + 2);
        QCOMPARE(third.messageModel()->rowCount(), total);

        // A virtual device reads its cache store and never reaches a phone.
        _AndroidDeviceItemNode* device = addVirtualDevice(QStringLiteral("Old Rocket"));
        writeChats(device->device.cacheDir().absolutePath());
        const auto connections = m_sim->sim->connections().size();
        SMSMainForm offline(device, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(offline.messageModel()->rowCount(), 6);
        QCOMPARE(m_sim->sim->connections().size(), connections);
    }

    void backup_onlyTheDateSorts_andBothSearchesWrapAround()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Searches"));
        writeChats(backup->dir.absolutePath());
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        QCOMPARE(column(*page.conversationModel(), 0), QStringLiteral("+4930444|Carl|Ann").split(u'|'));
        const QStringList ascending
            = QStringLiteral("apple pie|banana|Apple juice|cherry [IMAGE]|carl here|pear apple").split(u'|');
        QCOMPARE(column(*page.messageModel(), 3), ascending);

        // Another column puts the indicator back on the date, ascending;
        // the date sorts both ways, the bubbles too.
        QHeaderView* header = page.messageView()->header();
        for (int section = 1; section < 4; ++section) {
            header->setSortIndicator(section, Qt::DescendingOrder);
            QCOMPARE(std::pair(header->sortIndicatorSection(), header->sortIndicatorOrder()),
                     std::pair(0, Qt::AscendingOrder));
            QCOMPARE(column(*page.messageModel(), 3), ascending);
        }
        header->setSortIndicator(0, Qt::DescendingOrder);
        QCOMPARE(column(*page.messageModel(), 3), QList<QString>(ascending.crbegin(), ascending.crend()));
        const QString html = page.bubbleView()->pageHtml(1);
        QVERIFY(html.indexOf(QStringLiteral("pear apple")) < html.indexOf(QStringLiteral("apple pie")));
        header->setSortIndicator(0, Qt::AscendingOrder);

        // "apple" in rows 0, 2 and 5, found in turn and around; Return
        // searches too.
        MyTreeView* list = page.messageView();
        page.messageKeyword()->setText(QStringLiteral("  APPLE "));
        QList<int> found;
        for (int i = 0; i < 4; ++i) {
            page.findNextSMS();
            found << list->currentIndex().row();
        }
        QTest::keyClick(page.messageKeyword(), Qt::Key_Return);
        found << list->currentIndex().row();
        QCOMPARE(found, (QList<int> {0, 2, 5, 0, 2}));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no Message with keyword kiwi."));
        page.messageKeyword()->setText(QStringLiteral("kiwi"));
        page.findNextSMS();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(list->currentIndex().row(), 2);

        // "a" is in "Carl" and "Ann"; Enter searches; the found one shows.
        page.conversationKeyword()->setText(QStringLiteral("a"));
        found.clear();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(page.conversationKeyword(), Qt::Key_Enter);
            found << page.conversationView()->currentIndex().row();
        }
        QCOMPARE(found, (QList<int> {1, 2, 1}));
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("Carl"));
        QCOMPARE(column(*page.messageModel(), 3), QStringList {QStringLiteral("carl here")});
    }

    // PDF and HTML go into a folder named by the part of the name before
    // its first dot; attachments into a new folder of the chosen one.
    void exportAndExtract_intoFoldersOfTheChosenOne()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Export"));
        writeChats(backup->dir.absolutePath());
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        prompt.answerSaveFile(dir + QStringLiteral("/my.chats.html"), QStringLiteral("HTML Files(*.html)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 6 Messages."));
        CHECKED(triggerAction(page, QStringLiteral("Export Messages to file")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(QDir(dir + QStringLiteral("/my-html")).entryList({QStringLiteral("*.html")}).size(), 3);

        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        prompt.answerSaveFile(dir + QStringLiteral("/ann"), QStringLiteral("PDF Files(*.pdf)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 4 Messages."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Export Messages with this contact to file"),
                                  SMSMainForm::ConversationMenu));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(QDir(dir + QStringLiteral("/ann-pdf")).entryList({QStringLiteral("*.pdf")}).size(), 1);

        const QString out = testsupport::makeTempDir(QStringLiteral("extract"));
        prompt.answerDirectory(out);
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("Successfully extacted 1 MMS attachment to %1/attachments(").arg(out));
        CHECKED(triggerMenuAction(page, QStringLiteral("Extract attachment from Messages with this contact"),
                                  SMSMainForm::ConversationMenu));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A backup's messages on a writable folder and on a read-only medium:
    // listed, exported and printed, the store opened for reading only; a
    // folder without a store gets none.
    void readOnlyBackup_listsExportsAndPrints_keepingEveryByte()
    {
        _LocalDbItemNode* empty = addBackup(QStringLiteral("Nothing"));
        QCOMPARE(SMSMainForm(empty, devicesRoot()).messageModel()->rowCount(), 0);
        QVERIFY(testsupport::filesBelow(empty->dir.absolutePath()).isEmpty());

        _LocalDbItemNode* backup = addBackup(QStringLiteral("Disc"));
        writeChats(backup->dir.absolutePath());
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        CHECKED(checkReadOnlyBackup<SMSMainForm>(backup, [&](SMSMainForm& page, ScriptedPrompt& prompt) {
            QCOMPARE(page.messageModel()->rowCount(), 6);
            QFile::remove(dir + QStringLiteral("/chats.txt"));
            prompt.answerSaveFile(dir + QStringLiteral("/chats.txt"), QStringLiteral("Text Files(*.txt)"));
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 6 Messages."));
            CHECKED(triggerAction(page, QStringLiteral("Export Messages to file")));
            QVERIFY(QFileInfo(dir + QStringLiteral("/chats.txt")).size() > 0);
            prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [](QDialog*) {});
            CHECKED(triggerAction(page, QStringLiteral("Print Messages")));
        }));
    }

    void transfer_fromABackup_loadsTheTargetOnce_thenSendsWhatItLacks()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old phone"));
        writeChats(backup->dir.absolutePath());
        addPhone(*m_sim);
        _AndroidDeviceItemNode* target = addPhone(*m_target);
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        const int loads = m_target->loads(QStringLiteral("mms2"));
        for (int round = 1; round <= 2; ++round) {
            prompt.answerDeviceChoice(target->device.deviceId());
            prompt.answerMessage(QMessageBox::Ok,
                                 round == 1
                                     ? QStringLiteral("Successfully restored 6 Messages to Android.")
                                     : QStringLiteral("Nothing was sent: Android already holds these 6 Messages."));
            CHECKED(triggerAction(page, QStringLiteral("Transfer Messages from Database to Android")));
            VERIFY_SCRIPT_DONE(prompt);
        }
        // Loaded once before the first transfer; the second sent nothing and says so.
        QCOMPARE(m_target->loads(QStringLiteral("mms2")), loads + 1);
        QCOMPARE(m_target->verdict(3), QString());
        QCOMPARE(m_target->store->batchSizes(QStringLiteral("mms2")), (QList<int> {6, 0}));
        QCOMPARE(storedMessages(target->device.cacheDir().absolutePath()), 6);
    }

    // The phone stores the second batch, but its acknowledgement comes
    // garbled: the transfer fails, and the retry loads the phone's messages
    // again and sends only what it lacks. Nothing arrives twice.
    void transfer_retryAfterAFailure_sendsNothingTwice()
    {
        MessageSet set;
        auto* ann = set.handle(QStringLiteral("+4930111"), QStringLiteral("Ann"));
        auto* chat = set.chat(ann->id, {ann}, messagefixtures::kBase + 30000);
        for (int i = 0; i < 250; ++i)
            set.message(chat, ann, i % 3 == 0, QStringLiteral("message %1").arg(i), messagefixtures::kBase + i * 60);
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Many"));
        messagefixtures::writeStore(backup->dir.absolutePath(), set);
        testsupport::SimPhone phone(
            QStringLiteral("127.0.113.3"),
            testsupport::fixtureFile(QStringLiteral("tests/views/messages/data/empty_phone.json")));
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        // Steps: 1 ready, 2 "$defsmsapp:0", 3 and 4 the first two batches' acknowledgements.
        phone.sim->addFault(
            phonesim::Fault(phonesim::Fault::Kind::WrongLineAt, QStringLiteral("restore:mms2"), 4, "garbage"));
        _AndroidDeviceItemNode* target = addPhone(phone);
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("invalid feedback [garbage], must be [$batch:]"));
        CHECKED(triggerAction(page, QStringLiteral("Transfer Messages from Database to Android")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone.store->records(QStringLiteral("mms2")).size(), 200);

        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("Successfully restored 50 Messages to Android.<br/>200 Messages were on "
                                            "Android already and were not sent again."));
        CHECKED(triggerAction(page, QStringLiteral("Transfer Messages from Database to Android")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone.loads(QStringLiteral("mms2")), 2);
        QStringList bodies;
        for (const QVariantMap& m : phone.store->records(QStringLiteral("mms2")))
            bodies.append(m.value(QStringLiteral("body")).toString());
        QCOMPARE(bodies.size(), 250);
        QCOMPARE(QSet<QString>(bodies.begin(), bodies.end()).size(), 250);
        QCOMPARE(storedMessages(target->device.cacheDir().absolutePath()), 250);
    }

    void delete_selection_conversation_andEverything()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Deletes"));
        const QString folder = backup->dir.absolutePath();
        writeChats(folder);
        writeFile(folder + QStringLiteral("/calls.db"), "other data");
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        checkModel(page.conversationModel());
        checkModel(page.messageModel());

        // Two selected messages of Ann; "No" first changes nothing.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        selectRows(page.messageView(), {0, 3});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected messages?"));
        CHECKED(triggerMenuAction(page, QStringLiteral("Delete selected Messages"), SMSMainForm::MessageMenu));
        QCOMPARE(storedMessages(folder), 6);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected messages?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully Deleted 2 Messages."));
        CHECKED(triggerAction(page, QStringLiteral("Delete Messages")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(storedMessages(folder), 4);
        QTRY_COMPARE_WITH_TIMEOUT(page.countLabel()->text(), QStringLiteral("Total: 2"), testsupport::kHangGuardMs);
        QCOMPARE(column(*page.messageModel(), 3), QStringLiteral("banana|Apple juice").split(u'|'));

        // Carl's conversation is current while every message is on show:
        // only Carl's message goes.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(1, 0));
        MsgMessageList all;
        for (AbsTreeItemModel::_ItemNode* node : page.conversationModel()->rootNodes())
            all += collectChatMessages(static_cast<ItemModelSMSHandle::_HandleItemNode*>(node)->chats);
        page.showMessages(all, nullptr);
        QCOMPARE(page.messageModel()->rowCount(), 4);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete Messages with this contact?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully Deleted 1 Messages."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Delete Messages with this contact"),
                                  SMSMainForm::ConversationMenu));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(storedMessages(folder), 3);
        QCOMPARE(column(*page.conversationModel(), 0), QStringLiteral("+4930444|Ann").split(u'|'));
        QCOMPARE(column(*page.messageModel(), 3), QStringLiteral("banana|Apple juice|pear apple").split(u'|'));

        // Nothing selected: everything, and only the store's own folder.
        page.conversationView()->selectionModel()->clearSelection();
        page.messageView()->selectionModel()->clearSelection();
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Messages?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Messages."));
        CHECKED(triggerAction(page, QStringLiteral("Delete Messages")));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS")));
        QCOMPARE(readAll(folder + QStringLiteral("/calls.db")), QByteArray("other data"));
        QCOMPARE(page.conversationModel()->rowCount(), 0);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 0"));
    }

    // A store written elsewhere may join one message to two chats: Ann's
    // "apple pie" to her SMS chat and to an iMessage chat of hers (one
    // conversation), Carl's message also to the chat of +4930444 (two
    // conversations). Each is listed once per conversation, leaves every
    // chat on deletion and is freed once.
    void delete_messagesJoinedToTwoChats()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Shared"));
        const QString folder = backup->dir.absolutePath();
        writeChats(folder);
        {
            IOS6MessageDb db {QDir(folder), QString(), false};
            db.open();
            for (const char* sql :
                 {"insert into chat(guid, style, state, chat_identifier, service_name, account_login, is_archived, "
                  "_last) select 'iMessage;-;+4930111', style, state, chat_identifier, 'iMessage', account_login, "
                  "is_archived, _last from chat where chat_identifier = '+4930111'",
                  "insert into chat_handle_join(chat_id, handle_id) select (select rowid from chat where guid = "
                  "'iMessage;-;+4930111'), handle_id from chat_handle_join where chat_id = (select rowid from "
                  "chat where chat_identifier = '+4930111' and service_name = 'SMS')",
                  "insert into chat_message_join(chat_id, message_id) select (select rowid from chat where guid = "
                  "'iMessage;-;+4930111'), rowid from message where text = 'apple pie'",
                  "insert into chat_message_join(chat_id, message_id) select (select rowid from chat where "
                  "chat_identifier = '+4930444'), rowid from message where text = 'carl here'"})
                db.executeThrow(QString::fromLatin1(sql));
        }
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        QCOMPARE(column(*page.conversationModel(), 0), QStringLiteral("+4930444|Carl|Ann").split(u'|'));
        QCOMPARE(page.messageModel()->rowCount(), 6);
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        QCOMPARE(column(*page.messageModel(), 3),
                 QStringLiteral("apple pie|banana|Apple juice|cherry [IMAGE]").split(u'|'));

        // Carl's message deleted where +4930444 shows it: gone from Carl's
        // conversation too, and Carl's chat from the store.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(0, 0));
        QCOMPARE(column(*page.messageModel(), 3), QStringLiteral("carl here|pear apple").split(u'|'));
        selectRows(page.messageView(), {0});
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected messages?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully Deleted 1 Messages."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Delete selected Messages"), SMSMainForm::MessageMenu));
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE_WITH_TIMEOUT(column(*page.messageModel(), 3), QStringList {QStringLiteral("pear apple")},
                                  testsupport::kHangGuardMs);
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(1, 0));
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("Carl"));
        QCOMPARE(page.messageModel()->rowCount(), 0);
        QCOMPARE(storedMessages(folder), 5);

        // Ann's conversation: its four messages, each deleted and freed once;
        // both of her chats leave the store.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete Messages with this contact?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully Deleted 4 Messages."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Delete Messages with this contact"),
                                  SMSMainForm::ConversationMenu));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.messageModel(), 3), QStringList {QStringLiteral("pear apple")});
        QCOMPARE(storedMessages(folder), 1);

        SMSMainForm again(backup, devicesRoot());
        QCOMPARE(column(*again.conversationModel(), 0), QStringList {QStringLiteral("+4930444")});
        QCOMPARE(column(*again.messageModel(), 3), QStringList {QStringLiteral("pear apple")});
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_target;
};

QTEST_MAIN(TestMessagesPage)
#include "test_messagespage.moc"
