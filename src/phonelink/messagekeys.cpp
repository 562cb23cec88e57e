#include "phonelink/messagekeys.h"

#include "messagestore/ios6messagedb.h"
#include "phonelink/androiddeviceinfo.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace {

// The key of one piece: a text (name empty) or a part (text empty; a part's
// name never is).
QString pieceKey(const QString& address, int date, int fromMe, const QString& text, const QString& name)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    const QString fields[]
        = {address, QString::number(date), QString::number(fromMe != 0 ? 1 : 0), text, name.toLower()};
    for (const QString& field : fields) {
        // Each field with its length: no text can pass for two fields.
        const QByteArray bytes = field.toUtf8();
        md5.addData(QByteArray::number(bytes.size()) + ':');
        md5.addData(bytes);
    }
    return QString::fromLatin1(md5.result().toHex());
}

} // namespace

namespace messagekeys {

bool isDropped(const QString& mime)
{
    return mime.isEmpty() || mime.startsWith(QLatin1String("application/"), Qt::CaseInsensitive);
}

bool isText(const QString& mime)
{
    return mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0;
}

CanonicalAddresses::CanonicalAddresses(const _Country& country)
    : m_country(country)
{
}

QString CanonicalAddresses::of(const QString& address)
{
    auto known = m_known.constFind(address);
    if (known == m_known.constEnd())
        known = m_known.insert(address, m_country.normalizeNumber(address));
    return *known;
}

QString partName(const QString& phoneName, const QString& mime)
{
    // The phone's name must stay one file name: separators go, and a name
    // made only of dots gets the fallback.
    QString name = phoneNameToPathComponent(phoneName);
    if (name.isEmpty())
        name = QStringLiteral("Unknown2");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == name.size() - 1) {
        if (mime.contains(QLatin1String("png"), Qt::CaseInsensitive))
            name += QStringLiteral(".png");
        else if (mime.contains(QLatin1String("jpg"), Qt::CaseInsensitive)
                 || mime.contains(QLatin1String("jpeg"), Qt::CaseInsensitive))
            name += QStringLiteral(".jpg");
    }
    return name;
}

bool isMediaPart(const QString& mime)
{
    return !isDropped(mime) && !isText(mime);
}

QStringList keys(const QString& address, int date, int fromMe, const QString& text, const QList<Part>& parts)
{
    QStringList out;
    if (!text.isEmpty())
        out << pieceKey(address, date, fromMe, text, QString());
    for (const Part& part : parts) {
        if (isMediaPart(part.mime))
            out << pieceKey(address, date, fromMe, QString(), partName(part.name, part.mime));
    }
    return out;
}

void readStored(IOS6MessageDb& db, Stored which,
                const std::function<void(const QString& logicHash, const QStringList& keys)>& found)
{
    if (!db.hasLogicHashColumn())
        return;
    if (which == Stored::SentUnclaimed
        && (!db.tableExists(QLatin1String(kSentTable)) || !db.tableExists(QStringLiteral("parent_hash"))))
        return;
    QString sql = QStringLiteral("select m.ROWID, m.logic_hash, h.id, m.date, m.is_from_me, m.text, a.mime_type, "
                                 "a.filename, %1 from message as m "
                                 "left join handle as h on h.ROWID=m.handle_id "
                                 "left join message_attachment_join as j on j.message_id=m.ROWID "
                                 "left join attachment as a on a.ROWID=j.attachment_id "
                                 "where m.logic_hash is not null")
                      .arg(db.hasTransferNameColumn() ? QStringLiteral("a.transfer_name") : QStringLiteral("NULL"));
    // Group events and the like are never sent to a phone.
    if (db.hasItemTypeColumn())
        sql += QStringLiteral(" and ifnull(m.item_type,0)=0");
    if (which == Stored::SentUnclaimed)
        sql += QStringLiteral(" and m.logic_hash in (select hash from %1)"
                              " and not exists (select 1 from parent_hash as p where p.child=m.logic_hash)")
                   .arg(QLatin1String(kSentTable));
    sql += QStringLiteral(" order by m.ROWID, a.ROWID");

    CanonicalAddresses canonical(db.countryDb().getCurCountry());
    qint64 current = -1;
    QString hash;
    QString address;
    QString text;
    int date = 0;
    int fromMe = 0;
    QList<Part> parts;
    const auto report = [&] {
        const QStringList k = keys(address, date, fromMe, text, parts);
        if (!k.isEmpty())
            found(hash, k);
    };
    Sqlite3Cursor c = db.queryThrow(sql);
    while (c.moveNext()) {
        const qint64 rowid = c.getInt64(0);
        if (rowid != current) {
            if (current >= 0)
                report();
            current = rowid;
            hash = c.getText(1);
            address = canonical.of(c.getText(2));
            date = c.getInt(3);
            fromMe = c.getInt(4);
            text = c.getText(5);
            text.remove(QChar(QChar::ObjectReplacementCharacter));
            parts.clear();
        }
        if (c.isNull(6) && c.isNull(7))
            continue;
        // The phone's name; a store without it has the file's.
        QString name = c.getText(8);
        if (name.isEmpty())
            name = QFileInfo(IOS6MessageDb::storeRelativePath(c.getText(7))).fileName();
        parts.append(Part {name, c.getText(6)});
    }
    if (current >= 0)
        report();
}

} // namespace messagekeys
