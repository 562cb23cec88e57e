// Adding, editing and deleting contacts on a backup folder's contacts page,
// checked in the database file itself: an untouched save writes nothing, an
// edit rewrites only what was changed, a failure in the middle of an edit or
// a deletion leaves every contact as it was, delete-all removes the file
// (and says so when it cannot). A virtual device's page has no phone to
// take a change and offers none.
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/contacteditor.h"
#include "views/contacts/contactsmainform.h"
#include "views/contacts/editcontactform.h"
#include "views/contacts/genericentitieseditor.h"

#include "records/localcontactsdb.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "contactrows.h"
#include "editorsteps.h"
#include "pagetest.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QSharedPointer<AbsContactCombineRule> rule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

using contacttest::row;
using namespace contacttest;

// Stores the contact with its rows as given; returns its id.
qint64 store(LocalContactsDb& db, pim::_Contact contact)
{
    db.insertContact(contact);
    for (auto it = contact.entities.begin(); it != contact.entities.end(); ++it)
        for (ContactDataRow& r : it.value())
            db.insertData(contact.id, it.key(), r);
    return contact.id;
}

pim::_Contact named(const QString& first, const QString& last)
{
    pim::_Contact c(0, QStringLiteral("p-") + first, (first + QLatin1Char(' ') + last).trimmed());
    c.entities[pim::ENTITY_NAME] << row({{1, c.fullName}, {2, first}, {3, last}});
    c.entities[pim::ENTITY_PHONE] << row({{1, "+49 30 100"}, {2, "2"}});
    return c;
}

// Everything the form reads back in another form than stored, and rows it
// does not show.
pim::_Contact awkward()
{
    pim::_Contact c(0, QStringLiteral("p-ann"), QStringLiteral("Ann Lee"));
    c.entities[pim::ENTITY_NAME] << row({{1, "Ann Lee"}, {2, "Ann"}, {3, "Lee"}, {7, "phonetic"}, {8, "x8"}});
    c.entities[pim::ENTITY_PHONE] << row({{1, "+49 30 1234567"}, {2, "7"}, {3, ""}}) // no label for 7
                                  << row({{1, " +49 30 7654321 "}, {2, "2"}}) << row({{1, "+49 30 5550000"}, {2, "1"}});
    c.entities[pim::ENTITY_EMAIL] << row({{1, "ann@example.org"}, {2, "0"}, {3, "Home"}});
    c.entities[pim::ENTITY_NICKNAME] << row({{1, "Annie"}, {2, "3"}, {3, "pet name"}}) << row({{1, "Second"}});
    c.entities[pim::ENTITY_EVENT] << row({{1, "1980-05-17"}, {2, "3"}}) // a date alone
                                  << row({{1, "--05-17"}, {2, "1"}}); // no year: unreadable
    c.entities[pim::ENTITY_GROUP] << row({{1, "1"}, {2, "Climbers"}});
    c.entities[pim::ENTITY_NOTE] << row({{1, "first note"}}) << row({{1, "second note"}});
    c.entities[pim::ENTITY_ORGANIZATION] << row(
        {{1, "Acme"}, {2, "1"}, {3, "Board"}, {4, "Chief"}, {5, "Rockets"}, {6, "d6"}, {7, "d7"}, {9, "d9"}});
    c.entities[pim::ENTITY_POSTAL] << row({{1, "stored otherwise"},
                                           {2, "1"},
                                           {4, "1 Main St"},
                                           {5, "PO Box 1"},
                                           {6, "Hamlet"},
                                           {7, "Springfield"},
                                           {10, "USA"}});
    return c;
}

// Every column of the matching data rows, bytes and storage class exactly.
QStringList dumpRows(const QString& path, const QString& where = QStringLiteral("1"))
{
    QStringList columns
        = {QStringLiteral("_id"), QStringLiteral("type"), QStringLiteral("contact_id"), QStringLiteral("hex(src_id)")};
    for (int n = 1; n <= 15; ++n)
        columns << QStringLiteral("typeof(data%1)||':'||hex(data%1)").arg(n);
    Sqlite3DB db;
    db.openThrow(path, Sqlite3DB::ReadOnly);
    QStringList out;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1 from data where %2 order by _id")
                                        .arg(columns.join(QStringLiteral("||'|'||")), where));
    while (c.moveNext())
        out << c.getText(0);
    Sqlite3Cursor h
        = db.queryThrow(QStringLiteral("select _id||'|'||quote(src_id)||'|'||quote(full_name) from contact"));
    while (h.moveNext())
        out << h.getText(0);
    return out;
}

void execute(const QString& path, const QString& sql)
{
    Sqlite3DB db;
    db.openThrow(path, Sqlite3DB::ReadWrite);
    db.executeThrow(sql);
}

// Makes the entries of a folder impossible to remove while it lives (an
// immutable folder for root, a read-only one for others); ok() is false
// where the file system or the user cannot do that.
class UndeletableFolder {
public:
    explicit UndeletableFolder(const QString& dir)
        : m_dir(dir)
    {
        m_ok = set(true);
    }
    ~UndeletableFolder() { set(false); }
    bool ok() const { return m_ok; }

private:
    bool set(bool on)
    {
        if (::geteuid() != 0)
            return QFile::setPermissions(m_dir,
                                         on ? QFile::ReadOwner | QFile::ExeOwner
                                            : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const int fd = ::open(QFile::encodeName(m_dir).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QString m_dir;
    bool m_ok = false;
};

} // namespace

class TestContactEditing : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    // Saving (or cancelling) without a change writes nothing, even for a
    // contact the form reads back in other forms; the file keeps its bytes.
    void untouchedSave_writesNothing()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Home"));
        const QString path = backup->dir.absoluteFilePath(QStringLiteral("contacts.db"));
        {
            LocalContactsDb db(path, rule());
            store(db, awkward());
            store(db, named(QStringLiteral("Bo"), QStringLiteral("Lee")));
        }
        const QByteArray before = testsupport::readFile(path);
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        page.resize(900, 500);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const pim::_Contact ann = page.contactModel()->contacts().first();
        QCOMPARE(ann.fullName, QStringLiteral("Ann Lee"));

        QList<ContactChange> changes {ContactChange()};
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("EditContactForm"), [&](QDialog* d) {
            EditContactForm* dialog = shown(d);
            save(dialog);
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            changes = dialog->getChanges(rule().data(), ann);
        });
        MyTreeView* view = page.listView();
        const QPoint at = view->visualRect(page.contactModel()->index(0, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(changes.isEmpty());

        prompt.answerDialog(QDialog::Rejected, QStringLiteral("EditContactForm"), [&](QDialog* d) {
            EditContactForm* dialog = shown(d);
            typeInto(field(dialog, "txtNickname"), QStringLiteral("never saved"));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnCancel")), Qt::LeftButton);
        });
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Discard the editing?"));
        page.miEdit();
        VERIFY_SCRIPT_DONE(prompt);
        page.close();
        QCOMPARE(testsupport::readFile(path), before);
    }

    // One changed number rewrites that column alone; a rename rewrites the
    // contact's full name; a failure in the middle of an edit leaves the
    // contact as it was.
    void edits_rewriteOnlyWhatChanged_failureRollsBack()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Home"));
        const QString path = backup->dir.absoluteFilePath(QStringLiteral("contacts.db"));
        qint64 annId = 0;
        {
            LocalContactsDb db(path, rule());
            annId = store(db, awkward());
            store(db, named(QStringLiteral("Bo"), QStringLiteral("Lee")));
        }
        const QStringList before = dumpRows(path);
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        selectRows(page.listView(), {0});
        page.listView()->setCurrentIndex(page.contactModel()->index(0, 0));
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QAction* edit = action(menu->actions(), QStringLiteral("Edit Contact"));
        QVERIFY(edit && edit->isEnabled());

        prompt.answerDialog(QDialog::Accepted, QStringLiteral("EditContactForm"), [](QDialog* d) {
            EditContactForm* dialog = shown(d);
            QCOMPARE(phoneEdit(dialog, 2)->text(), QStringLiteral("+49 30 5550000"));
            typeInto(phoneEdit(dialog, 2), QStringLiteral("+49 30 5559999"));
            save(dialog);
        });
        edit->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        const QStringList after = dumpRows(path);
        QCOMPARE(after.size(), before.size());
        int changed = 0;
        for (int i = 0; i < before.size(); ++i) {
            if (before.at(i) == after.at(i))
                continue;
            ++changed;
            const QStringList was = before.at(i).split(u'|');
            const QStringList now = after.at(i).split(u'|');
            for (int c = 0; c < was.size(); ++c) {
                if (c == 4) // data1: the number
                    QCOMPARE(now.at(c),
                             QStringLiteral("text:")
                                 + QString::fromLatin1(QByteArray("+49 30 5559999").toHex().toUpper()));
                else
                    QCOMPARE(now.at(c), was.at(c));
            }
        }
        QCOMPARE(changed, 1);
        // The row and the card show the stored state.
        const auto thirdNumber = [](const pim::_Contact* c) {
            return c->rows(pim::ENTITY_PHONE).at(2).values.value(QStringLiteral("data1")).toString();
        };
        QCOMPARE(thirdNumber(ItemModelContacts::contactOf(page.contactModel()->index(0, 0))),
                 QStringLiteral("+49 30 5559999"));
        QCOMPARE(thirdNumber(&page.card()->contact()), QStringLiteral("+49 30 5559999"));

        // A rename rewrites the full name.
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("EditContactForm"), [](QDialog* d) {
            EditContactForm* dialog = shown(d);
            typeInto(field(dialog, "txtFirstName"), QStringLiteral("Anna"));
            save(dialog);
        });
        page.miEdit();
        VERIFY_SCRIPT_DONE(prompt);
        LocalContactsDb check(path, rule());
        QCOMPARE(check.loadContact(annId).fullName, QStringLiteral("Anna Lee"));
        QCOMPARE(page.contactModel()->index(0, 0).data().toString(), QStringLiteral("Anna Lee"));
        QCOMPARE(check.loadContact(annId).rows(pim::ENTITY_NAME).first().values.value("data7").toString(),
                 QStringLiteral("phonetic"));
        check.close();

        // The update goes first, the insert fails: nothing of it stays.
        execute(path,
                QStringLiteral("CREATE TRIGGER fail_insert BEFORE INSERT ON data WHEN new.data1='boom' "
                               "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"));
        const QStringList beforeFailure = dumpRows(path);
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("EditContactForm"), [](QDialog* d) {
            EditContactForm* dialog = shown(d);
            typeInto(phoneEdit(dialog, 0), QStringLiteral("+49 30 0000000"));
            QTest::mouseClick(dialog->editor()->rowEditor(pim::ENTITY_PHONE)->addButton(), Qt::LeftButton);
            typeInto(phoneEdit(dialog, 3), QStringLiteral("boom"));
            save(dialog);
        });
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("injected failure"));
        page.miEdit();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(path), beforeFailure);
        QCOMPARE(page.card()->contact().rows(pim::ENTITY_PHONE).first().values.value("data1").toString(),
                 QStringLiteral("+49 30 1234567"));
    }

    // A new contact is stored, listed and made current; a name stored
    // already (in any case) is refused. A virtual device's page offers no
    // changes.
    void newContact_isStoredAndCurrent_storedNameRefused()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Home"));
        const QString path = backup->dir.absoluteFilePath(QStringLiteral("contacts.db"));
        {
            LocalContactsDb db(path, rule());
            store(db, named(QStringLiteral("Ann"), QStringLiteral("Lee")));
        }
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        QAction* add = action(page.createToolbarActions(), QStringLiteral("Add Contact"));
        QVERIFY(add && add->isEnabled());
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("EditContactForm"), [](QDialog* d) {
            EditContactForm* dialog = shown(d);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Add New Contact"));
            typeInto(field(dialog, "txtFirstName"), QStringLiteral("aNN"));
            typeInto(field(dialog, "txtLastName"), QStringLiteral("lee"));
            save(dialog);
            QCOMPARE(dialog->result(), 0); // refused, still open
            typeInto(field(dialog, "txtFirstName"), QStringLiteral("Cy"));
            QTest::mouseClick(dialog->editor()->rowEditor(pim::ENTITY_PHONE)->addButton(), Qt::LeftButton);
            typeInto(phoneEdit(dialog, 0), QStringLiteral("+1 555 0101"));
            save(dialog);
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
        });
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Contact aNN lee has already existed."));
        add->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.contactModel(), 0), QStringLiteral("Ann Lee|Cy lee").split(u'|'));
        QCOMPARE(page.listView()->currentIndex().row(), 1);
        QCOMPARE(page.selectedContacts().size(), 1);
        QCOMPARE(page.card()->contact().fullName, QStringLiteral("Cy lee"));
        LocalContactsDb check(path, rule());
        const pim::_Contact cy = check.loadContact(check.findContactByFullName(QStringLiteral("CY LEE")));
        QCOMPARE(cy.rows(pim::ENTITY_PHONE).size(), 1);
        QCOMPARE(cy.rows(pim::ENTITY_NAME).first().values.value("data1").toString(), QStringLiteral("Cy lee"));
        QCOMPARE(cy.id, page.card()->contact().id);
        check.close();

        // A virtual device's page has no phone to take a change: adding,
        // editing, importing and deleting are off, and a double click opens
        // no editor.
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        const QString virtualDb = folder + QStringLiteral("/contacts.db");
        QVERIFY(QFile::copy(path, virtualDb));
        const QStringList stored = dumpRows(virtualDb);
        ContactsMainForm phonePage(device, devicesRoot());
        const QList<QAction*> actions = phonePage.createToolbarActions();
        for (const char* text : {"Add Contact", "Import Contacts from file", "Delete Contacts"})
            QVERIFY2(!action(actions, QString::fromLatin1(text))->isEnabled(), text);
        phonePage.onContactsTreeItemDoubleClicked(phonePage.contactModel()->index(0, 0));
        phonePage.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(virtualDb), stored);
        QCOMPARE(phonePage.contactModel()->rowCount(), 2);
    }

    // The selection goes in one transaction: a failure on its second
    // contact keeps every contact; without it both go.
    void deleteSelection_isAllOrNothing()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Home"));
        const QString path = backup->dir.absoluteFilePath(QStringLiteral("contacts.db"));
        {
            LocalContactsDb db(path, rule());
            for (const char* first : {"Ann", "Bo", "Cy"})
                store(db, named(QString::fromLatin1(first), QStringLiteral("Lee")));
        }
        execute(path,
                QStringLiteral("CREATE TRIGGER fail_delete BEFORE DELETE ON contact WHEN old.full_name='Bo Lee' "
                               "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"));
        const QStringList before = dumpRows(path);
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        selectRows(page.listView(), {0, 1});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected contacts?"));
        page.miToolbarDelete();
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected contacts?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("injected failure"));
        page.miDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(path), before);
        QCOMPARE(page.contactModel()->rowCount(), 3);

        execute(path, QStringLiteral("DROP TRIGGER fail_delete"));
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected contacts?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted contacts."));
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        action(menu->actions(), QStringLiteral("Delete selected Contacts"))->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.contactModel(), 0), QStringList {QStringLiteral("Cy Lee")});
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:1"));
        QCOMPARE(dumpRows(path).size(), 3); // Cy's name and phone rows, and Cy
    }

    // Delete-all without a selection removes the file after one question;
    // when the file cannot go it stays whole and the error says so.
    void deleteAll_removesTheFile_orKeepsItWhole()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Home"));
        const QString path = backup->dir.absoluteFilePath(QStringLiteral("contacts.db"));
        {
            LocalContactsDb db(path, rule());
            store(db, named(QStringLiteral("Ann"), QStringLiteral("Lee")));
            store(db, named(QStringLiteral("Bo"), QStringLiteral("Lee")));
        }
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        const QByteArray before = testsupport::readFile(path);
        QAction* deleteAll = action(page.createToolbarActions(), QStringLiteral("Delete Contacts"));
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete all contacts?"));
        deleteAll->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(QFile::exists(path));
        {
            UndeletableFolder locked(backup->dir.absolutePath());
            if (locked.ok()) {
                prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all contacts?"));
                prompt.answerMessage(QMessageBox::Ok);
                deleteAll->trigger();
                VERIFY_SCRIPT_DONE(prompt);
                QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
                QVERIFY(!prompt.questions().last().text.isEmpty());
                QCOMPARE(testsupport::readFile(path), before);
                QCOMPARE(page.contactModel()->rowCount(), 2);
            } else {
                qWarning("this file system cannot refuse a removal: that case is not checked");
            }
        }
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all contacts?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all contacts."));
        deleteAll->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));
        QCOMPARE(page.contactModel()->rowCount(), 0);
        QCOMPARE(LocalContactsDb(path, rule()).countContacts(), 0);
    }

    // 500 numbers, rows of a type we do not know, 100,000-character values
    // and text that is not UTF-8: the editor opens, one number is edited,
    // and every other row stays as it was.
    void hugeAndOddContact_editsWithoutLoss()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Home"));
        const QString path = backup->dir.absoluteFilePath(QStringLiteral("contacts.db"));
        const QString longText(100000, u'x');
        qint64 id = 0;
        {
            LocalContactsDb db(path, rule());
            pim::_Contact c = named(QStringLiteral("Big"), QStringLiteral("Lee"));
            c.entities[pim::ENTITY_PHONE].clear();
            for (int i = 0; i < 500; ++i)
                c.entities[pim::ENTITY_PHONE]
                    << row({{1, QStringLiteral("+1 555 %1").arg(i, 4, 10, QChar(u'0'))}, {2, i % 21}});
            c.entities[pim::ENTITY_PHONE][7].values.insert(QStringLiteral("data1"), longText);
            c.entities[pim::ENTITY_NOTE] << row({{1, longText}});
            c.entities[pim::ENTITY_EMAIL] << row({{1, "placeholder"}});
            id = store(db, c);
        }
        execute(path, QStringLiteral("UPDATE data SET data1=CAST(X'416E6EC328FF' AS TEXT) WHERE type=4"));
        execute(path,
                QStringLiteral("INSERT INTO data(contact_id,type,src_id,data1) VALUES(%1,42,'odd','kept')").arg(id));
        const QStringList before = dumpRows(path);

        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        QElapsedTimer timer;
        timer.start();
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("EditContactForm"), [&](QDialog* d) {
            EditContactForm* dialog = shown(d);
            QCOMPARE(dialog->editor()->rowEditor(pim::ENTITY_PHONE)->rowCount(), 500);
            QCOMPARE(phoneEdit(dialog, 7)->text().size(), longText.size());
            QCOMPARE(dialog->editor()->findChild<QPlainTextEdit*>(QStringLiteral("txtNotes"))->toPlainText(), longText);
            typeInto(phoneEdit(dialog, 250), QStringLiteral("+1 555 9999"));
            save(dialog);
        });
        page.onContactsTreeItemDoubleClicked(page.contactModel()->index(0, 0));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY2(timer.elapsed() < 15000, qPrintable(QString::number(timer.elapsed())));
        const QStringList after = dumpRows(path);
        QCOMPARE(after.size(), before.size());
        QStringList differing;
        for (int i = 0; i < before.size(); ++i)
            if (before.at(i) != after.at(i))
                differing << after.at(i).left(60);
        QCOMPARE(differing.size(), 1);
        QVERIFY(differing.first().contains(QString::fromLatin1(QByteArray("+1 555 9999").toHex().toUpper().left(20))));
    }
};

QTEST_MAIN(TestContactEditing)
#include "test_contactediting.moc"
