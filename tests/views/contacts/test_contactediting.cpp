// Editing contacts: the editor dialog driven through its widgets (typing,
// adding and removing rows, the photo) and the changes it reports; and
// adding, editing and deleting on a backup folder's contacts page, checked
// in the database file itself: an untouched save writes nothing, an edit
// rewrites only what was changed (on a contact of 500 numbers, odd rows and
// huge values too), a failure in the middle of an edit or a deletion leaves
// every contact as it was, delete-all removes the file (and says so when it
// cannot). A virtual device's page has no phone to take a change and offers
// none. The editor's photo, held or picked, is read off the window's
// thread, and a hostile one is never decoded.
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/contactsmainform.h"

#include "pictures/pictureloader.h"
#include "scriptedprompt.h"
#include "shell/mytreeview.h"

#include "contacttest.h"
#include "decodewatch.h"
#include "pagetest.h"
#include "testpictures.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QtTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace contacttest;

namespace {

// Each change as "type:action:row id|source id|data1|...|data14"; the
// photo's bytes (data15) are left out, its hash (data4) is "hash of data15"
// when it is that.
QStringList changeLines(const QList<ContactChange>& changes)
{
    QStringList out;
    for (const ContactChange& c : changes) {
        QString line = u"%1:%2:%3|%4"_s.arg(c.entityType).arg(c.action).arg(c.row.id).arg(c.row.srcId);
        for (int n = 1; n < 15; ++n) {
            QString value = pim::valueText(c.row.values, u"data%1"_s.arg(n)).replace(u'\n', u"\\n"_s);
            if (c.entityType == pim::ENTITY_PHOTO && n == 4 && value == pim::photoHash(c.row.values))
                value = u"hash of data15"_s;
            line += u'|' + value;
        }
        out << line;
    }
    return out;
}

// The dump with one text value replaced by another.
QStringList withValue(QStringList dump, const char* was, const char* now)
{
    return dump.replaceInStrings(QString::fromLatin1(QByteArray(was).toHex().toUpper()),
                                 QString::fromLatin1(QByteArray(now).toHex().toUpper()));
}

void execute(const QString& path, const QString& sql)
{
    Sqlite3DB db;
    db.openThrow(path, Sqlite3DB::ReadWrite);
    db.executeThrow(sql);
}

// Makes the folder's entries impossible (on) or possible again to remove:
// immutable for root, read-only for others. False where the file system or
// the user cannot do that.
bool lockFolder(const QString& dir, bool on)
{
    if (::geteuid() != 0)
        return QFile::setPermissions(
            dir, QFile::ReadOwner | QFile::ExeOwner | (on ? QFile::Permissions() : QFile::WriteOwner));
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return done;
}

// The next editor the page opens gets these steps, then Save.
void answerEdit(ScriptedPrompt& prompt, const std::function<void(EditContactForm*)>& steps)
{
    prompt.answerDialog(QDialog::Accepted, u"EditContactForm"_s, [steps](QDialog* d) {
        EditContactForm* dialog = shown(d);
        steps(dialog);
        save(dialog);
    });
}

} // namespace

class TestContactEditing : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    // Changes come in order: the name, additions and updates by type, then
    // deletions (data/editor_changes.txt). An updated row keeps every stored
    // column the form does not show; a cleared row is deleted, a blank new
    // one ignored; a picked picture is stored as a JPEG fitted into 320 x 320
    // and changes the photo's hash. A screenshot shows every kind of row.
    void editor_reportsChangesInOrder_overTheStoredRows()
    {
        const pim::_Contact stored = contacts(u"editor"_s).first();
        const QString wide = testsupport::makeTempDir(u"photos"_s) + u"/wide.jpg"_s; // a PNG under another name
        QImage picture(100, 50, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(wide, "PNG"));
        ScriptedPrompt prompt;
        EditContactForm dialog(&stored, nullptr);
        shown(&dialog);
        QDir().mkpath(testsupport::binaryDir() + u"/screenshots"_s);
        QVERIFY(dialog.grab().save(testsupport::binaryDir() + u"/screenshots/contact_editor.png"_s));
        const auto combo = [&dialog](int type, int widget) {
            return qobject_cast<QComboBox*>(dialog.editor()->rowEditor(type)->rowWidgets(0).value(widget))->lineEdit();
        };

        prompt.answerOpenFile(wide);
        QTest::mouseClick(dialog.editor()->findChild<QLabel*>(u"lbPhoto"_s), Qt::LeftButton);
        QCOMPARE(QImage::fromData(dialog.editor()->photoBytes(), "JPEG").size(), QSize(320, 160));
        CHECKED(typeInto(field(&dialog, "txtMiddleName"), u" Mae "_s));
        CHECKED(typeInto(phoneEdit(&dialog, 1), QString())); // cleared: deleted
        // A new phone row left blank is ignored.
        QTest::mouseClick(dialog.editor()->rowEditor(pim::ENTITY_PHONE)->addButton(), Qt::LeftButton);
        CHECKED(addRow(&dialog, pim::ENTITY_PHONE, u"  +1 555 0100 "_s));
        CHECKED(typeInto(combo(pim::ENTITY_EMAIL, 0), u"Gym"_s));
        QTest::mouseClick(dialog.editor()->rowEditor(pim::ENTITY_EMAIL)->removeButton(1), Qt::LeftButton);
        CHECKED(typeInto(combo(pim::ENTITY_IM, 1), u"Signal"_s));
        for (const char* name : {"txtCompany", "txtJobTitle", "txtDepartment"}) // the organisation is emptied
            CHECKED(typeInto(field(&dialog, name), QString()));
        CHECKED(
            typeInto(qobject_cast<QLineEdit*>(dialog.editor()->rowEditor(pim::ENTITY_POSTAL)->rowWidgets(0).value(3)),
                     u"Shelbyville"_s));
        CHECKED(addRow(&dialog, pim::ENTITY_WEBSITE, u"https://example.net"_s));
        save(&dialog);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(changeLines(dialog.getChanges(rule().data(), stored)), dataLines(u"editor_changes.txt"_s));
    }

    // The photo held shows the empty contact picture first, then itself
    // once made on a worker; a hostile one keeps the empty picture. A
    // picked file is read under a progress dialog, off the window's thread:
    // a hostile one changes nothing and is never decoded.
    void photo_heldOrPicked_readOffTheWindowsThread_hostileOnesNeverDecoded()
    {
        const QByteArray jpeg = testpictures::encoded(testpictures::filled(200, 100, Qt::red), "JPG");
        pim::_Contact held = contacts(u"editor"_s).first();
        held.entities[pim::ENTITY_PHOTO].first().values.insert(u"data15"_s, jpeg);
        pim::_Contact hostile = held;
        hostile.entities[pim::ENTITY_PHOTO].first().values.insert(u"data15"_s, testpictures::scanBomb());
        const auto photoOf = [](EditContactForm& d) { return d.editor()->findChild<QLabel*>(u"lbPhoto"_s); };
        const auto pick = [&photoOf](ScriptedPrompt& prompt, EditContactForm& d, const QByteArray& bytes) {
            const QString path = testsupport::makeTempDir(u"picked"_s) + u"/p.jpg"_s;
            QFile file(path);
            if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush())
                prompt.answerOpenFile(path);
            QTest::mouseClick(photoOf(d), Qt::LeftButton);
        };
        testsupport::DecodeWatch decodes;
        ScriptedPrompt prompt;
        EditContactForm dialog(&held, nullptr);
        const QImage standIn = photoOf(dialog)->pixmap().toImage();
        QVERIFY(!testpictures::shows(standIn, Qt::red));
        QTRY_COMPARE_WITH_TIMEOUT(dialog.editor()->photoLoader()->pending(), 0, testsupport::kHangGuardMs);
        QVERIFY(testpictures::shows(photoOf(dialog)->pixmap().toImage(), Qt::red));
        for (const QByteArray& bomb : {testpictures::scanBomb(), testpictures::chunkBomb()})
            pick(prompt, dialog, bomb);
        QCOMPARE(dialog.editor()->photoBytes(), jpeg);

        EditContactForm other(&hostile, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(other.editor()->photoLoader()->pending(), 0, testsupport::kHangGuardMs);
        QCOMPARE(photoOf(other)->pixmap().toImage(), standIn);
        QCOMPARE(decodes.count(), 1);
        pick(prompt, other, testpictures::encoded(testpictures::filled(100, 50, Qt::red), "PNG"));
        QCOMPARE(QImage::fromData(other.editor()->photoBytes(), "JPEG").size(), QSize(320, 160));
        QTRY_COMPARE_WITH_TIMEOUT(other.editor()->photoLoader()->pending(), 0, testsupport::kHangGuardMs);
        QVERIFY(testpictures::shows(photoOf(other)->pixmap().toImage(), Qt::red));
        QCOMPARE(decodes.count(), 3); // the file picked, then its JPEG shown
        QCOMPARE(decodes.onWindowThread(), 0);
        VERIFY_SCRIPT_DONE(prompt);
    }

    // An edit on a backup's page changes only what the user changed: an
    // untouched save writes not a byte, a changed number rewrites that value
    // alone, a rename rewrites the contact's full name too, and a failure in
    // the middle leaves everything as it was. Ann is read back by the form in
    // other forms than stored and has rows it does not show; Big has 500
    // numbers, a row of a type we do not know, 100,000-character values and
    // text that is not UTF-8.
    void edits_changeOnlyWhatTheUserChanged_failureRollsBack()
    {
        _LocalDbItemNode* backup = addBackup(u"Home"_s);
        const QString path = backup->dir.absoluteFilePath(u"contacts.db"_s);
        const QString longText(100000, u'x');
        qint64 annId = 0;
        {
            LocalContactsDb db(path, rule());
            annId = store(db, contacts(u"awkward"_s).first());
            store(db, contacts(u"lees"_s).at(1)); // Bo Lee
            const qint64 big = store(db, contacts(u"big"_s).first());
            // Big's 500 numbers (the 8th of 100,000 letters) and a note as
            // long; an e-mail that is not UTF-8; a row of a type we do not know.
            execute(path,
                    u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<499) INSERT INTO "
                    "data(contact_id,type,data1,data2) SELECT %1,3,CASE i WHEN 7 THEN replace(hex(zeroblob("
                    "100000)),'00','x') ELSE '+1 555 '||substr('000'||i,-4) END,i % 21 FROM n"_s.arg(big));
            execute(path,
                    u"INSERT INTO data(contact_id,type,src_id,data1) VALUES(%1,9,NULL,replace(hex(zeroblob("
                    "100000)),'00','x')),(%1,4,'bad',CAST(X'416E6EC328FF' AS TEXT)),(%1,42,'odd','kept')"_s.arg(big));
        }
        const QByteArray bytes = testsupport::readFile(path);
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        page.resize(900, 500);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(column(*page.contactModel(), 0), u"Ann Lee|Big Lee|Bo Lee"_s.split(u'|'));

        // Saved untouched (opened by a double click): no change, not a byte.
        QList<ContactChange> changes {ContactChange()};
        const pim::_Contact ann = page.contactModel()->contacts().first();
        prompt.answerDialog(QDialog::Accepted, u"EditContactForm"_s, [&](QDialog* d) {
            EditContactForm* dialog = shown(d);
            save(dialog);
            changes = dialog->getChanges(rule().data(), ann);
        });
        const QPoint at = page.listView()->visualRect(page.contactModel()->index(0, 0)).center();
        QTest::mouseClick(page.listView()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(page.listView()->viewport(), Qt::LeftButton, {}, at);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(changes.isEmpty());
        QCOMPARE(testsupport::readFile(path), bytes);

        // One changed number rewrites that value alone, and the card shows it.
        QStringList before = dumpRows(path);
        answerEdit(prompt,
                   [](EditContactForm* dialog) { CHECKED(typeInto(phoneEdit(dialog, 2), u"+49 30 5559999"_s)); });
        CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(path), withValue(before, "+49 30 5550000", "+49 30 5559999"));

        // A rename rewrites the contact's full name too.
        answerEdit(prompt,
                   [](EditContactForm* dialog) { CHECKED(typeInto(field(dialog, "txtFirstName"), u"Anna"_s)); });
        CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(LocalContactsDb(path, rule()).loadContact(annId).fullName, u"Anna Lee"_s);
        QCOMPARE(page.contactModel()->index(0, 0).data().toString(), u"Anna Lee"_s);

        // Big opens with every row and value whole; one number changes alone.
        before = dumpRows(path);
        answerEdit(prompt, [&](EditContactForm* dialog) {
            QCOMPARE(dialog->editor()->rowEditor(pim::ENTITY_PHONE)->rowCount(), 500);
            QCOMPARE(phoneEdit(dialog, 7)->text(), longText);
            QCOMPARE(dialog->editor()->findChild<QPlainTextEdit*>(u"txtNotes"_s)->toPlainText(), longText);
            CHECKED(typeInto(phoneEdit(dialog, 250), u"+1 555 9999"_s));
        });
        page.onContactsTreeItemDoubleClicked(page.contactModel()->index(1, 0));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(path), withValue(before, "+1 555 0250", "+1 555 9999"));

        // The update goes first, the insert fails: nothing of it stays.
        execute(path,
                u"CREATE TRIGGER fail_insert BEFORE INSERT ON data WHEN new.data1='boom' BEGIN SELECT "
                "RAISE(ABORT, 'injected failure'); END"_s);
        before = dumpRows(path);
        answerEdit(prompt, [](EditContactForm* dialog) {
            CHECKED(typeInto(phoneEdit(dialog, 0), u"+49 30 0000000"_s));
            CHECKED(addRow(dialog, pim::ENTITY_PHONE, u"boom"_s));
        });
        prompt.answerMessage(QMessageBox::Ok, u"injected failure"_s);
        CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(path), before);
        const pim::_Contact* listed = ItemModelContacts::contactOf(page.contactModel()->index(0, 0));
        QCOMPARE(pim::valueText(listed->rows(pim::ENTITY_PHONE).first().values, u"data1"_s), u"+49 30 1234567"_s);
    }

    // A new contact needs a first or last name not stored yet (exactly,
    // ignoring case; "_" and "%" are letters, not patterns); it is stored,
    // listed and made current. Escape and keypad Enter do nothing, Cancel
    // asks first. A virtual device's page offers no changes.
    void newContact_isStoredAndCurrent_namesCheckedExactly()
    {
        _LocalDbItemNode* backup = addBackup(u"Home"_s);
        const QString path = backup->dir.absoluteFilePath(u"contacts.db"_s);
        storeAll(path, {contacts(u"lees"_s).first()}); // Ann Lee
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        answerEdit(prompt, [](EditContactForm* dialog) {
            save(dialog);
            CHECKED(typeInto(field(dialog, "txtFirstName"), u"aNN"_s));
            CHECKED(typeInto(field(dialog, "txtLastName"), u"lee"_s));
            save(dialog);
            QTest::keyClick(dialog, Qt::Key_Escape);
            QTest::keyClick(dialog, Qt::Key_Enter, Qt::KeypadModifier);
            QTest::mouseClick(dialog->findChild<QPushButton*>(u"btnCancel"_s), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            CHECKED(typeInto(field(dialog, "txtFirstName"), u"A_n"_s));
            CHECKED(typeInto(field(dialog, "txtLastName"), u"L%"_s));
            CHECKED(addRow(dialog, pim::ENTITY_PHONE, u"+1 555 0101"_s));
        });
        prompt.answerMessage(QMessageBox::Ok, u"First name or Last name can't be blank."_s);
        prompt.answerMessage(QMessageBox::Ok, u"Contact aNN lee has already existed."_s);
        prompt.answerMessage(QMessageBox::No, u"Discard the editing?"_s);
        CHECKED(triggerAction(page, u"Add Contact"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.contactModel(), 0), u"Ann Lee|A_n L%"_s.split(u'|'));
        QCOMPARE(page.listView()->currentIndex().row(), 1);
        const pim::_Contact added = LocalContactsDb(path, rule()).loadContact(page.card()->contact().id);
        QCOMPARE(added.fullName, u"A_n L%"_s);
        QCOMPARE(added.rows(pim::ENTITY_PHONE).size(), 1);

        // A virtual device's page has no phone to take a change: adding,
        // importing and deleting are off, a double click opens no editor.
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice(u"Old Rocket"_s, &folder);
        QVERIFY(QFile::copy(path, folder + u"/contacts.db"_s));
        ContactsMainForm phonePage(device, devicesRoot());
        QCOMPARE(enabledStates(phonePage.createToolbarActions()).mid(4), QList<bool>(3, false)); // add, import, delete
        phonePage.onContactsTreeItemDoubleClicked(phonePage.contactModel()->index(0, 0));
        phonePage.miToolbarDelete(); // the slot's own guard: its action is disabled here
        VERIFY_SCRIPT_DONE(prompt); // no editor, no question
    }

    // A selection goes in one transaction: a failure on its second contact
    // keeps every contact. Delete-all removes the file after one question;
    // when the file cannot go it stays whole and the error says so.
    void delete_isAllOrNothing_deleteAllKeepsAFileItCannotRemove()
    {
        _LocalDbItemNode* backup = addBackup(u"Home"_s);
        const QString path = backup->dir.absoluteFilePath(u"contacts.db"_s);
        storeAll(path, contacts(u"lees"_s)); // Ann, Bo and Cy Lee
        execute(path,
                u"CREATE TRIGGER fail_delete BEFORE DELETE ON contact WHEN old.full_name='Bo Lee' BEGIN SELECT "
                "RAISE(ABORT, 'injected failure'); END"_s);
        const QStringList before = dumpRows(path);
        ScriptedPrompt prompt;
        ContactsMainForm page(backup, devicesRoot());
        selectRows(page.listView(), {0, 1});
        prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete selected contacts?"_s);
        prompt.answerMessage(QMessageBox::Ok, u"injected failure"_s);
        CHECKED(triggerMenuAction(page, u"Delete selected Contacts"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(dumpRows(path), before);
        QCOMPARE(page.contactModel()->rowCount(), 3);

        execute(path, u"DROP TRIGGER fail_delete"_s);
        prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete selected contacts?"_s);
        prompt.answerMessage(QMessageBox::Ok, u"Successfully deleted contacts."_s);
        CHECKED(triggerMenuAction(page, u"Delete selected Contacts"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.contactModel(), 0), QStringList {u"Cy Lee"_s});
        QCOMPARE(dumpRows(path).size(), 3); // Cy's name and phone rows, and Cy

        const QByteArray bytes = testsupport::readFile(path);
        {
            const auto unlock = qScopeGuard([&] { lockFolder(backup->dir.absolutePath(), false); });
            if (lockFolder(backup->dir.absolutePath(), true)) {
                prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete all contacts?"_s);
                prompt.answerMessage(QMessageBox::Ok);
                CHECKED(triggerAction(page, u"Delete Contacts"_s));
                VERIFY_SCRIPT_DONE(prompt);
                QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
                QVERIFY(!prompt.questions().last().text.isEmpty());
                QCOMPARE(testsupport::readFile(path), bytes);
                QCOMPARE(page.contactModel()->rowCount(), 1);
            } else {
                qWarning("this file system cannot refuse a removal: that case is not checked");
            }
        }
        prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete all contacts?"_s);
        prompt.answerMessage(QMessageBox::Ok, u"Successfully deleted all contacts."_s);
        CHECKED(triggerAction(page, u"Delete Contacts"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), u"Total:0"_s);
        QCOMPARE(LocalContactsDb(path, rule()).countContacts(), 0);
    }
};

QTEST_MAIN(TestContactEditing)
#include "test_contactediting.moc"
