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
