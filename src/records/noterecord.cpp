#include "noterecord.h"

#include "recordtime.h"

QByteArray NoteRecord::hash() const
{
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(title.toUtf8());
    h.addData(content.toUtf8());
    return records::hexResult(h);
}
