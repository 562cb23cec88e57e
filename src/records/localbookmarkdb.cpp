#include "localbookmarkdb.h"

#include "platform/transaction.h"

#include <QDebug>
#include <QHash>

#include <utility>

namespace {

void appendParent(Sqlite3Sql& sql, qint64 parentId)
{
    if (parentId != 0) {
        sql.appendSql(QStringLiteral("=?"));
        sql.addInt64Param(parentId);
    } else {
        sql.appendSql(QStringLiteral(" is null"));
    }
}

void bindParent(Sqlite3Sql& sql, qint64 parentId)
{
    if (parentId != 0)
        sql.addInt64Param(parentId);
    else
        sql.addNullParam();
}

} // namespace

LocalBookmarkDb::LocalBookmarkDb(const QString& path)
    : AbsLocalDb(path)
{
}

void LocalBookmarkDb::open()
{
    openOrCreate(QStringLiteral(":res/local_bookmarks_db.sql"));
}

qint64 LocalBookmarkDb::countBookmarks()
{
    return countOf(QStringLiteral("select count(*) from bookmarks where type=0"));
}

// A bookmark is found by parent and url (url compares ignoring ASCII case,
// as the column is declared), a folder by parent and title. A found row only
// takes the record's position; its title and src_id stay.
qint64 LocalBookmarkDb::findOrAdd(qint64 parentId, bool asFolder, BookmarkRecord* record,
                                  QList<BookmarkRecord*>* inserted)
{
    Sqlite3Sql find(QStringLiteral("select id,order_index from bookmarks where parent"));
    appendParent(find, parentId);
    if (asFolder) {
        find.appendSql(QStringLiteral(" and type=1 and title=?"));
        find.addTextParam(record->title);
    } else {
        find.appendSql(QStringLiteral(" and type=0 and url=?"));
        find.addTextParam(record->url);
    }
    {
        Sqlite3Cursor c = db.queryThrow(find);
        if (c.moveNext()) {
            const qint64 id = c.getInt64(0);
            const int order = c.getInt(1);
            c = Sqlite3Cursor();
            if (order != record->order_index)
                db.executeThrow(
                    QStringLiteral("update bookmarks set order_index=%1 where id=%2").arg(record->order_index).arg(id));
            return id;
        }
    }
    Sqlite3Sql insert(asFolder ? QStringLiteral("insert into bookmarks(parent,type,title,url,order_index,src_id) "
                                                "values(?,1,?,null,?,?)")
                               : QStringLiteral("insert into bookmarks(parent,type,title,url,order_index,src_id) "
                                                "values(?,0,?,?,?,?)"));
    bindParent(insert, parentId);
    insert.addTextParam(record->title);
    if (!asFolder)
        insert.addTextParam(record->url);
    insert.addIntParam(record->order_index);
    insert.addTextParam(record->srcId);
    db.executeThrow(insert);
    if (inserted)
        inserted->append(record);
    return db.lastInsertId();
}

qint64 LocalBookmarkDb::addBookmark(qint64 parentId, BookmarkRecord* record, QList<BookmarkRecord*>* inserted)
{
    return findOrAdd(parentId, false, record, inserted);
}

qint64 LocalBookmarkDb::addFolder(qint64 parentId, BookmarkRecord* record, QList<BookmarkRecord*>* inserted)
{
    return findOrAdd(parentId, true, record, inserted);
}

qint64 LocalBookmarkDb::ensureFolderPath(BookmarkRecord* folder, QList<BookmarkRecord*>* inserted)
{
    // From the top folder down; the chain is listed first, as folders may
    // nest deeper than recursion could follow.
    QList<BookmarkRecord*> chain;
    for (BookmarkRecord* f = folder; f; f = f->parent)
        chain.append(f);
    qint64 parentId = 0;
    for (auto it = chain.crbegin(); it != chain.crend(); ++it)
        parentId = addFolder(parentId, *it, inserted);
    return parentId;
}

void LocalBookmarkDb::addBookmarkTree(qint64 parentId, BookmarkRecord* record, QList<BookmarkRecord*>* inserted)
{
    // Depth first in children order, from a list of pending records with
    // the stored id of their folder.
    QList<std::pair<qint64, BookmarkRecord*>> pending {{parentId, record}};
    while (!pending.isEmpty()) {
        const auto [folderId, r] = pending.takeLast();
        if (!r->isFolder) {
            addBookmark(folderId, r, inserted);
            continue;
        }
        const qint64 id = addFolder(folderId, r, inserted);
        for (auto it = r->children.crbegin(); it != r->children.crend(); ++it)
            pending.append({id, *it});
    }
}

void LocalBookmarkDb::addBookmarkWithParents(BookmarkRecord* record, QList<BookmarkRecord*>* inserted)
{
    openForWriting();
    // A failure ends our own level, so the caller's rollback closes the
    // whole unit.
    Transaction<Sqlite3DB> tran(db);
    qint64 parentId = 0;
    if (record->parent)
        parentId = ensureFolderPath(record->parent, inserted);
    addBookmarkTree(parentId, record, inserted);
    tran.commit();
}

void LocalBookmarkDb::deleteBookmark(const BookmarkRecord* record)
{
    // The record and everything below it, walked without recursion.
    QList<const BookmarkRecord*> pending {record};
    while (!pending.isEmpty()) {
        const BookmarkRecord* r = pending.takeLast();
        for (const BookmarkRecord* child : r->children)
            pending.append(child);
        db.executeThrow(QStringLiteral("delete from bookmarks where id=%1").arg(r->id));
    }
}

QList<BookmarkRecord*> LocalBookmarkDb::loadAll()
{
    openForReading();
    QList<BookmarkRecord*> roots;
    QHash<qint64, BookmarkRecord*> folders;
    try {
        Sqlite3Cursor c = db.queryThrow(
            QStringLiteral("select id,parent,type,title,url,order_index,src_id from bookmarks where id > 0 "
                           "order by parent asc, type asc, order_index asc, id asc"));
        while (c.moveNext()) {
            const qint64 id = c.getInt64(0);
            const qint64 parentId = c.getInt64(1);
            const bool isFolder = c.getInt(2) == BOOKMARK_TYPE_FOLDER;
            BookmarkRecord* parent = nullptr;
            if (parentId != 0) {
                parent = folders.value(parentId);
                if (!parent) {
                    qDebug() << "bookmark" << id << "skipped: its folder" << parentId << "is not stored";
                    continue;
                }
            }
            auto* record = new BookmarkRecord(parent, isFolder, c.getText(3), isFolder ? QString() : c.getText(4),
                                              c.getInt(5), c.getText(6), id);
            if (parent)
                parent->children.append(record);
            else
                roots.append(record);
            if (isFolder)
                folders.insert(id, record);
        }
    } catch (...) {
        qDeleteAll(roots);
        throw;
    }
    return roots;
}
