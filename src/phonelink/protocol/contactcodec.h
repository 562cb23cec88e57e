// The "$ent:" record of the "contacts" service: one contact data row per line,
// "$ent:" + id quadruple + the kind's fields, joined by ",". Type codes travel
// as lower-case label words, exactly as the Phone Agent spells them (relation
// type 9 is "parnet"); texts travel Base64-encoded.
#pragma once

#include "records/contact.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace simpleprotocol {

// Label words: key category * 100 + type code. The category is the row kind,
// or kImProtocolCategory for instant-messaging protocols.
constexpr int kImProtocolCategory = 99;
const QMap<int, QString>& labelTable();
// Reverse table: "category/word" to the type code.
const QMap<QString, int>& labelCodeTable();
// The word of a type code, empty when there is none.
QString labelFor(int category, int type);
// The type code of a word (case-sensitive), 0 when there is none.
int labelCode(int category, const QString& word);

// The row's source id when it has one, else "kind/second/third/-localId".
QString formatId(int kind, qint64 second, qint64 third, const ContactDataRow& row);

// The argument of an "$ent:" line for the row (send it with
// sendCommand("$ent:", text, ...)). A kind outside 1..13 gives the id alone.
QString encodeDataRow(int kind, qint64 second, qint64 third, const ContactDataRow& row);

// Fills values from the fields of an "$ent:" argument split at "," (field 0,
// the id, is not read). Missing fields leave their columns alone; a kind
// outside 1..13 leaves values untouched.
void decodeContact(const QStringList& fields, int kind, QVariantMap& values);

} // namespace simpleprotocol
