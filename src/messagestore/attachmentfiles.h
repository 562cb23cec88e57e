// The attachment files that one transaction of the store writer puts into a
// store folder. Each file goes in under a temporary name beside its target
// and is renamed into place, so a target name never holds half a file; none
// is flushed to disk on its own. sync() makes them all durable with one
// flush before the store commits; rollback() removes them again, with the
// folders made for them, when the store does not commit, so that no file is
// left under a name the store does not reference.
//
// What a unit makes below the store's own attachment folder is noted in a
// journal of its own beside the store before it is made: a temporary by its
// name (and the outermost folder made for it), a file put in place by its
// name and the inode it got, before it is renamed there; and, before the
// commit, the files whose attachment rows the unit deleted. Each line is
// written straight through to the system, so a killed process leaves it
// behind; the one flush before the commit makes the journal durable with
// the files (a file placed just before a power loss may stay unnoted: it
// stays, nothing is lost). commit() and rollback() delete the journal once
// the unit's files are settled. A journal found at the start of a later
// unit was left by a writer killed half-way; removeUnfinished() removes the
// files it records that are still as noted, and nothing else.
#pragma once

#include "messagestore/partcontent.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AttachmentFiles {
public:
    // root: the store folder (its file system is the one flushed);
    // attachments: the store's own attachment folder, below root;
    // journalPrefix: the path of the journals without their unique end.
    AttachmentFiles(const QString& root, const QString& attachments, const QString& journalPrefix);
    // Removes what was placed and not committed (see rollback()).
    ~AttachmentFiles();
    AttachmentFiles(const AttachmentFiles&) = delete;
    AttachmentFiles& operator=(const AttachmentFiles&) = delete;

    // What the store held when the unit began: a number that only grows
    // while the store keeps its rows (see removeUnfinished()). Written into
    // the unit's journal.
    void setStoreMark(qint64 mark) { m_storeMark = mark; }

    // A new, unused path beside target (its folder made) for a producer that
    // writes the data itself and then has it placed with take set. Empty
    // when the folder cannot be made or the journal not written. Staged
    // files that are never placed go at commit() or rollback(), with the
    // folders made for them.
    QString stage(const QString& target);

    enum class Result { Placed, TargetExists, Failed };
    // Puts the file at target unless something is there already. With take
    // set the file is the caller's to give: it is renamed to target when it
    // lies in target's folder (a staged file does); otherwise it is copied
    // to a temporary name beside target, which is then renamed to target.
    // A copy keeps the source's permissions. Failed sets *error. A copy
    // also tells in *copied (when given) what the bytes copied hold.
    Result place(const QString& source, const QString& target, bool take, QString* error,
                 PartContent* copied = nullptr);

    // One flush of the file system for everything placed since the last
    // one. Throws std::runtime_error when the flush fails.
    void sync();
    // Before the commit: the file at path, named by an attachment row that
    // this unit deleted, goes after the commit (removeReleased()) unless a
    // row still names it then. Noted in the journal, so that it goes at the
    // next unit when this process ends in between. False when it is not
    // below the attachment folder or cannot be noted: it stays.
    bool noteReleased(const QString& path);
    // After the commit: removes the files noteReleased() took that isNamed
    // (given an absolute path) does not claim, with the folders they leave
    // empty below the attachment folder. Returns how many went.
    int removeReleased(const std::function<bool(const QString&)>& isNamed);
    bool hasReleased() const { return !m_released.isEmpty(); }
    // The files placed stay; staged files never placed go; the journal goes.
    void commit();
    // Every file placed or staged since the last commit() goes, newest
    // first, and then each folder made for one of them while it is empty;
    // then the journal.
    void rollback();

    // The journals of other units that are still there: of writers killed
    // half-way (or of one that is just deleting its own).
    QStringList unfinishedJournals() const;
    // Removes what the journals record as made by their units where it is
    // still as it was made: temporaries, and files put in place (the same
    // inode) that isNamed (given an absolute path) does not claim; then the
    // folders made for them while empty. A journal whose store mark is above
    // storeMark (the store lost rows since its unit began) removes nothing.
    // Only regular files below the attachment folder go, reached without
    // following a symbolic link. The journals go. Returns how many files
    // went.
    int removeUnfinished(const QStringList& journals, const std::function<bool(const QString&)>& isNamed,
                         qint64 storeMark);
    // Deletes the journals, removing nothing they record.
    static void forget(const QStringList& journals);

    // A file noted in a journal.
    struct Noted {
        enum class Kind { Temporary, Placed, Released };
        Kind kind = Kind::Temporary;
        QString path; // below the attachment folder
        QString made; // the outermost folder made for it that may go, or empty
        quint64 inode = 0; // Placed
    };

private:
    struct Entry {
        QString path; // the target once placed, else the staged path
        QString madeFolder; // outermost folder made for it, empty when none
        bool placed = false;
    };

    // A new temporary beside target, noted in the journal, with target's
    // folder made (the outermost folder made in *made). Empty on failure
    // (*error set).
    QString temporaryFor(const QString& target, QString* made, QString* error);
    bool copyBeside(const QString& source, const QString& temp, const QString& target, QString* error,
                    PartContent* copied);
    // Journal lines; each true when written, or when its path lies outside
    // the attachment folder (nothing is noted there).
    bool noteTemporary(const QString& temp, const QString& made);
    // Before the file of the given inode is renamed to target.
    bool notePlacing(const QString& target, quint64 inode);
    // Appends one line to the unit's journal, which the first line makes.
    bool appendToJournal(const QByteArray& line);
    // Removes the noted files that are still as noted and that isNamed does
    // not claim, then the folders made for them while empty.
    int removeNoted(const QList<Noted>& noted, const std::function<bool(const QString&)>& isNamed) const;
    // path below the attachment folder, empty when it is not.
    QString belowAttachments(const QString& path) const;
    // Deletes the unit's journal.
    void endJournal();
    static void removeWithFolders(const Entry& entry);

    QString m_root;
    QString m_attachments;
    QString m_journalPrefix;
    QFile m_journal;
    qint64 m_storeMark = 0;
    QList<Entry> m_entries;
    QList<Noted> m_released;
    bool m_dirty = false;
};
