// The messages page end to end: a simulated phone's messages loaded once
// per connection into the cache store, conversations newest first, hostile
// phone data shown as text, only the date column sorting, both searches
// wrapping around, the commands offered per source, export into files and
// folders, attachment extraction and print through the page, the lists
// after deletions, and a virtual device read from its cache folder.
#include "views/messages/smsmainform.h"

#include "formats/messageassets.h"
#include "htmlcheck.h"
#include "message_testdata.h"
#include "messagefixtures.h"
#include "pagetest.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsms.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QtTest>

using messagefixtures::kBase;

namespace {

constexpr char kAddress[] = "127.0.113.1";

QList<bool> enabled(const QList<QAction*>& actions)
{
    QList<bool> out;
    for (const QAction* a : actions)
        out << a->isEnabled();
    return out;
}

int currentRow(const MyTreeView* view)
{
    return view->currentIndex().isValid() ? view->currentIndex().row() : -1;
}

// Three conversations: Ann (four messages, one with a picture), a group
// (Bob and Carl) and an unnamed number, which is the newest.
void buildChats(MessageSet& s, const QString& files)
{
    auto* ann = s.handle(QStringLiteral("+4930111"), QStringLiteral("Ann"));
    auto* bob = s.handle(QStringLiteral("+4930222"), QStringLiteral("Bob"));
    auto* carl = s.handle(QStringLiteral("+4930333"), QStringLiteral("Carl"));
    auto* nobody = s.handle(QStringLiteral("+4930444"));
    auto* a = s.chat(ann->id, {ann}, kBase + 300);
    auto* g = s.chat(QStringLiteral("chat900"), {bob, carl}, kBase + 500);
    auto* n = s.chat(nobody->id, {nobody}, kBase + 1000);
    s.message(a, ann, false, QStringLiteral("apple pie"), kBase);
    s.message(a, nullptr, true, QStringLiteral("banana"), kBase + 100);
    s.message(a, ann, false, QStringLiteral("Apple juice"), kBase + 200);
    auto* pic = s.message(a, nullptr, true, QStringLiteral("cherry"), kBase + 300);
    s.attach(pic, QStringLiteral("image/jpeg"), writePicture(files + QStringLiteral("/IMG_7.jpg"), Qt::darkCyan));
    s.message(g, bob, false, QStringLiteral("group hello"), kBase + 500);
    s.message(n, nobody, false, QStringLiteral("pear apple"), kBase + 1000);
}

// The store of folder holds buildChats' conversations.
bool writeChats(const QString& folder)
{
    MessageSet s;
    buildChats(s, testsupport::makeTempDir(QStringLiteral("files")));
    return messagefixtures::writeStore(folder, s);
}

} // namespace

class TestMessagesPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        messageassets::setApplicationFolder(testsupport::appBinDir());
        m_sim = std::make_unique<testsupport::SimPhone>(
            QString::fromLatin1(kAddress),
            testsupport::fixtureFile(QStringLiteral("tests/views/messages/data/phone_messages.json")));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }

    void init() { m_phone = addPhone(*m_sim); }
    void cleanup() { cleanupPage(); }

    void phone_loadsOncePerConnection_newestFirst_phoneDataAsText()
    {
        ScriptedPrompt prompt;
        const int loadsBefore = m_sim->loads(QStringLiteral("mms2"));
        SMSMainForm page(m_phone, devicesRoot());
        checkModel(page.conversationModel());
        checkModel(page.messageModel());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        QCOMPARE(m_sim->loads(QStringLiteral("mms2")), loadsBefore + 1);
        QVERIFY(m_phone->device.messagesLoadTime.isValid());

        // Newest first: Bob (hostile name), the unnamed number, Ann.
        const QString hostileName = QStringLiteral("\"><img src=x onerror=alert(1)>");
        QCOMPARE(column(*page.conversationModel(), 0),
                 (QStringList {hostileName, QStringLiteral("+49303333333"), QStringLiteral("Ann")}));
        const int total = page.messageModel()->rowCount();
        QVERIFY(total >= 5);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: %1").arg(total));
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("All Messages"));
        // All messages oldest first.
        QCOMPARE(column(*page.messageModel(), 3).first(), QStringLiteral("Hello Ann here"));

        // The hostile conversation: its name is plain text in the label, its
        // texts reach the bubble page only as text.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(0, 0));
        QCOMPARE(page.conversationLabel()->text(), hostileName);
        QCOMPARE(page.conversationLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(page.countLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 1"));
        htmlcheck::ParsedPage parsed = htmlcheck::parse(page.bubbleView()->pageHtml(1));
        QVERIFY2(htmlcheck::unsafeParts(parsed).isEmpty(), qPrintable(htmlcheck::unsafeParts(parsed)));
        QVERIFY(parsed.text.contains(QStringLiteral("<Subject:<b>subject</b>>")));
        QVERIFY(parsed.text.contains(QStringLiteral("<script>alert(1)</script> & \"quotes\"")));
        // The number's text attachment, named like a link, shows as text.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(1, 0));
        parsed = htmlcheck::parse(page.bubbleView()->pageHtml(1));
        QVERIFY2(htmlcheck::unsafeParts(parsed).isEmpty(), qPrintable(htmlcheck::unsafeParts(parsed)));
        QVERIFY(parsed.text.contains(QStringLiteral("<img src=x onerror=alert(2)>")));
        QVERIFY(parsed.text.contains(QStringLiteral("javascript:alert(1)")));

        // Another visit of the same connection reads the cache only.
        SMSMainForm again(m_phone, devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(again.messageModel()->rowCount(), total);
        QCOMPARE(m_sim->loads(QStringLiteral("mms2")), loadsBefore + 1);

        // The phone connects again (a new node): loaded once more, into the
        // same store, which holds each message once.
        _AndroidDeviceItemNode* reconnected = addPhone(*m_sim);
        SMSMainForm third(reconnected, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().size(), 2);
        QCOMPARE(m_sim->loads(QStringLiteral("mms2")), loadsBefore + 2);
        QCOMPARE(third.messageModel()->rowCount(), total);
    }

    void onlyTheDateSorts_andBothSearchesWrapAround()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Searches"));
        QVERIFY(writeChats(backup->dir.absolutePath()));
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.questions().isEmpty());
        // The group's members in the store's order.
        const QStringList conversations = column(*page.conversationModel(), 0);
        QCOMPARE(conversations.size(), 3);
        QCOMPARE(conversations.at(0), QStringLiteral("+4930444"));
        QVERIFY(conversations.at(1) == QStringLiteral("Bob, Carl")
                || conversations.at(1) == QStringLiteral("Carl, Bob"));
        QCOMPARE(conversations.at(2), QStringLiteral("Ann"));
        const QStringList ascending
            = QStringLiteral("apple pie|banana|Apple juice|cherry [IMAGE]|group hello|pear apple").split(u'|');
        QCOMPARE(column(*page.messageModel(), 3), ascending);

        // Flag, Contact or Content: the indicator goes back to the date,
        // ascending; the date column sorts both ways.
        QHeaderView* header = page.messageView()->header();
        for (int section = 1; section < 4; ++section) {
            header->setSortIndicator(section, Qt::DescendingOrder);
            QCOMPARE(header->sortIndicatorSection(), 0);
            QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
            QCOMPARE(column(*page.messageModel(), 3), ascending);
        }
        header->setSortIndicator(0, Qt::DescendingOrder);
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        QCOMPARE(column(*page.messageModel(), 3), descending);
        QVERIFY(messagefixtures::kBase > 0);
        QVERIFY(page.bubbleView()->pageHtml(1).indexOf(QStringLiteral("pear apple"))
                < page.bubbleView()->pageHtml(1).indexOf(QStringLiteral("apple pie")));
        header->setSortIndicator(0, Qt::AscendingOrder);
        QCOMPARE(column(*page.messageModel(), 3), ascending);

        // Messages: "apple" in rows 0, 2 and 5, found in turn and around;
        // Return in the keyword field searches too.
        MyTreeView* list = page.messageView();
        page.messageKeyword()->setText(QStringLiteral("  APPLE "));
        QList<int> found;
        for (int i = 0; i < 4; ++i) {
            page.findNextSMS();
            found << currentRow(list);
        }
        QCOMPARE(found, (QList<int> {0, 2, 5, 0}));
        QTest::keyClick(page.messageKeyword(), Qt::Key_Return);
        QCOMPARE(currentRow(list), 2);
        QCOMPARE(page.getSelectedMessages().size(), 1);
        QCOMPARE(page.getSelectedMessages().first()->text, QStringLiteral("Apple juice"));
        // Only the current row matches: found again.
        list->setCurrentIndex(page.messageModel()->index(3, 0));
        page.messageKeyword()->setText(QStringLiteral("cherry"));
        page.findNextSMS();
        QCOMPARE(currentRow(list), 3);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no Message with keyword kiwi."));
        page.messageKeyword()->setText(QStringLiteral("kiwi"));
        page.findNextSMS();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(currentRow(list), 3);

        // Conversations: "a" is in "Bob, Carl" and "Ann"; choosing one shows it.
        page.conversationKeyword()->setText(QStringLiteral("a"));
        found.clear();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(page.conversationKeyword(), Qt::Key_Enter);
            found << currentRow(page.conversationView());
        }
        QCOMPARE(found, (QList<int> {1, 2, 1}));
        QCOMPARE(page.conversationLabel()->text(), conversations.at(1));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 1"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no contact with keyword zed."));
        page.conversationKeyword()->setText(QStringLiteral("zed"));
        page.findNextContact();
        VERIFY_SCRIPT_DONE(prompt);

        // An empty backup gets an empty store and says so.
        _LocalDbItemNode* empty = addBackup(QStringLiteral("Empty"));
        SMSMainForm nothing(empty, devicesRoot());
        QCOMPARE(nothing.countLabel()->text(), QStringLiteral("Total: 0"));
        QCOMPARE(nothing.conversationModel()->rowCount(), 0);
        QVERIFY(QFile::exists(empty->dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/sms.db"))));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Can't find any Message."));
        nothing.messageKeyword()->setText(QStringLiteral("x"));
        nothing.findNextSMS();
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no contact with keyword x."));
        nothing.conversationKeyword()->setText(QStringLiteral("x"));
        nothing.findNextContact();
        VERIFY_SCRIPT_DONE(prompt);
    }

    // Transfer needs another phone: the page's own phone is the only one.
    void commands_perSource_andTheirMenus()
    {
        ScriptedPrompt prompt;
        SMSMainForm phonePage(m_phone, devicesRoot());
        QList<QAction*> actions = phonePage.createToolbarActions();
        QCOMPARE(texts(actions),
                 QStringLiteral("Backup Messages|Transfer Android Messages to other Android|Extract "
                                "attachment from Messages|Export Messages to file|Print Messages")
                     .split(u'|'));
        QCOMPARE(enabled(actions), (QList<bool> {true, false, true, true, true}));

        _LocalDbItemNode* backup = addBackup(QStringLiteral("Commands"));
        QVERIFY(writeChats(backup->dir.absolutePath()));
        SMSMainForm page(backup, devicesRoot());
        actions = page.createToolbarActions();
        QCOMPARE(texts(actions),
                 QStringLiteral("Transfer Messages from Database to Android|Extract attachment from "
                                "Messages|Export Messages to file|Print Messages|Delete Messages")
                     .split(u'|'));
        QCOMPARE(enabled(actions), (QList<bool> {true, true, true, true, true}));

        // No selection, no menu.
        QVERIFY(!page.createContextMenu(SMSMainForm::ConversationMenu));
        QVERIFY(!page.createContextMenu(SMSMainForm::MessageMenu));
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        std::unique_ptr<QMenu> menu(page.createContextMenu(SMSMainForm::ConversationMenu));
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Transfer Messages with this contact from Database to Android|Extract attachment "
                                "from Messages with this contact|Export Messages with this contact to file|Print "
                                "Messages with this contact|Delete Messages with this contact")
                     .split(u'|'));
        QVERIFY(!page.createContextMenu(SMSMainForm::MessageMenu));
        selectRows(page.messageView(), {0});
        menu.reset(page.createContextMenu(SMSMainForm::MessageMenu));
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Transfer selected Messages from Database to Android|Extract attachment from "
                                "selected Messages|Export selected Messages to file|Print selected Messages|Delete "
                                "selected Messages")
                     .split(u'|'));
        QCOMPARE(enabled(menu->actions()), (QList<bool> {true, true, true, true, true}));

        // Print: the selection, through the preview.
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"));
        menu->actions().at(3)->trigger();
        VERIFY_SCRIPT_DONE(prompt);
    }

    void export_filesAndFolders_byThePickedFilter()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Export"));
        QVERIFY(writeChats(backup->dir.absolutePath()));
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));

        // HTML under a name with two dots: the folder is named by the part
        // before the first dot.
        prompt.answerSaveFile(dir + QStringLiteral("/my.chats.html"), QStringLiteral("HTML Files(*.html)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 6 Messages."));
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        const ScriptedPrompt::Question asked = prompt.questions().first();
        QCOMPARE(asked.text, QStringLiteral("Please select Save Path for messages."));
        QCOMPARE(asked.filter,
                 QStringLiteral("Text Files(*.txt);;CSV Files(*.csv);;PDF Files(*.pdf);;HTML Files(*.html)"));
        QVERIFY(asked.dir.startsWith(QDir::home().absoluteFilePath(QStringLiteral("mms("))));
        QCOMPARE(QDir(dir + QStringLiteral("/my-html")).entryList({QStringLiteral("*.html")}).size(), 3);

        // PDF of one conversation under a name without suffix.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        prompt.answerSaveFile(dir + QStringLiteral("/ann"), QStringLiteral("PDF Files(*.pdf)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 4 Messages."));
        page.miExportHandle();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(QDir(dir + QStringLiteral("/ann-pdf")).entryList({QStringLiteral("*.pdf")}).size(), 1);

        // Text gets its suffix; a name with another suffix keeps it.
        selectRows(page.messageView(), {1, 2});
        prompt.answerSaveFile(dir + QStringLiteral("/two"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 Messages."));
        page.miExportMMS();
        prompt.answerSaveFile(dir + QStringLiteral("/two.dat"), QStringLiteral("CSV Files(*.csv)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 Messages."));
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(readAll(dir + QStringLiteral("/two.txt")).contains("banana"));
        QVERIFY(readAll(dir + QStringLiteral("/two.dat")).contains("Apple juice"));

        // A cancelled dialog exports nothing.
        prompt.answerSaveFile(QString());
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 4);
    }

    void extract_intoANewFolderOfTheChosenOne()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Extract"));
        QVERIFY(writeChats(backup->dir.absolutePath()));
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        const QString dir = testsupport::makeTempDir(QStringLiteral("extract"));
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        prompt.answerDirectory(dir);
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("Successfully extacted 1 MMS attachment to %1/attachments(").arg(dir));
        page.miExtractHandleMedia();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().first().text, QStringLiteral("Please select Save Path for media files."));
        QCOMPARE(prompt.questions().first().dir, QDir::homePath());
        const QStringList made = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(made.size(), 1);
        QVERIFY(made.first().startsWith(QStringLiteral("attachments(")));
        QCOMPARE(QDir(dir + QLatin1Char('/') + made.first()).entryList(QDir::Files),
                 QStringList {QStringLiteral("IMG_7.jpg")});
    }

    // What the page does once the store lost messages, a conversation or
    // everything (the delete commands call these after their job).
    void afterDeletions_theListsFollow()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Deleted"));
        QVERIFY(writeChats(backup->dir.absolutePath()));
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        checkModel(page.conversationModel());
        checkModel(page.messageModel());
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(2, 0));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 4"));
        selectRows(page.messageView(), {0, 3});
        page.removeDeletedMessages(page.getSelectedMessages());
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 0"));
        QTRY_COMPARE(page.countLabel()->text(), QStringLiteral("Total: 2"));
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("Ann"));
        QCOMPARE(column(*page.messageModel(), 3), QStringLiteral("banana|Apple juice").split(u'|'));

        // Every message of it gone: the conversation stays, empty.
        selectRows(page.messageView(), {0, 1});
        page.removeDeletedMessages(page.getSelectedMessages());
        QTRY_COMPARE(page.conversationLabel()->text(), QStringLiteral("Ann"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 0"));
        QCOMPARE(page.conversationModel()->rowCount(), 3);

        // The conversation deleted: its row goes, the rest shows.
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(1, 0));
        page.removeDeletedConversation(AbsTreeItemModel::nodeOf(page.conversationView()->currentIndex()),
                                       page.messagesOnShow());
        QCOMPARE(column(*page.conversationModel(), 0), QStringLiteral("+4930444|Ann").split(u'|'));
        QCOMPARE(column(*page.messageModel(), 3), QStringList {QStringLiteral("pear apple")});
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("All Messages"));

        page.removeAllMessages();
        QCOMPARE(page.conversationModel()->rowCount(), 0);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 0"));
        VERIFY_SCRIPT_DONE(prompt);
    }

    void virtualDevice_readsItsCacheStore_withoutAPhone()
    {
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        QVERIFY(writeChats(device->device.cacheDir().absolutePath()));
        const int connections = int(m_sim->sim->connections().size());
        ScriptedPrompt prompt;
        SMSMainForm page(device, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.questions().isEmpty());
        QCOMPARE(page.messageModel()->rowCount(), 6);
        QCOMPARE(int(m_sim->sim->connections().size()), connections);
        QVERIFY(device->device.messagesLoadTime.isNull());
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_sim;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

QTEST_MAIN(TestMessagesPage)
#include "test_messagespage.moc"
