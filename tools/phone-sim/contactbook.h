// The simulated phone's address book: the fixture's contacts at start, then
// whatever the "contacts" restore service created, changed or deleted. The
// loader's side of the service reads it, so a later load returns what an
// earlier restore stored. Thread-safe: every service session runs on a
// thread of its own.
#pragma once

#include "fixture.h"

#include <QList>
#include <QMutex>
#include <QString>

namespace phonesim {

class ContactBook {
public:
    explicit ContactBook(const QList<SimContact>& contacts = {});

    // Every contact with its rows, the name row first where it has one.
    QList<SimContact> contacts() const;
    void setContacts(const QList<SimContact>& contacts);

    bool hasContact(qint64 id) const;
    // The id of the first row holding value as one of its texts; empty when
    // none does (for tests).
    QString rowIdWith(const QString& value) const;
    // The stored row named by the id quadruple, kind and contact included.
    bool hasRow(const QString& id) const;

    // A new contact from its name row; returns the row's new id quadruple
    // "1/<contact>/<contact>/<row>".
    QString addContact(const SimRow& nameRow);
    // A new row of an existing contact (false when there is none); *newId
    // receives "<kind>/<contact>/<contact>/<row>".
    bool addRow(qint64 contactId, const SimRow& row, QString* newId);
    // Replaces the columns of the stored row of the same id; false when absent.
    bool updateRow(const SimRow& row);
    // Removes the row, or the whole contact for a name row's id; false when
    // nothing was there.
    bool remove(const QString& id);
    // Takes the contact out of every group it is in (its group rows go);
    // false when the phone has no such contact.
    bool removeGroups(qint64 contactId);

private:
    SimContact* find(qint64 id);
    const SimContact* find(qint64 id) const;

    mutable QMutex m_mutex;
    QList<SimContact> m_contacts;
    qint64 m_nextContact = 1;
    qint64 m_nextRow = 1;
};

// The numbers of an id quadruple; false when the text is not one.
bool splitQuad(const QString& id, qint64 numbers[4]);

} // namespace phonesim
