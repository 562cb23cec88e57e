// What a load keeps of a phone's messages, and the keys that tell a message
// the cache holds for one the phone holds.
#pragma once

#include "messagestore/countrylibdb.h"
#include "messagestore/partbytes.h"
#include "messagestore/partcontent.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class IOS6MessageDb;

// What a phone keeps of a message, piece by piece as a load stores it: its
// text (without object replacement characters) is one piece, and so is each
// part that a load keeps as a picture or other media file. A piece's key is
// made of the counterpart's canonical address, the time, the direction and
// the text; a media piece's has no text, and so is the key of every picture
// of that correspondent, time and direction: samePart tells which one it
// is, by its bytes (or a transfer's copy of them), never its name, as a phone holds many pictures of one
// name, number and second, and a message that went to a phone comes back
// under the phone's names in pieces of its own. Only where the bytes of one
// side are not known (a file gone) does the name (case aside) stand for
// them.
namespace messagekeys {

// A piece's key, or a logic hash: an MD5 kept as two numbers, so that the
// keys of every message of a store take no allocation of their own.
struct Key {
    quint64 high = 0;
    quint64 low = 0;

    friend bool operator==(const Key&, const Key&) = default;
    friend bool operator<(const Key& a, const Key& b) { return a.high != b.high ? a.high < b.high : a.low < b.low; }
    // The key of 32 hexadecimal digits (a logic hash); a text that is none
    // gives the zero key.
    static Key fromHex(QStringView hex);
};
inline size_t qHash(const Key& key, size_t seed = 0)
{
    return qHashMulti(seed, key.high, key.low);
}

// A part as the phone knows it.
struct Part {
    QString name;
    QString mime;
};

// Whether a load stores nothing of a part of this type (no type, or
// application data).
bool isDropped(const QString& mime);
// Whether a part of this type is text, which a load stores as a message of
// its own.
bool isText(const QString& mime);
// Whether a load keeps a part of this type as a piece of its own (text
// parts become text; parts without a type and application data are
// dropped).
bool isMediaPart(const QString& mime);
// Counterpart addresses made canonical as a load makes them (normalised in
// one country), each worked out once.
class CanonicalAddresses {
public:
    explicit CanonicalAddresses(const _Country& country);
    QString of(const QString& address);

private:
    _Country m_country;
    QHash<QString, QString> m_known;
};
// The key of a text piece and of every media piece of a correspondent
// (address: canonical), time and direction.
Key textKey(const QString& address, int date, int fromMe, const QString& text);
Key mediaKey(const QString& address, int date, int fromMe);
// The keys of a message's pieces (address: canonical, text: without object
// replacement characters), in order: the text's, then the parts'.
QList<Key> keys(const QString& address, int date, int fromMe, const QString& text, const QList<Part>& parts);

// A piece of a stored message.
struct Piece {
    Key key;
    // A media piece's name as the store holds it (the phone's, or the
    // file's), its file (empty for the text piece), its MIME type, what
    // the store records of its bytes (unknown when nothing) and of their
    // identity, and its attachment row with the filename it holds.
    QString name;
    QString path;
    QString mime;
    PartContent content;
    PartIdentity identity;
    qint64 attachment = 0;
    QString filename;
    bool isMedia() const { return !path.isEmpty() || !mime.isEmpty(); }
};

// The table of the messages a transfer wrote into a phone's cache, by logic
// hash, until a load records them as coming from the phone, and the table
// of what their media parts held as they were sent (by the message's logic
// hash, in the order of its parts).
inline constexpr const char* kSentTable = "sent_hash";
inline constexpr const char* kSentPartTable = "sent_part";
// Which stored messages readStored reads.
enum class Stored { All, SentUnclaimed };
// found(logic hash, pieces) for each message of the store that which names,
// its address made canonical with the store's country. Nothing for a store
// without logic hashes (or without kSentTable, for SentUnclaimed).
void readStored(IOS6MessageDb& db, Stored which,
                const std::function<void(const QString& logicHash, const QList<Piece>& pieces)>& found);
// What the transfers sent of each message's media pieces, by logic hash;
// empty without the table.
QHash<QString, QList<PartContent>> readSentParts(IOS6MessageDb& db);

} // namespace messagekeys
