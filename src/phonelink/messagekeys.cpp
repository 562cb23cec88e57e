#include "phonelink/messagekeys.h"

#include "messagestore/ios6messagedb.h"
#include "phonelink/androiddeviceinfo.h"

#include "shell/core/fileutils.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

// The key of one piece: a text, or a media part (text empty, which no text
// piece has).
messagekeys::Key pieceKey(const QString& address, int date, int fromMe, std::initializer_list<QString> rest)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    QList<QString> fields {address, QString::number(date), QString::number(fromMe != 0 ? 1 : 0)};
    fields.append(rest);
    for (const QString& field : std::as_const(fields)) {
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
    return pieceKey(address, date, fromMe, {text});
}

Key mediaKey(const QString& address, int date, int fromMe)
{
    return pieceKey(address, date, fromMe, {QString()});
}

Key bareKey(const QString& address, int date, int fromMe)
{
    // Five fields: no text or media piece has this key.
    return pieceKey(address, date, fromMe, {QString(), QString()});
}

std::optional<Key> textPieceKey(const QString& address, int date, int fromMe, const QString& text)
{
    QString plain = text;
    plain.remove(QChar(QChar::ObjectReplacementCharacter));
    if (plain.isEmpty())
        return std::nullopt;
    return textKey(address, date, fromMe, plain);
}

QList<Sought> piecesOf(const QString& address, int date, int fromMe, const QString& text,
                       const QList<MessagePart>& parts)
{
    QList<Sought> pieces;
    if (const auto key = textPieceKey(address, date, fromMe, text))
        pieces.append({*key, PartRef()});
    for (const MessagePart& part : parts) {
        if (isText(part.mime)) {
            if (const auto key = textPieceKey(address, date, fromMe, part.text))
                pieces.append({*key, PartRef()});
        } else if (isMediaPart(part.mime) && part.bytes) {
            pieces.append({mediaKey(address, date, fromMe), PartRef {part.bytes, part.name}});
        }
    }
    if (pieces.isEmpty())
        pieces.append({bareKey(address, date, fromMe), PartRef()});
    return pieces;
}

QString partText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(file.readAll());
    return text.trimmed().isEmpty() ? QString() : text;
}

void HeldPieces::clear()
{
    m_pieces.clear();
    m_files.clear();
    m_byKey.clear();
}

int HeldPieces::addText(const Key& key, int message)
{
    return add(key, message, nullptr, QString());
}

int HeldPieces::addMedia(const Key& key, int message, const PartBytes& bytes, const QString& name)
{
    return add(key, message, &m_files.emplace_back(bytes), name);
}

int HeldPieces::add(const Key& key, int message, PartBytes* bytes, const QString& name)
{
    const int index = int(m_pieces.size());
    m_pieces.push_back(Piece {key, message, bytes, name});
    m_byKey[key].append(index);
    return index;
}

bool HeldPieces::holds(const Key& key) const
{
    return m_byKey.contains(key);
}

const QList<int>& HeldPieces::ofKey(const Key& key) const
{
    static const QList<int> none;
    const auto it = m_byKey.constFind(key);
    return it == m_byKey.constEnd() ? none : *it;
}

void HeldPieces::collectEncodings(const QList<Sought>& sought, QList<PartBytes*>* toWorkOut)
{
    for (const Sought& piece : sought) {
        if (!piece.part.bytes)
            continue;
        for (int index : ofKey(piece.key)) {
            if (PartBytes* held = m_pieces[size_t(index)].bytes)
                matchParts(*piece.part.bytes, *held, toWorkOut);
        }
    }
}

std::optional<QList<int>> HeldPieces::find(const QList<Sought>& sought, int message)
{
    // Each piece on its own: a store keeps one message of one text, or of
    // one picture, of a correspondent and second, however many a phone
    // lists, so that one held piece stands for all of them.
    const auto held = [this](int index) {
        const Piece& piece = m_pieces[size_t(index)];
        return PartRef {piece.bytes, piece.name};
    };
    QList<int> found;
    for (const Sought& piece : sought) {
        QList<int> candidates;
        for (int index : ofKey(piece.key)) {
            if (message < 0 || m_pieces[size_t(index)].message == message)
                candidates.append(index);
        }
        const std::optional<QList<int>> paired = pairParts({piece.part}, {candidates}, held);
        if (!paired)
            return std::nullopt;
        found.append(paired->constFirst());
    }
    return found;
}

int Piece::addTo(HeldPieces& held, int message) const
{
    if (!isMedia())
        return held.addText(key, message);
    return held.addMedia(key, message, PartBytes(path, mime, content, identity), name);
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
    QString address;
    int date = 0;
    int fromMe = 0;
    QList<Piece> pieces;
    // A message that leaves neither a text nor a media piece is one bare
    // piece (see piecesOf).
    const auto report = [&] {
        if (pieces.isEmpty())
            pieces.append(
                Piece {bareKey(address, date, fromMe), QString(), QString(), QString(), {}, {}, 0, QString()});
        found(hash, pieces);
    };
    const auto textPiece = [&](const QString& text) {
        if (const auto key = textPieceKey(address, date, fromMe, text))
            pieces.append(Piece {*key, QString(), QString(), QString(), {}, {}, 0, QString()});
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
            pieces.clear();
            textPiece(c.getText(5));
        }
        if (c.isNull(6) && c.isNull(7))
            continue;
        const QString mime = c.getText(6);
        const QString filename = c.getText(7);
        // A text part is what the phone keeps as a text.
        if (isText(mime)) {
            textPiece(partText(db.attachmentLocalPath(filename)));
            continue;
        }
        if (!isMediaPart(mime))
            continue;
        // The phone's name; a store without it has the file's.
        const QString name = givenPartName(c.getText(8), filename);
        Piece piece {mediaKey(address, date, fromMe),
                     name,
                     db.attachmentLocalPath(filename),
                     mime,
                     PartContent(),
                     PartIdentity(),
                     c.getInt64(15),
                     filename};
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
