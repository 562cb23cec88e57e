// What a load keeps of a phone's messages, and the keys that tell a message
// the cache holds for one the phone holds.
#pragma once

#include "messagestore/countrylibdb.h"

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
// either the text or the name the phone gives the part (case aside), never
// of what the store adds: the store's file names may carry tags that tell
// apart parts of one name, and a message that went to a phone comes back
// under the phone's names in pieces of its own. Their keys let the transfer
// and the next load know such a message for the one the cache holds.
namespace messagekeys {

// A part as the phone knows it.
struct Part {
    QString name;
    QString mime;
};

// The name a load gives a part the phone names phoneName: one file name
// ("Unknown2" when nothing of it is left), with the suffix its type implies
// when it has none.
QString partName(const QString& phoneName, const QString& mime);
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
// The keys of a message's pieces (address: canonical, text: without object
// replacement characters), in order: the text's, then the parts'.
QStringList keys(const QString& address, int date, int fromMe, const QString& text, const QList<Part>& parts);
// The table of the messages a transfer wrote into a phone's cache, by logic
// hash, until a load records them as coming from the phone.
inline constexpr const char* kSentTable = "sent_hash";
// Which stored messages readStored reads.
enum class Stored { All, SentUnclaimed };
// found(logic hash, keys) for each message of the store that which names,
// its address made canonical with the store's country. Nothing for a store
// without logic hashes (or without kSentTable, for SentUnclaimed).
void readStored(IOS6MessageDb& db, Stored which,
                const std::function<void(const QString& logicHash, const QStringList& keys)>& found);

} // namespace messagekeys
