// The simulated phone's own reading and writing of record lines. Written
// separately from the application's codec on purpose: tests run lines through
// both, so a mistake made in one shows up against the other.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

namespace phonesim {

namespace codec {

QByteArray text(const QString& value); // Base64 of UTF-8, "" for ""
QString untext(const QByteArray& field); // reverse
// The reverse as the agent's restore side reads it: false unless the field
// is strict Base64 (as text() writes it) of valid UTF-8.
bool untextStrict(const QByteArray& field, QString* out);

// Label words of the agent, per category (row kind, or 99 for IM protocols).
QByteArray word(int category, int code); // "" when the code has no word
int code(int category, const QByteArray& w, bool* known = nullptr);
// Every (category, code) pair that has a word, for exhaustive tests.
QList<QPair<int, int>> allLabels();

} // namespace codec

// One contact data row as the phone keeps it: columns "data1".."data15" with
// type codes as integers and data15 as bytes.
struct SimRow {
    int kind = 0;
    QString id; // the id quadruple
    QVariantMap columns;
};

// "$ent:" + the row's fields (the line without LF).
QByteArray encodeEnt(const SimRow& row);
// Reads an "$ent:" line (with or without the command word). Fields that are
// missing stay unset. False when the line has no valid quadruple.
bool decodeEnt(const QByteArray& line, SimRow* row);
// Reads an "$ent:" argument as the agent's restore side accepts it: a valid
// quadruple of a kind 1..13, exactly the kind's fields, every text strict
// Base64 of valid UTF-8, every word one of the kind's (or empty), a date
// "yyyy-MM-dd" (or empty). False with *why set otherwise.
bool checkEnt(const QByteArray& argument, SimRow* row, QString* why);

// The "$hello:" payload of the device-info service.
QByteArray helloPayload(const QList<QPair<QString, QString>>& pairs);

} // namespace phonesim
