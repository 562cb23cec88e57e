// Sends SMS and MMS messages with their attachment files to a phone through
// the Phone Agent's "mms2" restore session, and records what the phone
// acknowledged in that phone's cache message store, so that a later
// transfer of the same messages sends nothing twice.
//
// The session: a default-app handshake (the phone may ask the user to make
// the agent the default SMS app for the transfer), then batches of at most
// 100 messages, each a "$sms:" line followed by the attachments it
// announces. A message the cache holds already, or one sent earlier in the
// same batch, is not sent again; the result counts as restored only what
// the phone did not hold before, and says so when that is nothing. Each
// part goes under the name the phone it came from gave it. Whether the
// phone holds a message is asked of the message as it would go (without
// the attachments that cannot) by the rule the load recognises what the
// phone gives back by (messagekeys::HeldPieces): a message that went there
// before and came back with a load is known under the load's file names
// too, and a picture counts as held only where the cache holds the same
// picture (samePart): its bytes, a copy a transfer made of it, or the
// picture it is a copy of; another picture of the same name, number and
// second does not stand for it. What goes is decided from the two stores
// before the phone is asked for anything: the pictures that must be
// encoded to be compared are encoded on every core meanwhile (the progress
// shows it), and what that teaches is kept in the cache. The cache records
// each message as it went, and what each picture was sent as, for the next
// load to know it by.
//
// The cache learns a batch only from the phone's acknowledgement; the run's
// one cache transaction is committed also after a cancel or a failure of
// the session, so the cache keeps exactly the acknowledged messages (a
// failure of the cache itself keeps nothing of the run), each noted in the
// cache's table of sent messages for the next load to recognise. The
// pictures that go are encoded on every core before the session opens too
// (the session only sends them), and the cache is written on a thread of
// its own while the transfer goes on. Attachments that cannot be sent (a
// missing or unreadable file, a type or name that cannot travel as one
// line) are decided before the "$sms:" line that counts them, left out and
// named in the result. Group events, system messages and messages without
// a counterpart cannot be sent; the result counts them.
#pragma once

#include "messagestore/msgrecords.h"
#include "messagestore/partcontent.h"

#include <QByteArray>
#include <QFuture>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <deque>
#include <memory>
#include <vector>

class AndroidDeviceInfo;
class ExportMessagesDb;
class IOS6MessageDb;
class PartBytes;
class JobReport;
class QTcpSocket;

class AndroidRestoreMessagesThread : public QThread {
    Q_OBJECT

public:
    // Messages per batch.
    static constexpr int kBatchSize = 100;
    // Bytes of a file per data line.
    static constexpr qint64 kBlockBytes = 0x80000;

    // target and progress are not owned; the records stay the caller's and
    // must not change or go until the job has ended.
    AndroidRestoreMessagesThread(AndroidDeviceInfo* target, const MsgMessageList& messages, JobReport* progress,
                                 QObject* parent = nullptr);
    ~AndroidRestoreMessagesThread() override;

protected:
    void run() override;

private:
    void restore();
    // What went of a message: its attachments that went, and what its
    // media parts were sent as, in order.
    struct SentParts {
        QList<const _MsgAttachment*> went;
        QList<PartContent> media;
    };
    struct CachedPieces;
    struct Outgoing;
    // Fills goes and held, in these steps.
    void decideWhatGoes();
    QList<Outgoing> messagesAsTheyGo(IOS6MessageDb& store, std::deque<PartBytes>& files);
    CachedPieces readCachedPieces(IOS6MessageDb& store, const QList<Outgoing>& outgoing);
    void workOutEncodings(CachedPieces& cached, const QList<Outgoing>& outgoing);
    // copies: the source's pictures and the pieces of the cache they were
    // found to be.
    void markHeld(CachedPieces& cached, const QList<Outgoing>& outgoing,
                  std::vector<std::pair<PartBytes*, int>>* copies);
    void keepWhatWasLearnt(IOS6MessageDb& store, CachedPieces& cached, std::deque<PartBytes>& files,
                           const std::vector<std::pair<PartBytes*, int>>& copies);
    void handshake();
    // False when nothing of the message could be sent (it is not sent).
    bool sendMessage(const _MsgMessage& msg, SentParts* sent);
    // What was sent of the attachment's data (unknown: nothing).
    PartContent sendAttachment(const _MsgAttachment& att);
    // The file's bytes as Base64 lines of kBlockBytes; false when it does
    // not open.
    bool sendFile(const QString& path, PartHasher* hasher);
    void sendDataLine(const QByteArray& bytes);
    // Encodes every picture that goes (prepared), before the session.
    void prepareImages();
    // Hands the batch to the cache's thread (after the previous batch).
    void recordBatch(const MsgMessageList& acknowledged, const QList<SentParts>& sent);
    void writeBatch(const MsgMessageList& acknowledged, const QList<SentParts>& sent);
    // Waits for the cache's thread; throws what failed there.
    void finishRecording();
    // Commits the run's cache transaction and closes the store.
    void commitCache();
    QString resultText(int done) const;
    void cleanUp();

    AndroidDeviceInfo* target;
    MsgMessageList messages; // what can be sent, oldest first
    JobReport* progress;
    int skipped = 0; // given messages the phone cannot take
    std::unique_ptr<ExportMessagesDb> cacheWriter;
    QTcpSocket* socket = nullptr; // the session's, only during run()
    QByteArray block; // read buffer for attachment files
    QList<bool> goes; // per message: to be sent
    // What each picture that goes is sent as, in a file of preparedDir; a
    // picture not in it goes as it is.
    std::unique_ptr<QTemporaryDir> preparedDir;
    QHash<const _MsgAttachment*, QString> prepared;
    QThreadPool recorder; // one thread: the cache writes, batch after batch
    QFuture<void> recording; // the batch being written
    QString recordError; // why the cache could not be written
    bool sentTableMade = false; // the cache has its tables of sent messages (cache's thread only)
    bool switched = false; // the phone asked to become the default SMS app
    int unsent = 0; // messages of which nothing could be sent
    int held = 0; // messages the phone held before the run, as its cache knows it
    QStringList leftOut; // attachments not sent, by file name
};
