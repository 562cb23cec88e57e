// The contact editor dialog driven through its widgets: typing into the
// fields, adding and removing rows with their buttons, picking and dropping
// the photo; the changes it reports for that, in their order; what it
// refuses on save; and a screenshot of the dialog with every kind of row.
#include "views/contacts/addrentitieseditor.h"
#include "views/contacts/contacteditor.h"
#include "views/contacts/dateentitieseditor.h"
#include "views/contacts/editcontactform.h"
#include "views/contacts/genericentitieseditor.h"
#include "views/contacts/imentitieseditor.h"

#include "records/localcontactsdb.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include "contactrows.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

namespace {

using contacttest::encoded;

ContactDataRow row(qint64 id, std::initializer_list<std::pair<int, QVariant>> values)
{
    return contacttest::row(values, id);
}

QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 200));
    QPainter(&image).fillRect(QRect(0, 0, width / 2, height / 2), QColor(220, 160, 30));
    return image;
}

// A contact as stored: every row kind the form shows, once or twice.
pim::_Contact storedContact()
{
    pim::_Contact c(7, QStringLiteral("c7"), QStringLiteral("Dr. Ann Lee"));
    c.entities[pim::ENTITY_NAME] << row(1, {{1, "Dr. Ann Lee"}, {2, "Ann"}, {3, "Lee"}, {5, "Dr."}, {7, "x7"}});
    c.entities[pim::ENTITY_PHOTO] << row(2, {{15, encoded(picture(40, 40), "PNG")}});
    c.entities[pim::ENTITY_PHOTO].first().values.insert(QStringLiteral("data4"),
                                                        pim::photoHash(c.entities[pim::ENTITY_PHOTO].first().values));
    c.entities[pim::ENTITY_PHONE] << row(3, {{1, "+49 30 1234567"}, {2, "2"}, {3, ""}})
                                  << row(4, {{1, "+49 30 7654321"}, {2, "1"}, {3, ""}});
    c.entities[pim::ENTITY_EMAIL] << row(5, {{1, "ann@example.org"}, {2, "2"}, {3, ""}})
                                  << row(6, {{1, "lee@example.org"}, {2, "0"}, {3, "Club"}});
    c.entities[pim::ENTITY_NICKNAME] << row(8, {{1, "Annie"}, {2, "1"}});
    c.entities[pim::ENTITY_EVENT] << row(9, {{1, "1980-05-17"}, {2, "3"}, {3, ""}});
    c.entities[pim::ENTITY_IM] << row(10, {{1, "ann.lee"}, {2, "1"}, {3, ""}, {5, "4"}, {6, ""}});
    c.entities[pim::ENTITY_NOTE] << row(11, {{1, "Met at the fair"}});
    c.entities[pim::ENTITY_ORGANIZATION] << row(12, {{1, "Acme"}, {2, "1"}, {3, ""}, {4, "Chief"}, {5, "Rockets"}});
    c.entities[pim::ENTITY_RELATION] << row(13, {{1, "Bo Lee"}, {2, "14"}, {3, ""}});
    c.entities[pim::ENTITY_POSTAL] << row(14,
                                          {{1, "1 Main St\nSpringfield, IL 62701\nUSA"},
                                           {2, "1"},
                                           {3, ""},
                                           {4, "1 Main St"},
                                           {7, "Springfield"},
                                           {8, "IL"},
                                           {9, "62701"},
                                           {10, "USA"}});
    c.entities[pim::ENTITY_WEBSITE] << row(15, {{1, "https://example.org/ann"}, {2, "1"}, {3, ""}});
    return c;
}

template <typename T> T* child(QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning() << "no widget" << name;
    return w;
}

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
}

void click(QAbstractButton* button)
{
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// The value line edit of a generic row editor's row (its first field).
QLineEdit* valueEdit(AbsEntitiesEditor* editor, int row)
{
    return qobject_cast<QLineEdit*>(editor->rowWidgets(row).value(1));
}

QStringList summary(const QList<ContactChange>& changes)
{
    QStringList out;
    for (const ContactChange& c : changes)
        out << QStringLiteral("%1:%2:%3").arg(c.entityType).arg(c.action).arg(c.row.id);
    return out;
}

struct Shown {
    explicit Shown(const pim::_Contact* contact, LocalContactsDb* db = nullptr)
        : dialog(contact, db)
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }
    ContactEditor* editor() { return dialog.editor(); }
    EditContactForm dialog;
    LocalDbCombineRule rule;
};

} // namespace

class TestContactEditor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }

    // The rows show as stored; editing through the widgets gives the
    // changes in order: the name, additions and updates by type, deletions.
    void edits_giveChangesInOrder_clearedDeleted_blankIgnored()
    {
        const pim::_Contact stored = storedContact();
        Shown shown(&stored);
        ContactEditor* editor = shown.editor();
        QCOMPARE(shown.dialog.windowTitle(), QStringLiteral("Edit Contact Dr. Ann Lee"));
        QCOMPARE(child<QLabel>(&shown.dialog, "lbTitle")->text(), QStringLiteral("Edit Contact Dr. Ann Lee"));
        AbsEntitiesEditor* phones = editor->rowEditor(pim::ENTITY_PHONE);
        QCOMPARE(phones->rowCount(), 2);
        QCOMPARE(qobject_cast<QComboBox*>(phones->rowWidgets(0).first())->currentText(), QStringLiteral("Mobile"));
        AbsEntitiesEditor* emails = editor->rowEditor(pim::ENTITY_EMAIL);
        QCOMPARE(qobject_cast<QComboBox*>(emails->rowWidgets(1).first())->currentText(), QStringLiteral("Club"));
        QCOMPARE(qobject_cast<QDateTimeEdit*>(editor->rowEditor(pim::ENTITY_EVENT)->rowWidgets(0).value(1))->date(),
                 QDate(1980, 5, 17));

        typeInto(child<QLineEdit>(editor, "txtMiddleName"), QStringLiteral(" Mae "));
        typeInto(valueEdit(phones, 1), QString()); // cleared: deleted
        click(phones->addButton()); // left blank: ignored
        click(phones->addButton());
        typeInto(valueEdit(phones, 3), QStringLiteral("  +1 555 0100 "));
        typeInto(qobject_cast<QComboBox*>(emails->rowWidgets(0).first())->lineEdit(), QStringLiteral("Gym"));
        click(emails->removeButton(1));
        QCOMPARE(emails->rowCount(), 1);
        AbsEntitiesEditor* ims = editor->rowEditor(pim::ENTITY_IM);
        typeInto(qobject_cast<QComboBox*>(ims->rowWidgets(0).value(1))->lineEdit(), QStringLiteral("Signal"));
        typeInto(child<QLineEdit>(editor, "txtCompany"), QString());
        typeInto(child<QLineEdit>(editor, "txtJobTitle"), QString());
        typeInto(child<QLineEdit>(editor, "txtDepartment"), QString()); // the organisation is emptied
        AbsEntitiesEditor* addresses = editor->rowEditor(pim::ENTITY_POSTAL);
        typeInto(qobject_cast<QLineEdit*>(addresses->rowWidgets(0).value(3)), QStringLiteral("Shelbyville"));
        click(editor->rowEditor(pim::ENTITY_WEBSITE)->addButton());
        typeInto(valueEdit(editor->rowEditor(pim::ENTITY_WEBSITE), 1), QStringLiteral("https://example.net"));

        click(child<QPushButton>(&shown.dialog, "btnSave"));
        QCOMPARE(shown.dialog.result(), int(QDialog::Accepted));
        const QList<ContactChange> changes = shown.dialog.getChanges(&shown.rule, stored);
        QCOMPARE(summary(changes),
                 QStringLiteral("1:2:1|3:1:0|4:2:5|8:2:10|12:2:14|13:1:0|3:3:4|4:3:6|10:3:12").split(u'|'));
        const auto value
            = [](const ContactChange& c, int n) { return c.row.values.value(QStringLiteral("data%1").arg(n)); };
        // The name keeps its stored columns the form does not show.
        QCOMPARE(value(changes.at(0), 1).toString(), QStringLiteral("Dr. Ann Mae Lee"));
        QCOMPARE(value(changes.at(0), 4).toString(), QStringLiteral("Mae"));
        QCOMPARE(value(changes.at(0), 7).toString(), QStringLiteral("x7"));
        QCOMPARE(changes.at(0).row.srcId, QStringLiteral("src1"));
        QCOMPARE(value(changes.at(1), 1).toString(), QStringLiteral("+1 555 0100"));
        QCOMPARE(value(changes.at(1), 2).toInt(), 2); // a new phone is Mobile
        QCOMPARE(value(changes.at(2), 2).toInt(), 0);
        QCOMPARE(value(changes.at(2), 3).toString(), QStringLiteral("Gym"));
        QCOMPARE(value(changes.at(2), 1).toString(), QStringLiteral("ann@example.org"));
        QCOMPARE(value(changes.at(3), 5).toInt(), 0);
        QCOMPARE(value(changes.at(3), 6).toString(), QStringLiteral("Signal"));
        QCOMPARE(value(changes.at(4), 1).toString(), QStringLiteral("1 Main St\nShelbyville, IL 62701\nUSA"));
        // A deletion carries the stored row.
        QCOMPARE(value(changes.at(6), 1).toString(), QStringLiteral("+49 30 7654321"));
    }

    // Picking a picture stores it as a JPEG fitted into 320 x 320 and
    // changes the photo's hash; the link drops the photo; a right press and
    // a file that is no picture change nothing.
    void photo_pickedFitted_hashChanges_resetDeletes()
    {
        const pim::_Contact stored = storedContact();
        const QString dir = testsupport::makeTempDir(QStringLiteral("photos"));
        const QString wide = dir + QStringLiteral("/wide.jpg"); // a PNG under another name
        QVERIFY(picture(100, 50).save(wide, "PNG"));
        const QString text = dir + QStringLiteral("/not.png");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no picture");
        f.close();

        ScriptedPrompt prompt;
        Shown shown(&stored);
        ContactEditor* editor = shown.editor();
        QLabel* photo = child<QLabel>(editor, "lbPhoto");
        QTest::mouseClick(photo, Qt::RightButton);
        QVERIFY(prompt.questions().isEmpty());
        prompt.answerOpenFile(text);
        QTest::mouseClick(photo, Qt::LeftButton);
        QCOMPARE(editor->photoBytes(), stored.rows(pim::ENTITY_PHOTO).first().values.value("data15").toByteArray());
        prompt.answerOpenFile(wide);
        QTest::mouseClick(photo, Qt::LeftButton);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().first().filter, QStringLiteral("Images (*.png *.jpg)"));
        QImage picked;
        QVERIFY(picked.loadFromData(editor->photoBytes(), "JPEG"));
        QCOMPARE(picked.size(), QSize(320, 160));

        QList<ContactChange> changes = shown.dialog.getChanges(&shown.rule, stored);
        QCOMPARE(summary(changes), QStringList {QStringLiteral("2:2:2")});
        QCOMPARE(changes.first().row.values.value("data4").toString(), pim::md5Base64(editor->photoBytes()));
        QVERIFY(changes.first().row.values.value("data4")
                != stored.rows(pim::ENTITY_PHOTO).first().values.value("data4"));

        emit child<QLabel>(editor, "lbDeletePhoto")->linkActivated(QStringLiteral("#"));
        QVERIFY(!editor->hasPhoto());
        changes = shown.dialog.getChanges(&shown.rule, stored);
        QCOMPARE(summary(changes), QStringList {QStringLiteral("2:3:2")});
    }

    // Save needs a first or last name; a new contact's name must not be
    // stored yet (exactly, ignoring case, % and _ taken as they are).
    // Cancel asks first; Escape and keypad Enter do nothing.
    void save_refusesBlankAndStoredNames_cancelAsks()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("names"));
        LocalContactsDb db(dir + QStringLiteral("/contacts.db"),
                           QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
        for (const char* name : {"Ann Lee", "Bo%"}) {
            pim::_Contact c(0, QString(), QString::fromUtf8(name));
            db.insertContact(c);
        }
        ScriptedPrompt prompt;
        const pim::_Contact empty;
        Shown shown(&empty, &db);
        EditContactForm& dialog = shown.dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Add New Contact"));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        QPushButton* save = child<QPushButton>(&dialog, "btnSave");
        QLineEdit* first = child<QLineEdit>(dialog.editor(), "txtFirstName");
        QLineEdit* last = child<QLineEdit>(dialog.editor(), "txtLastName");

        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("First name or Last name can't be blank."));
        typeInto(first, QStringLiteral("   "));
        click(save);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Contact ANN LEE has already existed."));
        typeInto(first, QStringLiteral("ANN"));
        typeInto(last, QStringLiteral("LEE"));
        click(save);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Contact Bo% has already existed."));
        typeInto(first, QStringLiteral("Bo%"));
        typeInto(last, QString());
        click(save);
        QCOMPARE(accepted.size(), 0);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Enter, Qt::KeypadModifier);
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Discard the editing?"));
        click(child<QPushButton>(&dialog, "btnCancel"));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);

        // Wildcards are letters: "A_n Lee" and "Bo" are new names.
        typeInto(first, QStringLiteral("A_n"));
        typeInto(last, QStringLiteral("Lee"));
        click(editorAdd(dialog, pim::ENTITY_PHONE));
        click(editorAdd(dialog, pim::ENTITY_PHONE));
        typeInto(valueEdit(dialog.editor()->rowEditor(pim::ENTITY_PHONE), 1), QStringLiteral("555"));
        click(editorAdd(dialog, pim::ENTITY_EVENT));
        click(save);
        QCOMPARE(accepted.size(), 1);
        const QList<ContactChange> changes = dialog.getChanges(&shown.rule, empty);
        QCOMPARE(summary(changes), QStringLiteral("1:1:0|3:1:0|6:1:0").split(u'|'));
        QCOMPARE(changes.first().row.values.value("data1").toString(), QStringLiteral("A_n Lee"));
        // An added event starts today, as date and time.
        QCOMPARE(changes.at(2).row.values.value("data1").toString(),
                 QDate::currentDate().startOfDay().toString(Qt::ISODate));
    }

    // The row editors: a code without a label shows "Other", a label of the
    // table is its code, rows removed leave room below, addresses are
    // formatted from their parts.
    void rowEditors_showAndCollectRows()
    {
        GenericEntitiesEditor emails(QStringLiteral("E-Mail:"), QStringLiteral("E-Mail Address"),
                                     pim::emailTypeLabels(), 1);
        emails.setEntities(1, QStringLiteral("a"), 3, QString(), QStringLiteral("one@x"));
        emails.setEntities(2, QStringLiteral("b"), 0, QStringLiteral("Home"), QStringLiteral("two@x"));
        emails.setEntities(3, QStringLiteral("c"), 2, QString(), QStringLiteral(" three@x "));
        emails.show();
        QVERIFY(QTest::qWaitForWindowExposed(&emails));
        QCOMPARE(qobject_cast<QComboBox*>(emails.rowWidgets(0).first())->currentText(), QStringLiteral("Other"));
        click(emails.removeButton(1));
        click(emails.addButton());
        auto* grid = static_cast<QGridLayout*>(emails.layout());
        int line = 0, column = 0, span = 0;
        grid->getItemPosition(grid->indexOf(emails.rowWidgets(2).first()), &line, &column, &span, &span);
        QCOMPARE(line, 4); // below the third row
        QList<ContactDataRow> rows = emails.getEntities("data2", "data3", "data1");
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).values.value("data2").toInt(), 0);
        QCOMPARE(rows.at(1).values.value("data1").toString(), QStringLiteral("three@x"));
        QCOMPARE(rows.at(1).srcId, QStringLiteral("c"));
        QCOMPARE(rows.at(2).id, 0);
        QCOMPARE(rows.at(2).values.value("data2").toInt(), 1);
        QTRY_COMPARE(emails.findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size(), 3);

        GenericEntitiesEditor labels(QString(), QString(), pim::emailTypeLabels(), 1);
        labels.setEntities(4, QString(), 0, QStringLiteral("Home"), QStringLiteral("x@y"));
        QCOMPARE(labels.getEntities("data2", "data3", "data1").first().values.value("data2").toInt(), 1);

        AddrEntitiesEditor addresses(QStringLiteral("Address:"), 1);
        addresses.setEntities(row(5, {{2, "2"}, {4, "1 Main St"}, {7, "Springfield"}, {9, "62701"}, {10, "USA"}}));
        click(addresses.addButton());
        rows = addresses.getEntities();
        QCOMPARE(rows.first().values.value("data1").toString(), QStringLiteral("1 Main St\nSpringfield, 62701\nUSA"));
        QCOMPARE(rows.first().values.value("data2").toInt(), 2);
        QVERIFY(pim::isDataEmpty(rows.at(1).values, {QStringLiteral("data1")}));
        QCOMPARE(addresses.rowWidgets(1).size(), 7);
        click(addresses.removeButton(0));
        QCOMPARE(addresses.rowCount(), 1);
    }

    // Every kind of row on screen (build/screenshots/contact_editor*.png).
    void screenshot_everyRowKind()
    {
        pim::_Contact c = storedContact();
        c.entities[pim::ENTITY_PHOTO].first().values.insert(QStringLiteral("data15"),
                                                            encoded(picture(200, 200), "JPEG"));
        Shown shown(&c);
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QCoreApplication::processEvents();
        QVERIFY(shown.dialog.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/contact_editor.png")));
        QWidget* content = child<QWidget>(shown.editor(), "scrollAreaWidgetContents");
        QVERIFY(
            content->grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/contact_editor_form.png")));
        // The form fills the visible width.
        QCOMPARE(child<QWidget>(shown.editor(), "wdHeader")->minimumWidth(), shown.editor()->width() - 40);
    }

private:
    static QToolButton* editorAdd(EditContactForm& dialog, int type)
    {
        return dialog.editor()->rowEditor(type)->addButton();
    }
};

QTEST_MAIN(TestContactEditor)
#include "test_contacteditor.moc"
