// The contact record: a header (local id, source id, full name) with its
// typed data rows, the label tables of the row types and the small
// functions shared by everything that reads or builds contacts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <initializer_list>

namespace pim {

// Row type: the key of _Contact::entities and the "type" column of the
// contacts database's data table.
enum ContactDataType {
    ENTITY_NAME = 1, // data1 display name, data2 first, data3 last, data4 middle,
                     // data5 prefix, data6 suffix, data7/data8 carried unchanged
    ENTITY_PHOTO = 2, // data15 picture bytes, data4 photoHash of data15
    ENTITY_PHONE = 3, // data1 number, data2 type code, data3 custom label
    ENTITY_EMAIL = 4, // data1 address, data2 type code, data3 custom label
    ENTITY_NICKNAME = 5, // data1 nickname, data2 type code, data3 custom label
    ENTITY_EVENT = 6, // data1 date, data2 type code, data3 custom label
    ENTITY_GROUP = 7, // data1 local group id, data2 group name
    ENTITY_IM = 8, // data1 handle, data2 type, data3 label, data5 protocol, data6 custom protocol
    ENTITY_NOTE = 9, // data1 text
    ENTITY_ORGANIZATION = 10, // data1 company, data2 type, data3 label, data4 title, data5 department,
                              // data6/data7/data9 carried unchanged
    ENTITY_RELATION = 11, // data1 name, data2 type code, data3 custom label
    ENTITY_POSTAL = 12, // data1 whole address, data2 type, data3 label, data4 street, data5 post-office
                        // box, data6 extended address, data7 city, data8 region, data9 postcode,
                        // data10 country
    ENTITY_WEBSITE = 13, // data1 address, data2 type code, data3 custom label
};

constexpr int kFirstContactDataType = ENTITY_NAME;
constexpr int kLastContactDataType = ENTITY_WEBSITE;

inline bool isKnownContactDataType(int type)
{
    return type >= kFirstContactDataType && type <= kLastContactDataType;
}

// One data row of a contact: columns "data1".."data15" (data15 holds bytes,
// the others text, type and label codes may also be integers).
struct ContactDataRow {
    ContactDataRow() = default;
    ContactDataRow(qint64 id, const QString& srcId)
        : id(id)
        , srcId(srcId)
    {
    }

    QVariantMap values;
    qint64 id = 0; // _id in the data table; 0 while not stored
    QString srcId; // the row's id at its source (the phone); may be empty
};

using ContactDataRows = QMap<int, QList<ContactDataRow>>;

struct _Contact {
    _Contact() = default;
    _Contact(qint64 id, const QString& srcId, const QString& fullName)
        : id(id)
        , srcId(srcId)
        , fullName(fullName)
    {
    }

    // The rows of one type; empty when the contact has none.
    QList<ContactDataRow> rows(int type) const { return entities.value(type); }

    qint64 id = 0; // _id in a local contacts database; 0 while not stored
    QString srcId; // id at the source (the phone); empty for PC-made contacts
    QString fullName; // display name; the merge finds stored contacts by it
    ContactDataRows entities; // rows by type, ascending type order
};

// A column read as text: absent reads empty, bytes read up to the first zero
// byte, numbers as their decimal text.
QString valueText(const QVariantMap& values, const QString& key);

// Display name of a name row: prefix, first, middle, last, suffix, trimmed.
QString formatName(const QVariantMap& values);
// The street of a postal row with its extended address (data6: "Flat 2",
// "Suite 630") after one blank, as phones store a card's address; either
// alone when the other is empty.
QString streetWithExtended(const QVariantMap& values);
// streetWithExtended, then the post-office box (data5) on a line of its own:
// every part of the row that has no place of its own on a phone.
QString streetLines(const QVariantMap& values);
// Text of a postal row: streetLines / city, region postcode / country. A
// phone's row made from it (streetLines as its street) gives the same text.
QString formatAddress(const QVariantMap& values);
// Base64 of the MD5 of the row's data15 bytes.
QString photoHash(const QVariantMap& values);
// Base64 (24 characters) of the 16-byte MD5 digest of bytes.
QString md5Base64(const QByteArray& bytes);

// Sort rank of a phone row by its type code: Mobile, Main, Home, Work, rest.
int phoneTypeRank(const ContactDataRow& row);
// Strict order of phone rows by rank.
bool phoneLessThan(const ContactDataRow& a, const ContactDataRow& b);

// True when a and b hold equal values under every key: an absent value
// equals an empty text (or no bytes) and nothing else, texts compare
// exactly, and a number equals a text that is its decimal form.
bool isSameDataValues(const QVariantMap& a, const QVariantMap& b, const QStringList& keys);
// True when every key's value reads as empty text (no trimming).
bool isDataEmpty(const QVariantMap& values, const QStringList& keys);

// Label tables: type code to English word; every table maps 0 to "Other".
QMap<int, QString> phoneTypeLabels();
QMap<int, QString> emailTypeLabels();
QMap<int, QString> eventTypeLabels();
QMap<int, QString> imProtocolLabels();
QMap<int, QString> imTypeLabels();
QMap<int, QString> organizationTypeLabels();
QMap<int, QString> relationTypeLabels();
QMap<int, QString> postalTypeLabels();
QMap<int, QString> websiteTypeLabels();

} // namespace pim

// The row types and rows are also used without the namespace.
using pim::ContactDataRow;
using pim::ContactDataType;
