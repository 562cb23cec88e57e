// The contact list of the contacts page: one flat row per contact in four
// columns (name, phone, e-mail, address), sorted by full name. Each row's
// node holds its own copy of the contact, so a selected index leads to its
// contact. The model also keeps the sorted list it was last given: the
// page's "all contacts" for the toolbar commands.
//
// A row's small picture is its contact's photo, made off the window's
// thread by the model's PictureLoader when the row is first shown: the row
// shows the empty contact picture until then (and for bytes that are no
// picture within the reader's bounds), and its decoration changes when the
// photo is made.
#pragma once

#include "records/contact.h"
#include "shell/abstreeitemmodel.h"

#include <QList>
#include <QPixmap>
#include <QString>

class PictureLoader;

class ItemModelContacts : public AbsTreeItemModel {
    Q_OBJECT

public:
    class _ContactsItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _ContactsItemNode(const pim::_Contact& contact)
            : _ItemNode(0, QString(), nullptr)
            , contact(contact)
        {
        }
        pim::_Contact contact;
        // The key of the list's small picture (see contactphoto::key),
        // worked out on first show; empty without a photo.
        mutable QString photoKey;
        mutable bool keyed = false;
        // The small picture once made (see data()).
        mutable QPixmap thumbnail;
    };

    explicit ItemModelContacts(QObject* parent = nullptr);

    // Replaces every row: the contacts sorted by full name, compared as
    // UTF-16 code units (no locale, upper case before lower case); equal
    // names keep their order.
    void setContacts(QList<pim::_Contact> contacts);
    // Appends one row at the end, whatever its name; contacts() does not
    // change until the next setContacts.
    _ContactsItemNode* addContact(const pim::_Contact& contact);
    const QList<pim::_Contact>& contacts() const { return m_contacts; }
    // Shows another state of a row's contact (its picture is made anew
    // when its photo changed); contacts() does not change until the next
    // setContacts.
    void replaceContact(const QModelIndex& index, const pim::_Contact& contact);

    // The contact of an index's row; null for an index without a row.
    static const pim::_Contact* contactOf(const QModelIndex& index);

    // The first row, after current and wrapping round to it, whose contact
    // matches the keyword (see matches); -1 when none does. current -1
    // starts at row 0.
    int findRow(const QString& keyword, int current) const;
    // Whether the full name or a searched value of the contact holds the
    // keyword, ignoring case. Events, groups, names and photos are not
    // searched.
    static bool matches(const pim::_Contact& contact, const QString& keyword);

    // The "Phone" column: the first Mobile number, else the first number;
    // invalid without a phone row.
    static QVariant phoneText(const pim::_Contact& contact);

    // Makes the rows' small pictures; goes with the model.
    PictureLoader* photoLoader() const { return m_photos; }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // The row's small picture, asked of the loader on first show; the
    // empty contact picture until it is made.
    QPixmap thumbnailOf(const _ContactsItemNode& node) const;
    // Shows the picture made for key in every row of that photo.
    void photoReady(const QString& key);

    QList<pim::_Contact> m_contacts;
    PictureLoader* m_photos = nullptr;
};
