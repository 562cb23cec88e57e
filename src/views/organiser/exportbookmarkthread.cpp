#include "exportbookmarkthread.h"

#include "records/bookmarkrecord.h"
#include "views/organiser/itemmodelbookmark.h"

namespace {

// Bookmarks below and including the records, each record counted once even
// when the tree loops or a record is listed twice.
int countBookmarks(const QList<BookmarkRecord*>& records, QSet<const BookmarkRecord*>& seen)
{
    int n = 0;
    for (const BookmarkRecord* r : records) {
        if (!r || seen.contains(r))
            continue;
        seen.insert(r);
        n += r->isFolder ? countBookmarks(r->children, seen) : 1;
    }
    return n;
}

} // namespace

ExportBookmarkThread::ExportBookmarkThread(const QList<BookmarkRecord*>& items, const QString& path,
                                           JobReport* progress, QObject* parent)
    : AbsFileExportThread(path, LineEnd::CrLf, progress, parent)
    , items(items)
{
    setProgressStatus(tr("IDS_EXPORTING_BOOKMARKS"));
}

QString ExportBookmarkThread::escape(const QString& text)
{
    QString out = text.toHtmlEscaped();
    out.replace(QLatin1Char('\r'), QLatin1String("&#13;"));
    out.replace(QLatin1Char('\n'), QLatin1String("&#10;"));
    return out;
}

void ExportBookmarkThread::writeLine(Stream& out, const QString& line)
{
    out << line;
    out.endLine();
}

QString ExportBookmarkThread::write(Stream& out)
{
    const QList<BookmarkRecord*> sorted = ItemModelBookmark::sorted(items);
    written = 0;
    {
        QSet<const BookmarkRecord*> seen;
        total = countBookmarks(sorted, seen);
    }
    writeLine(out, QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">"));
    writeLine(out, QStringLiteral("<TITLE>Bookmarks</TITLE>"));
    writeLine(out, QStringLiteral("<DL>"));
    QSet<const BookmarkRecord*> seen;
    for (const BookmarkRecord* r : sorted)
        writeItem(out, r, seen);
    writeLine(out, QStringLiteral("</DL>"));
    return tr("IDS_SUC_EXPORT_%1_BOOKMARKS").arg(written);
}

void ExportBookmarkThread::writeItem(Stream& out, const BookmarkRecord* r, QSet<const BookmarkRecord*>& seen)
{
    if (!r || seen.contains(r))
        return;
    seen.insert(r);
    checkCanceled();
    if (r->isFolder) {
        writeLine(out, QStringLiteral("<DT><H3>%1</H3>").arg(escape(r->title)));
        writeLine(out, QStringLiteral("<DL>"));
        for (const BookmarkRecord* child : ItemModelBookmark::sorted(r->children))
            writeItem(out, child, seen);
        writeLine(out, QStringLiteral("</DL>"));
        writeLine(out, QStringLiteral("</DT>"));
        return;
    }
    ++written;
    postProgress(written, total, tr("%1 / %2").arg(written).arg(total));
    // Concatenated, not arg(): a "%1" inside a title or url is text.
    writeLine(out,
              QStringLiteral("<DT><A HREF=\"") + escape(r->url) + QStringLiteral("\">") + escape(r->title)
                  + QStringLiteral("</A></DT>"));
}
