#include "bookmarkrecord.h"

#include "shell/core/treedelete.h"

BookmarkRecord::BookmarkRecord(BookmarkRecord* parent, bool isFolder, const QString& title, const QString& url,
                               int order_index, const QString& srcId, qint64 id)
    : id(id)
    , isFolder(isFolder)
    , title(title)
    , url(url)
    , order_index(order_index)
    , srcId(srcId)
    , parent(parent)
{
}

BookmarkRecord::~BookmarkRecord()
{
    // Folders may nest as deep as a database says.
    deleteSubtrees(children);
}

int BookmarkRecord::countItems() const
{
    int n = 0;
    QList<const BookmarkRecord*> pending(children.cbegin(), children.cend());
    while (!pending.isEmpty()) {
        const BookmarkRecord* r = pending.takeLast();
        if (!r->isFolder) {
            ++n;
            continue;
        }
        for (const BookmarkRecord* child : r->children)
            pending.append(child);
    }
    return n;
}

bool bookmarkLessThan(const BookmarkRecord* a, const BookmarkRecord* b)
{
    if (a->order_index != b->order_index)
        return a->order_index < b->order_index;
    return a->title < b->title;
}
