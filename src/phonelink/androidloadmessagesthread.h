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
// Messages that differ only in their pictures (several pictures from one
// number within one second, as phones list a message of several pictures)
// share a key: a group, whose members are told apart by their place in the
// listing. When a group lost a member, or a member's picture turned out to
// be one the cache held under another place, the places no longer tell
// which stored picture is which: the load then lists the phone once more
// and fetches that group's pictures, so that the cache keeps exactly what
// the phone holds, known by the pictures' bytes.
//
// A message a transfer wrote into the cache (noted in its table of sent
// messages, as it went: without the parts that could not go) is recorded
// as the phone's when the phone gives it back, instead of being stored a
// second time under the load's own file names. The load recognises it by
// the rule the transfer decides "already on the phone" by
// (messagekeys::HeldPieces): its text, its text parts, its pictures as the
// same picture (samePart: as a rule the bytes that were sent), or, for a
// message of none of these, its correspondent and second; another picture
// of the same name, number and second is stored as the phone's own. The
// cache then holds the phone's copy, known as a copy of the picture it
// held, so that it holds what a load into a new cache would.
//
// Only a whole listing says what the phone no longer holds: one that ended
// as agreed ("$bye:"), none of whose message lines arrived garbled, and
// that delivered exactly the total its last count line announced or
// announced none (no count line, 0, or not a number). After it, what the
// phone did not give back leaves the cache (a transfer's message too,
// which the next transfer then sends again). After a listing that ended
// short of the total it announced or ran past it, or held a garbled line,
// nothing leaves the cache, and the load says so.
//
// A message one of whose files the cache lost is fetched again.
//
// A message whose attachment data arrives damaged (a line that is not
// Base64), or one of whose files the cache could not take, is not recorded
// as stored and is fetched again by the next load; the load still succeeds
// and says how many messages it did not receive intact.
#pragma once

#include "messagestore/exportmessagesdb.h"
#include "phonelink/androidloadthread.h"
#include "phonelink/messagekeys.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <deque>

struct _MsgMessage;

class AndroidLoadMessagesThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadMessagesThread(AndroidDeviceInfo* device, JobReport* progress, QObject* parent = nullptr);
    ~AndroidLoadMessagesThread() override;

    // Seconds since 2001-01-01 of a phone time in milliseconds since 1970,
    // computed in 64 bits and kept within the store's 32-bit column.
    static int iosSecondsFromPhoneMs(qint64 ms);

    ExportMessagesDb& writer() { return m_store; }
    // Messages of the last load not received intact (damaged attachment
    // data, or a file the cache could not take).
    int skippedMessages() const { return m_skippedMessages; }

protected:
    void load() override;
    void cleanupAfterFailure() override;

private:
    struct ReceivedPart;
    // The first listing of the phone, or the second one that fetches the
    // pictures of the groups the first could not settle.
    enum class Pass { First, Settle };

    void ensureTables();
    // Notes what the files of attachment rows that do not say it hold.
    void recordMissingContents();
    // True when the listing was whole (see above).
    bool listPhone(Pass pass);
    void readBatch(Pass pass);
    void receiveMessage(const QString& fields, Pass pass);
    // place: the message's place in its group (0 when it takes the
    // group's key), number: the part's among the message's parts, names:
    // the file names its earlier parts took; stage: the data goes straight
    // into the folder its file will lie in.
    void receiveAttachment(ReceivedPart& part, const QString& key, int place, int number, QSet<QString>& names,
                           bool stage);
    // Stores the part as a message of its own; returns the stored message's
    // logic hash (empty when nothing was stored).
    QString storePart(_MsgMessage& msg, const ReceivedPart& part, const QString& group, const QString& key,
                      bool* complete);
    // Writes the message (hash: its logic hash). Returns the stored
    // message's logic hash; *complete turns false when the store lacks one
    // of its files.
    QString writePiece(_MsgMessage& msg, const QString& hash, bool* complete, bool* inserted);
    // Records that the stored messages came from the phone message with
    // this key (one that the load could not store whole under a key the next
    // load does not know, so that it is fetched again).
    void record(const QStringList& children, const QString& key, bool complete);
    // Whether msg, as the phone gives it back with its parts received, is
    // what transfers sent (m_unclaimed, by the rule the transfer decides
    // by): children then gets the logic hashes of the messages it is. A
    // picture the phone holds as another copy than the cache (re-encoded
    // when sent) is the phone's copy in the cache from then on; *complete
    // turns false when the cache could not take it.
    bool claimTransferred(const _MsgMessage& msg, const std::deque<ReceivedPart>& received, QStringList* children,
                          bool* complete);
    void takePhonesCopy(PartBytes& phone, PartBytes& held, int index, bool* complete);
    // The key of the message at place (from 1) of a group of size.
    static QString groupKey(const QString& hash, int place, int size);
    // The group a key belongs to (its hash).
    static QString groupOf(const QString& key);
    // Decides after the first listing which groups need the second.
    void findUnsettledGroups();
    // Readies the second listing: what the first recorded of those groups
    // goes unless the second records it again.
    void releaseUnsettledGroups();
    // Keeps for this load what the groups whose pictures did not all arrive
    // intact in the second listing held before.
    void keepIncompleteGroups();
    // Settles the keys of the groups once the load has seen them whole.
    void finishGroups();
    void readRecordedKeys();
    void readUnclaimed();
    // valid_hash gets the keys the phone reported during this load.
    void writeReportedKeys();
    void removeGoneMessages();
    // Removes the messages a transfer wrote that a whole listing of the
    // phone did not give back: the phone does not hold them.
    void removeUnclaimedSent();
    void removeStoredMessage(qint64 rowid);
    // Notes the keys of the stored messages one of whose files the cache
    // lost (m_lacking): they are fetched again.
    void readLackingKeys();
    // Drops from kSentTable the messages recorded as the phone's now.
    void forgetClaimedSent();
    void removeEmptyChats();

    int m_total = -1;
    int m_done = 0;
    int m_skippedMessages = 0;
    // The phone keys recorded in parent_hash before this load, how many of
    // them the phone reported again, and the keys written by this load.
    QSet<QString> m_recordedKeys;
    QSet<QString> m_lacking;
    QSet<QString> m_writtenKeys;
    qsizetype m_earlierKeys = 0;
    qsizetype m_reportedEarlierKeys = 0;
    // Every key the phone reported in this load, repeats included, written
    // to valid_hash at the end.
    QStringList m_reportedKeys;
    // Uses of each key during the current listing, for telling apart
    // messages that share one, and each group's size as the listing that
    // settled it found.
    QHash<QString, int> m_keyUses;
    QHash<QString, int> m_groupSizes;
    // Groups of messages sharing a key (see receiveMessage): the size an
    // earlier load recorded for each (-1: unknown), and the members of this
    // load that took keys of their own.
    struct GroupMember {
        int place;
        QString key;
    };
    QHash<QString, int> m_previousSize;
    QHash<QString, QList<GroupMember>> m_members;
    // Groups with a member answered from an earlier load's key where a
    // transfer's message of the same correspondent and second waits to be
    // given back: settled too, so that it is found wherever it is listed.
    QSet<QString> m_sentInto;
    // Groups with a member answered from an earlier load's key, groups with
    // a member whose picture the cache held under another key of the
    // group, and the groups the second listing settles.
    QSet<QString> m_answeredFromRecord;
    QSet<QString> m_shifted;
    QSet<QString> m_unsettled;
    QSet<QString> m_settledIncompletely;
    // The messages transfers wrote into the cache that no load recorded
    // yet, as the phone is to hold them (see messagekeys): their pieces,
    // each message's logic hash, and each media piece's attachment row
    // with the filename that row holds.
    messagekeys::HeldPieces m_unclaimed;
    QStringList m_sentHashes;
    QHash<int, std::pair<qint64, QString>> m_sentFiles;
    // The total the last listing announced (-1: none usable) and what it
    // delivered.
    int m_announced = -1;
    int m_listed = 0;
    // Message lines of the last listing that could not be read.
    int m_unreadable = 0;
    ExportMessagesDb m_store;
};
