#include "playlistrecord.h"

#include "recordtime.h"

QByteArray PlaylistRecord::hash() const
{
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(name.toUtf8());
    h.addData(members.join(QLatin1Char('/')).toUtf8());
    return records::hexResult(h);
}
