// Brings the phone's SMS and MMS into its cache message store, incrementally:
// each phone message is known by a key made from its content; a key stored
// by an earlier load is not written or transferred again, and messages whose
// key the phone no longer reports are removed at the end.
//
// One phone message may become several stored messages (its text, each text
// part, each picture or other media part); the table "parent_hash" records
// which stored message (child) came from which phone key (parent), and
// "valid_hash" holds the keys the phone reported during the current load.
//
// A message a transfer wrote into the cache (noted in its table of sent
// messages) is recorded as the phone's when the phone gives it back,
// instead of being stored a second time under the load's own file names.
//
// A message whose attachment data arrives damaged (a line that is not
// Base64) is stored not at all and fetched again by the next load; the load
// still succeeds and says how many messages it skipped.
#pragma once

#include "messagestore/exportmessagesdb.h"
#include "phonelink/androidloadthread.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <functional>

struct _MsgMessage;
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
namespace messagepieces {

// A part as the phone knows it.
struct Part {
    QString name;
    QString mime;
};

// The name a load gives a part the phone names phoneName: one file name
// ("Unknown2" when nothing of it is left), with the suffix its type implies
// when it has none.
QString partName(const QString& phoneName, const QString& mime);
// Whether a load keeps a part of this type as a piece of its own (text
// parts become text; parts without a type and application data are
// dropped).
bool isMediaPart(const QString& mime);
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

} // namespace messagepieces

class AndroidLoadMessagesThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadMessagesThread(AndroidDeviceInfo* device, JobReport* progress, QObject* parent = nullptr);
    ~AndroidLoadMessagesThread() override;

    // Seconds since 2001-01-01 of a phone time in milliseconds since 1970,
    // computed in 64 bits and kept within the store's 32-bit column.
    static int iosSecondsFromPhoneMs(qint64 ms);

    ExportMessagesDb& writer() { return m_store; }
    // Messages of the last load left unstored because of damaged attachment data.
    int skippedMessages() const { return m_skippedMessages; }

protected:
    void load() override;
    void cleanupAfterFailure() override;

private:
    struct ReceivedPart;

    void ensureTables();
    void readBatch();
    void receiveMessage(const QString& fields);
    // place: the message's place in its group (0 when it takes the
    // group's key), number: the part's among the message's parts, names:
    // the file names its earlier parts took.
    void receiveAttachment(ReceivedPart& part, const QString& key, int place, int number, QSet<QString>& names);
    void storePart(_MsgMessage& msg, const QString& key, const ReceivedPart& part);
    // Writes the message (hash: its logic hash) and records that it came
    // from the phone message with this key; a message a transfer wrote
    // that the phone gave back is recorded instead of being written again.
    void writeAndRecord(_MsgMessage& msg, const QString& key, const QString& hash);
    // The logic hash of the message a transfer wrote that msg is a piece
    // of, taken from m_unclaimed; empty when there is none.
    QString claimTransferred(const _MsgMessage& msg, const QString& hash);
    // The key of the message at place (from 1) of a group of size.
    static QString groupKey(const QString& hash, int place, int size);
    // Settles the keys of the groups once the load has seen them whole.
    void finishGroups();
    void readRecordedKeys();
    // valid_hash gets the keys the phone reported during this load.
    void writeReportedKeys();
    void removeGoneMessages();
    // Drops from kSentTable the messages recorded as the phone's now.
    void forgetClaimedSent();
    void removeEmptyChats();

    int m_total = -1;
    int m_done = 0;
    int m_skippedMessages = 0;
    // The phone keys recorded in parent_hash before this load, how many of
    // them the phone reported again, and the keys written by this load.
    QSet<QString> m_recordedKeys;
    QSet<QString> m_writtenKeys;
    qsizetype m_earlierKeys = 0;
    qsizetype m_reportedEarlierKeys = 0;
    // Every key the phone reported in this load, repeats included, written
    // to valid_hash at the end.
    QStringList m_reportedKeys;
    // Uses of each key during this load, for telling apart messages that
    // share one.
    QHash<QString, int> m_keyUses;
    // Groups of messages sharing a key (see receiveMessage): the size an
    // earlier load recorded for each (-1: unknown), and the members of this
    // load that took keys of their own.
    struct GroupMember {
        int place;
        QString key;
    };
    QHash<QString, int> m_previousSize;
    QHash<QString, QList<GroupMember>> m_members;
    // The messages transfers wrote into the cache that no load recorded yet,
    // by the keys of their pieces (logic hashes, one per piece), and the
    // (child, key) pairs recorded for them during this load.
    QHash<QString, QStringList> m_unclaimed;
    QSet<std::pair<QString, QString>> m_claimed;
    ExportMessagesDb m_store;
};
