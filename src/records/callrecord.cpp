#include "callrecord.h"

#include "recordtime.h"

QByteArray CallRecord::hash() const
{
    QCryptographicHash h(QCryptographicHash::Md5);
    records::addInt32(h, records::hashSecs(date));
    h.addData(address.toUtf8());
    records::addInt32(h, flags);
    return records::hexResult(h);
}
