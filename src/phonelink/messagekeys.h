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

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class IOS6MessageDb;

// What a phone keeps of a message, piece by piece as a load stores it: its
// text (without object replacement characters) is one piece, and so is each
// text part and each part that a load keeps as a picture or other media
// file; a message of none of these (a subject alone) is one bare piece. A
// piece's key is made of the counterpart's canonical address, the time, the
// direction and the text (a bare piece's, of nothing); a media piece's
// has no text, and so is the key of every picture of that correspondent,
// time and direction: samePart tells which one it is, by its bytes (or a
// transfer's copy of them), never its name, as a phone holds many pictures
// of one name, number and second, and a message that went to a phone comes
// back under the phone's names in pieces of its own. Only where the bytes
// of one side are not known (a file gone) does the name (case aside) stand
// for them.
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
// (address: canonical), time and direction, and of the one piece of a
// message that has neither (bare: a subject alone, or nothing at all). As a
// store knows a message without parts by its text (its logic hash), the
// subject is no part of any key: two bare messages of one correspondent,
// second and direction are one, as the store keeps them.
Key textKey(const QString& address, int date, int fromMe, const QString& text);
Key mediaKey(const QString& address, int date, int fromMe);
Key bareKey(const QString& address, int date, int fromMe);
// The key of the text piece a text (a message's, or a text part's as
// partText gives it) makes: none when nothing is left of it without object
// replacement characters.
std::optional<Key> textPieceKey(const QString& address, int date, int fromMe, const QString& text);

// A piece of a message to find among the pieces a phone holds: its key,
// and a media piece's file and name (no bytes for a text or bare piece,
// which its key stands for).
struct Sought {
    Key key;
    PartRef part;
};
// A part of a message as it goes to a phone or comes back: a text part's
// text, or a media part's file.
struct MessagePart {
    QString mime;
    QString text;
    PartBytes* bytes = nullptr;
    QString name;
};
// The pieces a phone keeps of a message (address: canonical): its text
// without object replacement characters, each text part's and each media
// part, in that order; a message of none of these is one bare piece.
QList<Sought> piecesOf(const QString& address, int date, int fromMe, const QString& text,
                       const QList<MessagePart>& parts);
// A text part's text as a phone keeps it and a load stores it (the file's
// bytes as UTF-8); empty when it holds no more than white space.
QString partText(const QString& path);

// The pieces a phone holds of messages, as its cache knows them: the one
// place that says whether the phone holds a message. The transfer asks it
// of each message it would send ("already on the phone"), the load of each
// message the phone gives back (a message a transfer sent), so that what
// the transfer would not send, the load recognises, and the other way
// round. Pieces are paired as pairParts pairs parts.
class HeldPieces {
public:
    // Adds a piece of held message message (a number of the caller's); a
    // media piece with its file and name. Returns the piece's index.
    int addText(const Key& key, int message);
    int addMedia(const Key& key, int message, const PartBytes& bytes, const QString& name);
    bool isEmpty() const { return m_pieces.empty(); }
    void clear();
    bool holds(const Key& key) const;
    int messageOf(int index) const { return m_pieces[size_t(index)].message; }
    // A media piece's file; null for a text or bare piece.
    PartBytes* bytesOf(int index) { return m_pieces[size_t(index)].bytes; }

    // The pieces whose copies must be worked out to tell whether sought is
    // held (see matchParts), appended to toWorkOut.
    void collectEncodings(const QList<Sought>& sought, QList<PartBytes*>* toWorkOut);
    // Finds for each of sought the piece it is, among those of message (any
    // when -1): the indexes, in sought's order; nothing when one of sought
    // is not held. A held piece stands for every message of its key and
    // content, as a store keeps one message of one text, or one picture, of
    // a correspondent and second, however many the phone lists.
    std::optional<QList<int>> find(const QList<Sought>& sought, int message = -1);

private:
    struct Piece {
        Key key;
        int message = 0;
        PartBytes* bytes = nullptr;
        QString name;
    };
    int add(const Key& key, int message, PartBytes* bytes, const QString& name);
    // The indexes of the pieces of key.
    const QList<int>& ofKey(const Key& key) const;

    std::vector<Piece> m_pieces;
    std::deque<PartBytes> m_files;
    QHash<Key, QList<int>> m_byKey;
};

// A piece of a stored message.
struct Piece {
    Key key;
    // A media piece's name as the store holds it (the phone's, or the
    // file's), its file (empty for a text or bare piece), its MIME type,
    // what the store records of its bytes (unknown when nothing) and of
    // their identity, and its attachment row with the filename it holds.
    QString name;
    QString path;
    QString mime;
    PartContent content;
    PartIdentity identity;
    qint64 attachment = 0;
    QString filename;
    bool isMedia() const { return !path.isEmpty() || !mime.isEmpty(); }
    // Adds the piece to held, as a piece of held message message.
    int addTo(HeldPieces& held, int message) const;
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
