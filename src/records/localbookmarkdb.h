// The bookmarks file of a local backup or device cache folder.
#pragma once

#include "records/absdb.h"
#include "records/bookmarkrecord.h"

#include <QList>

class IBookmarkDb {
public:
    virtual ~IBookmarkDb() = default;
    // The top-level records with their subtrees; the caller owns them.
    virtual QList<BookmarkRecord*> loadAll() = 0;
};

class LocalBookmarkDb : public AbsLocalDb, public IBookmarkDb {
public:
    explicit LocalBookmarkDb(const QString& path);

    void open() override;
    QList<BookmarkRecord*> loadAll() override;

    // Bookmarks only, folders not counted; 0 on any error.
    qint64 countBookmarks();

    // Stores a bookmark, or a folder with its subtree, below the chain of
    // folder titles it has in memory, in one nested transaction. Records
    // for which a row was written are appended to inserted (not owned).
    // Storing the same selection again writes nothing new.
    void addBookmarkWithParents(BookmarkRecord* record, QList<BookmarkRecord*>* inserted);

    // The steps of addBookmarkWithParents; parentId 0 is the top level.
    qint64 addBookmark(qint64 parentId, BookmarkRecord* record, QList<BookmarkRecord*>* inserted);
    qint64 addFolder(qint64 parentId, BookmarkRecord* record, QList<BookmarkRecord*>* inserted);
    qint64 ensureFolderPath(BookmarkRecord* folder, QList<BookmarkRecord*>* inserted);
    void addBookmarkTree(qint64 parentId, BookmarkRecord* record, QList<BookmarkRecord*>* inserted);

    // Deletes the record's row and those of its loaded subtree. Runs inside
    // the caller's transaction (beginTran opens the file).
    void deleteBookmark(const BookmarkRecord* record);

private:
    qint64 findOrAdd(qint64 parentId, bool asFolder, BookmarkRecord* record, QList<BookmarkRecord*>* inserted);
};
