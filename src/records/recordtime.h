// Time and hash helpers shared by the record databases.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>

namespace records {

// Whole seconds since 1970 (milliseconds / 1000, toward zero); 0 for an
// invalid date-time.
qint64 secsSinceEpoch(const QDateTime& dt);
// The inverse: seconds since 1970 as a local date-time.
QDateTime dateTimeFromSecs(qint64 secs);
// The 32-bit form of the seconds that the duplicate hashes were always made
// of; wraps after 2038 on purpose so that stored hashes keep matching.
qint32 hashSecs(const QDateTime& dt);
// Feeds a 32-bit integer, least significant byte first.
void addInt32(QCryptographicHash& hash, qint32 value);
// Lower-case hexadecimal text of the digest.
QByteArray hexResult(const QCryptographicHash& hash);

} // namespace records
