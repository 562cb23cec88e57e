// The contact list of the contacts page: one flat row per contact in four
// columns (name, phone, e-mail, address), sorted by full name. Each row's
// node holds its own copy of the contact, so a selected index leads to its
// contact. The model also keeps the sorted list it was last given: the
// page's "all contacts" for the toolbar commands.
#pragma once

#include "records/contact.h"
#include "shell/abstreeitemmodel.h"

#include <QList>
#include <QPixmap>

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
        // The list's small picture, decoded on first show (see data()).
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
    // Shows another state of a row's contact (its picture is made anew);
    // contacts() does not change until the next setContacts.
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

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<pim::_Contact> m_contacts;
};
