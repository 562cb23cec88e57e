// The modal dialog in which the user adds a contact or edits one. It is
// made with the contact to edit (an empty one for a new contact), run, and,
// when the user saved, asked for the changes that turn that contact into
// what the form shows. The dialog itself writes nothing.
//
// What the user did not touch stays as stored: an updated row is the stored
// row with the fields the user changed laid over it, so columns the form
// does not show, and shown values it would read back in another form (a
// type code it has no label for, a date it cannot read, blanks around a
// value), keep their stored values. Rows the form does not show (groups,
// the second photo, nickname, note or organisation, rows of unknown types)
// are left alone.
#pragma once

#include "records/contact.h"
#include "records/contactchange.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPair>

#include <memory>

class AbsContactCombineRule;
class ContactEditor;
class LocalContactsDb;
class WinMovable;
namespace Ui {
class EditContactForm;
}

class EditContactForm : public QDialog {
    Q_OBJECT

public:
    // contact: filled into the form when given. db: given for a new
    // contact only; a name it already holds is refused on save.
    EditContactForm(const pim::_Contact* contact, LocalContactsDb* db, QWidget* parent = nullptr);
    ~EditContactForm() override;

    // The changes from source (the contact the dialog was made with) to the
    // form: the name first, then added and updated rows by ascending type
    // and row order, then deleted rows by ascending type and stored order.
    // rule decides which rows are empty (left out, or deleted when they
    // were stored) and which columns make a row changed.
    QList<ContactChange> getChanges(AbsContactCombineRule* rule, const pim::_Contact& source) const;

    ContactEditor* editor() const;

public slots:
    // Refuses a contact without first and last name, and a new contact whose
    // name is already stored; accepts otherwise.
    void onBtnSavePressed();
    // Asks whether to discard the editing; rejects on Yes.
    void onBtnCancelPressed();

protected:
    // Escape and Enter of the keypad neither close nor accept.
    void keyPressEvent(QKeyEvent* event) override;

private:
    using RowKey = QPair<int, qint64>; // type, stored row id
    const ContactDataRow* filledRow(int type, qint64 id) const;

    std::unique_ptr<Ui::EditContactForm> form;
    std::unique_ptr<WinMovable> m_movable;
    LocalContactsDb* m_db;
    // What the form gave back right after it was filled, by stored row: a
    // field still holding that value was not touched.
    QHash<RowKey, ContactDataRow> m_filled;
};
