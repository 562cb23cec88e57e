// Contacts from the data folder, their storage, and what a user does in the
// contact editor, for the contacts view tests.
#pragma once

#include "views/contacts/contacteditor.h"
#include "views/contacts/editcontactform.h"
#include "views/contacts/genericentitieseditor.h"

#include "records/localcontactsdb.h"

#include "simphone.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace contacttest {

inline QString dataFile(const QString& name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/views/contacts/data/") + name;
}

// The contacts of one scene of data/contacts.json: "id", "src", "name" and
// "rows" of "kind", "id" and "data<n>" columns. Numbers stay integers (the
// storage class counts), "data15" is Base64, a row id gives the source id
// "src<id>" too.
inline QList<pim::_Contact> contacts(const QString& scene)
{
    QList<pim::_Contact> out;
    const QJsonObject file = testsupport::fixtureFile(QStringLiteral("tests/views/contacts/data/contacts.json"));
    for (const QJsonValue& c : file.value(scene).toArray()) {
        pim::_Contact contact(c[u"id"].toInteger(), c[u"src"].toString(), c[u"name"].toString());
        for (const QJsonValue& r : c[u"rows"].toArray()) {
            const QJsonObject columns = r.toObject();
            const qint64 id = columns[u"id"].toInteger();
            ContactDataRow row(id, id ? QStringLiteral("src%1").arg(id) : QString());
            for (auto it = columns.begin(); it != columns.end(); ++it) {
                if (it.key() == u"data15")
                    row.values.insert(it.key(), QByteArray::fromBase64(it->toString().toLatin1()));
                else if (it.key().startsWith(u"data"))
                    row.values.insert(it.key(), it->isDouble() ? QVariant(it->toInteger()) : QVariant(it->toString()));
            }
            contact.entities[columns[u"kind"].toInt()] << row;
        }
        out << contact;
    }
    return out;
}

inline QSharedPointer<AbsContactCombineRule> rule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

// Stores the contact with its rows as given; returns its id.
inline qint64 store(LocalContactsDb& db, pim::_Contact contact)
{
    db.insertContact(contact);
    for (auto it = contact.entities.begin(); it != contact.entities.end(); ++it)
        for (ContactDataRow& r : it.value())
            db.insertData(contact.id, it.key(), r);
    return contact.id;
}

// Stores the contacts in one transaction.
inline void storeAll(const QString& path, const QList<pim::_Contact>& contacts)
{
    LocalContactsDb db(path, rule());
    db.beginTran();
    for (const pim::_Contact& c : contacts)
        store(db, c);
    db.endTran(true);
}

// Every column of every data row and contact of a contacts file, bytes and
// storage class exactly.
inline QStringList dumpRows(const QString& path)
{
    QStringList columns
        = {QStringLiteral("_id"), QStringLiteral("type"), QStringLiteral("contact_id"), QStringLiteral("hex(src_id)")};
    for (int n = 1; n <= 15; ++n)
        columns << QStringLiteral("typeof(data%1)||':'||hex(data%1)").arg(n);
    Sqlite3DB db;
    db.openThrow(path, Sqlite3DB::ReadOnly);
    QStringList out;
    for (const QString& sql :
         {QStringLiteral("select %1 from data order by _id").arg(columns.join(QStringLiteral("||'|'||"))),
          QStringLiteral("select _id||'|'||quote(src_id)||'|'||quote(full_name) from contact order by _id")}) {
        Sqlite3Cursor c = db.queryThrow(sql);
        while (c.moveNext())
            out << c.getText(0);
    }
    return out;
}

// The lines of a text file of the data folder.
inline QStringList dataLines(const QString& name)
{
    return QString::fromUtf8(testsupport::readFile(dataFile(name))).split(u'\n', Qt::SkipEmptyParts);
}

// Replaces the field's text by typing; an empty text clears it. A checking
// helper (see CHECKED): a missing field fails.
[[nodiscard]] inline bool typeInto(QLineEdit* edit, const QString& text,
                                   std::source_location at = std::source_location::current())
{
    HELPER_VERIFY2(edit, qPrintable(QStringLiteral("no field to type \"%1\" into").arg(text)));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    return true;
}

// The dialog as the prompt hands it to the test, shown like the real one.
inline EditContactForm* shown(QDialog* d)
{
    d->show();
    return QTest::qWaitForWindowExposed(d) ? qobject_cast<EditContactForm*>(d) : nullptr;
}

inline QLineEdit* field(EditContactForm* dialog, const char* name)
{
    return dialog->editor()->findChild<QLineEdit*>(QLatin1String(name));
}

inline void save(EditContactForm* dialog)
{
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnSave")), Qt::LeftButton);
}

// The value field of a row of one of the editor's row lists.
inline QLineEdit* phoneEdit(EditContactForm* dialog, int row, int type = pim::ENTITY_PHONE)
{
    return qobject_cast<QLineEdit*>(dialog->editor()->rowEditor(type)->rowWidgets(row).value(1));
}

// A new row of the type with the value typed in. A checking helper.
[[nodiscard]] inline bool addRow(EditContactForm* dialog, int type, const QString& value,
                                 std::source_location at = std::source_location::current())
{
    QTest::mouseClick(dialog->editor()->rowEditor(type)->addButton(), Qt::LeftButton);
    return typeInto(phoneEdit(dialog, dialog->editor()->rowEditor(type)->rowCount() - 1, type), value, at);
}

} // namespace contacttest
