// One node of a phone's bookmark tree: a folder or a bookmark.
#pragma once

#include <QList>
#include <QString>

enum BookmarkType { BOOKMARK_TYPE_BOOKMARK = 0, BOOKMARK_TYPE_FOLDER = 1 };

struct BookmarkRecord {
    // Does not add itself to parent->children: the builder does that.
    BookmarkRecord(BookmarkRecord* parent, bool isFolder, const QString& title, const QString& url, int order_index,
                   const QString& srcId, qint64 id = 0);
    // Deletes the whole subtree.
    ~BookmarkRecord();
    BookmarkRecord(const BookmarkRecord&) = delete;
    BookmarkRecord& operator=(const BookmarkRecord&) = delete;

    // Number of bookmarks anywhere below this record (folders not counted,
    // the record itself not counted).
    int countItems() const;

    qint64 id = 0; // row id in "bookmarks" when read from a database
    bool isFolder = false;
    QString title;
    QString url; // empty for a folder
    int order_index = 0; // position among its siblings
    QString srcId; // id at the source (the phone)
    BookmarkRecord* parent = nullptr; // not owned; null at the top level
    QList<BookmarkRecord*> children; // owned
};

// Sibling order: by order_index, then by title. A strict weak order; equal
// records keep their places under a stable sort.
bool bookmarkLessThan(const BookmarkRecord* a, const BookmarkRecord* b);
