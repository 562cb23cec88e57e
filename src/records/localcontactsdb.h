// The contacts file of a local backup or device cache folder: one "contact"
// row per contact, one "data" row per data row, groups in "contact_group".
#pragma once

#include "records/absdb.h"
#include "records/contact.h"
#include "records/contactcombinerule.h"

#include <QList>
#include <QSharedPointer>

class IContactsDb {
public:
    virtual ~IContactsDb() = default;
    // Every contact that has at least one data row, sorted by full name.
    virtual QList<pim::_Contact> loadAll() = 0;
};

class LocalContactsDb : public AbsLocalDb, public IContactsDb {
public:
    LocalContactsDb(const QString& path, QSharedPointer<AbsContactCombineRule> rule);
    ~LocalContactsDb() override;

    // Opens or creates the file; adds the name indexes that ignore case to
    // files made before they existed.
    void open() override;
    QList<pim::_Contact> loadAll() override;

    QSharedPointer<AbsContactCombineRule> combineRule() const { return rule; }

    // The _id of the first contact whose full name equals fullName ignoring
    // ASCII case, or 0.
    qint64 findContactByFullName(const QString& fullName);
    // Inserts the header (no rows) and sets contact.id.
    void insertContact(pim::_Contact& contact);
    void updateContact(const pim::_Contact& contact);
    void setContactSrcId(qint64 id, const QString& srcId);
    void setDataSrcId(qint64 id, const QString& srcId);
    void deleteData(qint64 id);
    // Deletes the contact's rows, then its header; no transaction of its own.
    void deleteContact(qint64 id);
    // 0 on any error.
    qint64 countContacts();
    // The group's _id by name (ignoring ASCII case), made when missing. Does
    // not open the database: callers run it inside their transaction.
    qint64 getOrCreateGroup(const QString& name);
    // Inserts the row with its type's columns and sets row.id. A type
    // outside the known ones is not stored (row.id stays 0; logged).
    void insertData(qint64 contactId, int type, ContactDataRow& row);
    // Rewrites the row's src_id and its type's columns, by row.id.
    void updateData(int type, const ContactDataRow& row);
    // One contact with all its rows; a default contact (id 0) when absent.
    pim::_Contact loadContact(qint64 id);

    // Adds src, or merges it into the stored contact of the same full name,
    // in one (nested) transaction. dst receives the stored contact, *merged
    // whether one was found; returns every row written, by type, with ids.
    QMap<int, QList<ContactDataRow>> addOrMergeContact(const pim::_Contact& src, pim::_Contact& dst, bool* merged);
    // The merge decision for one row: on true, *target is the row to write
    // (an update when it has an id, else a new row).
    bool mergeDataRow(int type, QList<ContactDataRow>& storedRows, const ContactDataRow& newRow,
                      ContactDataRow* target);

    // The data columns stored for a row type; empty for an unknown type.
    static QStringList columnsOf(int type);

private:
    void bindColumns(Sqlite3Sql& sql, int type, const ContactDataRow& row) const;
    // Reads one data row of a cursor over "data"; false for an unknown type.
    static bool readDataRow(const Sqlite3Cursor& c, int* type, ContactDataRow* row);

    QSharedPointer<AbsContactCombineRule> rule;
};
