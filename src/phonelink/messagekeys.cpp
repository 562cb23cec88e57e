#include "phonelink/messagekeys.h"

#include "messagestore/ios6messagedb.h"
#include "phonelink/androiddeviceinfo.h"

#include "shell/core/fileutils.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QtEndian>

namespace {

// The key of one piece: a text, or a media part (text empty, which no text
// piece has).
messagekeys::Key pieceKey(const QString& address, int date, int fromMe, const QString& text)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    const QString fields[] = {address, QString::number(date), QString::number(fromMe != 0 ? 1 : 0), text};
    for (const QString& field : fields) {
        // Each field with its length: no text can pass for two fields.
        const QByteArray bytes = field.toUtf8();
        md5.addData(QByteArray::number(bytes.size()) + ':');
        md5.addData(bytes);
    }
    const QByteArrayView digest = md5.resultView();
    return messagekeys::Key {qFromBigEndian<quint64>(digest.data()), qFromBigEndian<quint64>(digest.data() + 8)};
}

} // namespace

namespace messagekeys {

Key Key::fromHex(QStringView hex)
{
    if (hex.size() != 32)
        return Key();
    bool highOk = false;
    bool lowOk = false;
    const Key key {hex.first(16).toULongLong(&highOk, 16), hex.last(16).toULongLong(&lowOk, 16)};
    return highOk && lowOk ? key : Key();
}

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

bool isMediaPart(const QString& mime)
{
    return !isDropped(mime) && !isText(mime);
}

Key textKey(const QString& address, int date, int fromMe, const QString& text)
{
    return pieceKey(address, date, fromMe, text);
}

Key mediaKey(const QString& address, int date, int fromMe)
{
    return pieceKey(address, date, fromMe, QString());
}

QList<Key> keys(const QString& address, int date, int fromMe, const QString& text, const QList<Part>& parts)
{
    QList<Key> out;
    if (!text.isEmpty())
        out << textKey(address, date, fromMe, text);
    for (const Part& part : parts) {
        if (isMediaPart(part.mime))
            out << mediaKey(address, date, fromMe);
    }
    return out;
}

void readStored(IOS6MessageDb& db, Stored which,
                const std::function<void(const QString& logicHash, const QList<Piece>& pieces)>& found)
{
    if (!db.hasLogicHashColumn())
        return;
    if (which == Stored::SentUnclaimed
        && (!db.tableExists(QLatin1String(kSentTable)) || !db.tableExists(QStringLiteral("parent_hash"))))
        return;
    const bool identities = db.hasContentHashColumn() && db.hasIdentityTable();
    QString sql
        = QStringLiteral("select m.ROWID, m.logic_hash, h.id, m.date, m.is_from_me, m.text, a.mime_type, "
                         "a.filename, %1, %2, %3, a.ROWID from message as m "
                         "left join handle as h on h.ROWID=m.handle_id "
                         "left join message_attachment_join as j on j.message_id=m.ROWID "
                         "left join attachment as a on a.ROWID=j.attachment_id %4"
                         "where m.logic_hash is not null")
              .arg(db.hasTransferNameColumn() ? QStringLiteral("a.transfer_name") : QStringLiteral("NULL"),
                   db.hasContentHashColumn() ? QStringLiteral("a.total_bytes, a.content_hash")
                                             : QStringLiteral("0, NULL"),
                   identities ? QStringLiteral("i.sent_bytes, i.sent_hash, i.origin_bytes, i.origin_hash")
                              : QStringLiteral("0, NULL, 0, NULL"),
                   identities ? QStringLiteral("left join part_identity as i on i.hash=a.content_hash ") : QString());
    // Group events and the like are never sent to a phone.
    if (db.hasItemTypeColumn())
        sql += QStringLiteral(" and ifnull(m.item_type,0)=0");
    if (which == Stored::SentUnclaimed)
        sql += QStringLiteral(" and m.logic_hash in (select hash from %1)"
                              " and not exists (select 1 from parent_hash as p where p.child=m.logic_hash)")
                   .arg(QLatin1String(kSentTable));
    sql += QStringLiteral(" order by m.ROWID, a.ROWID");

    CanonicalAddresses canonical(db.countryDb().getCurCountry());
    // Every message is read once: its pages need not stay in the cache.
    const PageCacheLimit limit(db);
    qint64 current = -1;
    QString hash;
    Key media; // the current message's media pieces'
    QList<Piece> pieces;
    const auto report = [&] {
        if (!pieces.isEmpty())
            found(hash, pieces);
    };
    Sqlite3Cursor c = db.queryThrow(sql);
    while (c.moveNext()) {
        const qint64 rowid = c.getInt64(0);
        if (rowid != current) {
            if (current >= 0)
                report();
            current = rowid;
            hash = c.getText(1);
            const QString address = canonical.of(c.getText(2));
            const int date = c.getInt(3);
            const int fromMe = c.getInt(4);
            media = mediaKey(address, date, fromMe);
            pieces.clear();
            QString text = c.getText(5);
            text.remove(QChar(QChar::ObjectReplacementCharacter));
            if (!text.isEmpty())
                pieces.append(Piece {
                    textKey(address, date, fromMe, text), QString(), QString(), QString(), {}, {}, 0, QString()});
        }
        if (c.isNull(6) && c.isNull(7))
            continue;
        const QString mime = c.getText(6);
        if (!isMediaPart(mime))
            continue;
        // The phone's name; a store without it has the file's.
        const QString filename = c.getText(7);
        const QString name = givenPartName(c.getText(8), filename);
        Piece piece {media,          name,    db.attachmentLocalPath(filename), mime, PartContent(), PartIdentity(),
                     c.getInt64(15), filename};
        if (!c.isNull(10))
            piece.content = PartContent {c.getInt64(9), c.getText(10)};
        if (!c.isNull(12))
            piece.identity.sent = PartContent {c.getInt64(11), c.getText(12)};
        if (!c.isNull(14))
            piece.identity.origin = PartContent {c.getInt64(13), c.getText(14)};
        pieces.append(piece);
    }
    if (current >= 0)
        report();
}

QHash<QString, QList<PartContent>> readSentParts(IOS6MessageDb& db)
{
    QHash<QString, QList<PartContent>> sent;
    if (!db.tableExists(QLatin1String(kSentPartTable)))
        return sent;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select hash, total_bytes, content_hash from %1 order by rowid")
                                        .arg(QLatin1String(kSentPartTable)));
    while (c.moveNext())
        sent[c.getText(0)].append(PartContent {c.getInt64(1), c.getText(2)});
    return sent;
}

} // namespace messagekeys
