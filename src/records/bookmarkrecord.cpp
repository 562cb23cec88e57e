#include "bookmarkrecord.h"

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
    qDeleteAll(children);
    children.clear();
}

int BookmarkRecord::countItems() const
{
    int n = 0;
    for (const BookmarkRecord* child : children)
        n += child->isFolder ? child->countItems() : 1;
    return n;
}

bool bookmarkLessThan(const BookmarkRecord* a, const BookmarkRecord* b)
{
    if (a->order_index != b->order_index)
        return a->order_index < b->order_index;
    return a->title < b->title;
}
