// The store writer: copies messages with their chats, handles and
// attachment files into the message store of a folder, leaving out what the
// store already holds. The one way messages enter a store.
//
// A message is the one the store holds when its pictures and other parts
// are the same pictures (samePart: the same bytes, or a copy a transfer
// made of one side), never merely the same names: one with the same logic
// hash or guid whose parts differ is another message, and one of the same
// correspondent, time, direction and text whose parts are the same
// pictures is this one under other names. A part whose bytes are not known
// on one side (its file missing, its row silent) is taken by its name.
// What the comparisons work out (what a transfer sends of a picture) and
// what a part is known as (the picture it is a copy of) stays with the
// store (kIdentityTable).
// A new message whose logic hash or guid another message holds is stored
// under names and guids of its own: its parts' file names get a tag made
// from their bytes ("photo-1a2b3c4d.jpg"), which gives it a logic hash of
// its own, so that one logic hash never names two messages of a store. A
// part whose path holds another file, or is named by another row whose
// file is gone, is told apart the same way. For a message the store holds
// already, a part whose file the store lacks is copied in from the message
// given.
//
// begin() first removes what a writer that was killed half-way left in the
// store's attachment folder, as that writer's journal records it (see
// AttachmentFiles), when the store is sound enough to tell which of those
// files its rows name.
//
// Everything a writer does between begin() and the commit is one unit: the
// rows in one transaction, and the attachment files, which go in under a
// temporary name beside their target and are renamed into place. Nothing is
// flushed to disk per file; the commit flushes once before the store
// commits. When the store does not commit (rollback(), a failure, or the
// writer destroyed without end()), the files placed since begin() are
// removed again. When it commits, the files of the attachment rows the unit
// deleted (a producer removing messages through store()) go, unless a row
// still names them.
#pragma once

#include "messagestore/attachmentfiles.h"
#include "messagestore/ios6messagedb.h"
#include "platform/transaction.h"
#include "records/absformatexport.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QString>

class ExportMessagesDb : public AbsFormatExport<_MsgMessage> {
public:
    // The store of the folder, migrated when first touched.
    ExportMessagesDb(const QDir& folder, const QString& mcc);
    // Destroys the store; a transaction still open is not committed and the
    // files placed in it are removed. (Writes made without begin() are
    // committed one by one, their files with them.)
    ~ExportMessagesDb() override;

    // Opens the store and begins one transaction.
    void begin() override;
    // Writes one message (see the caller's contract in the class comment).
    // Failures propagate; nothing is committed until end().
    void write(const _MsgMessage& msg) override;
    // What one write did.
    struct Written {
        qint64 rowid = 0; // the stored message; 0: left out (no or unknown chat)
        QString logicHash; // as the store holds the message
        bool inserted = false; // false: the store held it already
        int partsMissing = 0; // its parts whose file the store lacks afterwards
    };
    // The same with the message's logic hash at hand: logicHash must be
    // makeLogicHash(&msg).
    Written write(const _MsgMessage& msg, const QString& logicHash);
    // commit(), then closes the store.
    void end() override;

    // Writes what write() holds back until the commit (each chat's newest
    // date), flushes the attachment files placed so far to disk (once) and
    // commits. Returns false when the transaction had been rolled back, so
    // that nothing was committed; the files placed since begin() are then
    // removed, as they are when the commit throws. Nothing happens (true)
    // without an open transaction.
    bool commit();
    // Rolls the transaction back and removes the files placed since begin().
    void rollback();

    // With take set, the attachments' local files are the writer's to take:
    // a file lying in its target's folder (see stageAttachment) is renamed
    // into place instead of copied. A file whose target exists already is
    // left where it is.
    void setTakesLocalFiles(bool take) { m_takesLocalFiles = take; }
    // For a producer that writes an attachment's data itself: a new path in
    // the folder where the file of an attachment with this filename (as the
    // store holds it) will lie; the folder is made. Write the data there,
    // give the path as the attachment's local path with setTakesLocalFiles,
    // and it is renamed into place. A staged file that is not taken is
    // removed at the commit, or by the caller. Empty when the store path is
    // refused or the folder cannot be made.
    QString stageAttachment(const QString& filename);

    IOS6MessageDb& store() { return m_db; }
    // Gives the attachment row, whose file lies at filename (as the store
    // holds it), the file at path instead, which holds content and is
    // known as identity (a phone's copy of the picture the row held): it
    // goes in beside the old one, which leaves at the commit unless a row
    // still names it. False when the store could not take the file.
    bool replaceStoredFile(qint64 attachmentId, const QString& filename, const QString& path,
                           const PartContent& content, const PartIdentity& identity);
    // Attachment copies skipped or failed during this writer's life.
    int skippedAttachmentCopies() const { return m_skippedCopies; }
    // The file names of the parts of written messages whose file the store
    // lacks after their write (a missing source, a refused path, a failed
    // copy), in the order met, during this writer's life.
    const QStringList& partsMissing() const { return m_partsMissing; }

private:
    // What a look-up by key searches: messages by logic hash or guid,
    // attachments by guid.
    enum class Key : size_t { LogicHash = 1, MessageGuid, AttachmentGuid, HandleDate };

    // Removes the files that the journals of earlier units that never
    // finished (their writer killed) record and that no attachment row
    // names; nothing when the store was missing or empty, has no attachment
    // table or fails SQLite's quick check. mark: the store's storeMark().
    void removeUnfinishedWrites(bool hasAttachments, qint64 mark);
    // A number that only grows while the store keeps its attachment rows.
    qint64 storeMark(bool hasAttachments);
    // Collects the filenames of the attachment rows deleted in this
    // connection (m_released).
    void watchDeletedAttachments();
    // Every local path an attachment row names, case-folded.
    QSet<QString> namedFiles();
    qint64 ensureHandle(const _MsgHandle& handle, qint64 chatId);
    struct Part;
    struct Stored;
    // The stored message that msg is (see the class comment), 0 when none;
    // *parts then pairs each of msg's parts with the stored one it is.
    qint64 findSame(const _MsgMessage& msg, const QString& logicHash, qint64 senderId, QList<Part>& incoming,
                    Stored* stored);
    bool sameParts(QList<Part>& incoming, Stored& stored);
    // Records what the comparison of a stored message learnt of its files
    // (same: its parts are those given, paired by sameParts).
    void keepWhatWasLearnt(QList<Part>& incoming, Stored& stored, bool same);
    // The incoming part's file as the comparisons know it (read once per
    // file and writer).
    PartBytes& bytesOf(Part& part);
    PartContent contentOf(Part& part);
    // What the stored attachment's file holds, recorded in its row once read.
    PartContent contentOf(IOS6MessageDb::StoredAttachment& stored);
    // Gives msg's parts names and guids no other file of the store holds,
    // and msg a logic hash and guid of its own (see the class comment).
    void makeDistinct(_MsgMessage& msg, QList<Part>& parts, QString* logicHash);
    // Copies the file of a part the store holds into the stored row's place
    // when the store lacks it (the row then says what the file given
    // holds); false when it lacks it still.
    bool completeStoredPart(Part& part, IOS6MessageDb::StoredAttachment& stored, PartBytes& storedBytes);
    // Whether an attachment row names the file at localPath (case aside),
    // as far as this unit knows; noteNamed adds one it made name a file.
    bool isNamed(const QString& localPath);
    void noteNamed(const QString& localPath);
    // Places the part's file at the path of filename (the part's own when
    // empty); false when the store lacks the file afterwards. A path that
    // would leave the store counts as skipped.
    bool writeAttachmentFile(Part& part, const QString& filename = QString());
    void notePartMissing(const QString& filename);
    // False only when the store cannot hold a row with this key (see
    // m_startedEmpty): its look-up would find nothing.
    bool mayExist(Key kind, const QString& key) const;
    void noteInserted(Key kind, const QString& key);

    IOS6MessageDb m_db;
    AttachmentFiles m_files;
    int m_skippedCopies = 0;
    QStringList m_partsMissing;
    // What the files given as sources hold, and what a transfer sends of
    // them where that was worked out, by path.
    QHash<QString, PartContent> m_sourceContent;
    QHash<QString, PartContent> m_sourceSent;
    // The local paths attachment rows name, case-folded, once asked for in
    // this unit (see isNamed).
    QSet<QString> m_named;
    bool m_namedKnown = false;
    bool m_takesLocalFiles = false;
    // The store's transaction, between begin() and the commit or rollback.
    Transaction<IOS6MessageDb> m_unit;
    // Chat rowid -> the newest date of the messages inserted into it since
    // begin(), written once per chat by commit().
    QHash<qint64, int> m_chatLast;
    // The store held no message and no attachment at begin(): every row
    // those tables hold since came from this writer, whose keys are noted
    // (as hashes) in m_insertedKeys. A key not noted cannot be found, so the
    // look-up is skipped; a noted one (or a hash collision) is looked up.
    bool m_startedEmpty = false;
    // The highest message rowid at begin(): rows above it (the store counts
    // rowids up) were inserted by this unit.
    qint64 m_lastRowidBefore = 0;
    QSet<size_t> m_insertedKeys;
    // The filenames of the attachment rows deleted since begin().
    QStringList m_released;
};
