// The attachment files that one transaction of the store writer puts into a
// store folder. Each file goes in under a temporary name beside its target
// and is renamed into place, so a target name never holds half a file; none
// is flushed to disk on its own. sync() makes them all durable with one
// flush before the store commits; rollback() removes them again, with the
// folders made for them, when the store does not commit, so that no file is
// left under a name the store does not reference.
#pragma once

#include <QList>
#include <QSet>
#include <QString>

class AttachmentFiles {
public:
    // root: the store folder (its file system is the one flushed).
    explicit AttachmentFiles(const QString& root);
    // Removes what was placed and not committed (see rollback()).
    ~AttachmentFiles();
    AttachmentFiles(const AttachmentFiles&) = delete;
    AttachmentFiles& operator=(const AttachmentFiles&) = delete;

    // A new, unused path beside target (its folder made) for a producer that
    // writes the data itself and then has it placed with take set. Empty
    // when the folder cannot be made. Staged files that are never placed go
    // at commit() or rollback(), with the folders made for them.
    QString stage(const QString& target);

    enum class Result { Placed, TargetExists, Failed };
    // Puts the file at target unless something is there already. With take
    // set the file is the caller's to give: it is renamed to target when it
    // lies in target's folder (a staged file does); otherwise it is copied
    // to a temporary name beside target, which is then renamed to target.
    // A copy keeps the source's permissions. Failed sets *error.
    Result place(const QString& source, const QString& target, bool take, QString* error);

    // One flush of the file system for everything placed since the last
    // one. Throws std::runtime_error when the flush fails.
    void sync();
    // The files placed stay; staged files never placed go.
    void commit();
    // Every file placed or staged since the last commit() goes, newest
    // first, and then each folder made for one of them while it is empty.
    void rollback();

    // What a writer killed half-way leaves: every file below folder whose
    // path is not in named (in any case) goes, and so does every temporary this class
    // makes beside a named file elsewhere; then the folders below folder
    // that this left empty. Nothing else is touched (symbolic links are
    // removed as links, never followed). Returns how many files went.
    static int removeUnnamed(const QString& folder, const QSet<QString>& named);

private:
    struct Entry {
        QString path; // the target once placed, else the staged path
        QString madeFolder; // outermost folder made for it, empty when none
        bool placed = false;
    };

    // Makes the folder of path; remembers the outermost folder it made.
    bool makeFolderOf(const QString& path, QString* made);
    static bool copyBeside(const QString& source, const QString& target, QString* error);
    static void removeWithFolders(const Entry& entry);

    QString m_root;
    QList<Entry> m_entries;
    bool m_dirty = false;
};
