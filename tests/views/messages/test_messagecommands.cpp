// The messages page's backup, transfer and delete commands: a phone's
// messages backed up twice into one folder, a backup's messages sent to a
// phone whose messages are loaded first, and deletions of a selection, of
// one conversation and of the whole store of a backup folder.
#include "views/messages/smsmainform.h"

#include "jobs/localdbselform.h"
#include "message_testdata.h"
#include "messagefixtures.h"
#include "pagetest.h"
#include "shell/core/dataroot.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"
#include "views/messages/itemmodelsms.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QtTest>

using messagefixtures::kBase;

namespace {

qint64 storedMessages(const QString& folder)
{
    IOS6MessageDb db {QDir(folder), QString(), false};
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select count(*) from message"));
    return c.moveNext() ? c.getInt64(0) : -1;
}

// Ann (three messages, one with a picture), Bob (two), Carl (one). The
// counterpart of a sent message is its handle, as the phone loader stores it.
bool writeChats(const QString& folder, const QString& files)
{
    MessageSet s;
    auto* ann = s.handle(QStringLiteral("+4930111"), QStringLiteral("Ann"));
    auto* bob = s.handle(QStringLiteral("+4930222"));
    auto* carl = s.handle(QStringLiteral("+4930333"));
    auto* a = s.chat(ann->id, {ann}, kBase + 200);
    auto* b = s.chat(bob->id, {bob}, kBase + 400);
    auto* c = s.chat(carl->id, {carl}, kBase + 500);
    s.message(a, ann, false, QStringLiteral("ann 1"), kBase);
    s.message(a, ann, true, QStringLiteral("ann 2"), kBase + 100);
    s.attach(s.message(a, ann, false, QString(), kBase + 200), QStringLiteral("image/jpeg"),
             writePicture(files + QStringLiteral("/IMG_1.jpg"), Qt::darkCyan));
    s.message(b, bob, false, QStringLiteral("bob 1"), kBase + 300);
    s.message(b, bob, true, QStringLiteral("bob 2"), kBase + 400);
    s.message(c, carl, false, QStringLiteral("carl"), kBase + 500);
    return messagefixtures::writeStore(folder, s);
}

QString smsFolder(const QString& backup)
{
    return backup + QStringLiteral("/file-relay/var/mobile/Library/SMS");
}

} // namespace

class TestMessageCommands : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        m_source = std::make_unique<testsupport::SimPhone>(
            QStringLiteral("127.0.115.1"),
            testsupport::fixtureFile(QStringLiteral("tests/views/messages/data/phone_messages.json")));
        QJsonObject empty;
        empty.insert(QStringLiteral("device"),
                     QJsonObject {{QStringLiteral("model"), QStringLiteral("Empty")},
                                  {QStringLiteral("manufacturer"), QStringLiteral("Acme")},
                                  {QStringLiteral("imei"), QStringLiteral("490154203239999")},
                                  {QStringLiteral("uid"), QStringLiteral("uid-empty")},
                                  {QStringLiteral("mmc"), QStringLiteral("262")}});
        m_target = std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.115.2"), empty);
        QVERIFY2(m_source->ok() && m_target->ok(), qPrintable(m_source->error + m_target->error));
    }
    void cleanup() { cleanupPage(); }

    void backup_fromAPhone_twiceIntoOneFolder_storesEachMessageOnce()
    {
        ScriptedPrompt prompt;
        SMSMainForm page(addPhone(*m_source), devicesRoot());
        QSignalSpy finished(&page, &SMSMainForm::backupFinished);
        const int total = page.messageModel()->rowCount();
        QVERIFY(total > 0);
        auto choose = [](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            form->comboBox()->setEditText(QStringLiteral("Trip"));
            form->onBtnOkPress();
        };
        for (int round = 1; round <= 2; ++round) {
            prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup %1 messages.").arg(total));
            page.miToolbarBackup();
            VERIFY_SCRIPT_DONE(prompt);
        }
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.first().first().toString(), QStringLiteral("Trip"));
        const QString folder = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Trip"));
        QCOMPARE(storedMessages(folder), total);
    }

    void transfer_fromABackup_loadsTheTargetOnce_thenSendsWhatItLacks()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old phone"));
        QVERIFY(writeChats(backup->dir.absolutePath(), testsupport::makeTempDir(QStringLiteral("files"))));
        addPhone(*m_source);
        _AndroidDeviceItemNode* target = addPhone(*m_target);
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        const int loads = m_target->loads(QStringLiteral("mms2"));
        for (int round = 1; round <= 2; ++round) {
            prompt.answerDeviceChoice(target->device.deviceId());
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 6 Messages to Android."));
            page.miToolbarDB2A();
            VERIFY_SCRIPT_DONE(prompt);
        }
        // Loaded once before the first transfer; the second sent nothing.
        QCOMPARE(m_target->loads(QStringLiteral("mms2")), loads + 1);
        QVERIFY(target->device.messagesLoadTime.isValid());
        QCOMPARE(m_target->verdict(3), QString());
        QCOMPARE(m_target->store->records(QStringLiteral("mms2")).size(), 6);
        QCOMPARE(m_target->store->batchSizes(QStringLiteral("mms2")), (QList<int> {6, 0}));
        QCOMPARE(storedMessages(target->device.cacheDir().absolutePath()), 6);

        // One conversation from its menu.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(1, 0));
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 2 Messages to Android."));
        page.miHandleDB2A();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(m_target->store->batchSizes(QStringLiteral("mms2")), (QList<int> {6, 0, 0}));
    }

    void delete_selection_conversation_andEverything()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Deletes"));
        const QString folder = backup->dir.absolutePath();
        QVERIFY(writeChats(folder, testsupport::makeTempDir(QStringLiteral("files"))));
        writeFile(folder + QStringLiteral("/calls.db"), "other data");
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        checkModel(page.conversationModel());
        checkModel(page.messageModel());

        // Two selected messages of Ann; "No" first changes nothing.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("Ann"));
        selectRows(page.messageView(), {0, 2});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected messages?"));
        page.miDelMMS();
        QCOMPARE(storedMessages(folder), 6);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected messages?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully Deleted 2 Messages."));
        page.miToolbarDel();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(storedMessages(folder), 4);
        QTRY_COMPARE(page.countLabel()->text(), QStringLiteral("Total: 1"));
        QCOMPARE(column(*page.messageModel(), 3), QStringList {QStringLiteral("ann 2")});

        // Bob's conversation is current while every message is on show: only
        // Bob's messages go.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(1, 0));
        MsgMessageList all;
        for (AbsTreeItemModel::_ItemNode* node : page.conversationModel()->rootNodes())
            all += collectChatMessages(static_cast<ItemModelSMSHandle::_HandleItemNode*>(node)->chats);
        page.showMessages(all, nullptr);
        QCOMPARE(page.messageModel()->rowCount(), 4);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete Messages with this contact?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully Deleted 2 Messages."));
        page.miDelHandle();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(storedMessages(folder), 2);
        QCOMPARE(column(*page.conversationModel(), 0), QStringLiteral("+4930333|Ann").split(u'|'));
        QCOMPARE(column(*page.messageModel(), 3), QStringLiteral("ann 2|carl").split(u'|'));

        // Nothing selected: everything, and only the store's own folder.
        page.conversationView()->selectionModel()->clearSelection();
        page.messageView()->selectionModel()->clearSelection();
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Messages?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Messages."));
        page.miToolbarDel();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!QFileInfo::exists(smsFolder(folder)));
        QCOMPARE(readAll(folder + QStringLiteral("/calls.db")), QByteArray("other data"));
        QCOMPARE(page.conversationModel()->rowCount(), 0);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 0"));
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_source;
    std::unique_ptr<testsupport::SimPhone> m_target;
};

QTEST_MAIN(TestMessageCommands)
#include "test_messagecommands.moc"
