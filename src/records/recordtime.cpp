#include "recordtime.h"

#include <limits>

namespace records {

qint64 secsSinceEpoch(const QDateTime& dt)
{
    if (!dt.isValid())
        return 0;
    return dt.toMSecsSinceEpoch() / 1000;
}

QDateTime dateTimeFromSecs(qint64 secs)
{
    // A file from elsewhere may hold any number: one whose milliseconds do
    // not fit 64 bits is no date.
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 1000;
    if (secs > kLimit || secs < -kLimit)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(secs * 1000);
}

qint32 hashSecs(const QDateTime& dt)
{
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(secsSinceEpoch(dt))));
}

void addInt32(QCryptographicHash& hash, qint32 value)
{
    const auto u = static_cast<quint32>(value);
    const char bytes[4] = {char(u & 0xff), char((u >> 8) & 0xff), char((u >> 16) & 0xff), char((u >> 24) & 0xff)};
    hash.addData(QByteArrayView(bytes, 4));
}

QByteArray hexResult(const QCryptographicHash& hash)
{
    return hash.result().toHex();
}

} // namespace records
