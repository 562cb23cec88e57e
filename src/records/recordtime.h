// Time and hash helpers shared by the record databases.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QTimeZone>

namespace records {

// Whole seconds since 1970 (milliseconds / 1000, toward zero); 0 for an
// invalid date-time.
qint64 secsSinceEpoch(const QDateTime& dt);
// The inverse: seconds since 1970 as a local date-time.
QDateTime dateTimeFromSecs(qint64 secs);
// The time zone a phone's zone text names, UTC for an empty text or one
// that is not accepted. Only texts whose conversions end are handed to Qt
// (its rule arithmetic loops for good on some rules): an IANA id, a UTC
// offset ("UTC", "UTC+05:30", "GMT-3") or a POSIX rule whose every field is
// in range ("CET-1CEST,M3.5.0,M10.5.0/3"), its offsets within 14:59:59 of
// UTC as real zones are (Qt would take "XYZ99" for 99 hours behind). Even
// with an accepted zone, Qt's rules do not end for instants before the year
// 2: convert only later ones.
QTimeZone eventTimeZone(const QString& text);
// The day an all-day event's instant falls on in its own zone (the phone
// keeps an all-day event as midnight of its day there): the same day on
// every PC. Invalid for an instant before the year 2, which Qt's rules do
// not convert.
QDate allDayDate(const QDateTime& dt, const QTimeZone& zone);
// The 32-bit form of the seconds that the duplicate hashes were always made
// of; wraps after 2038 on purpose so that stored hashes keep matching.
qint32 hashSecs(const QDateTime& dt);
// Feeds a 32-bit integer, least significant byte first.
void addInt32(QCryptographicHash& hash, qint32 value);
// Lower-case hexadecimal text of the digest.
QByteArray hexResult(const QCryptographicHash& hash);

} // namespace records
