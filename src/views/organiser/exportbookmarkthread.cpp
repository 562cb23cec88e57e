#include "exportbookmarkthread.h"

#include "records/bookmarkrecord.h"
#include "views/organiser/itemmodelbookmark.h"

namespace {

// Bookmarks below and including the records, each record counted once even
// when the tree loops or a record is listed twice. Walked from a list of
// pending records: folders may nest deeper than the stack would allow.
int countBookmarks(const QList<BookmarkRecord*>& records, QSet<const BookmarkRecord*>& seen)
{
    int n = 0;
    QList<const BookmarkRecord*> pending(records.crbegin(), records.crend());
    while (!pending.isEmpty()) {
        const BookmarkRecord* r = pending.takeLast();
        if (!r || seen.contains(r))
            continue;
        seen.insert(r);
        if (!r->isFolder) {
            ++n;
            continue;
        }
        for (auto it = r->children.crbegin(); it != r->children.crend(); ++it)
            pending.append(*it);
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

void ExportBookmarkThread::writeItem(Stream& out, const BookmarkRecord* top, QSet<const BookmarkRecord*>& seen)
{
    // Depth first without recursion: each open folder is one entry of
    // "open", with its sorted children and the next one to write.
    struct OpenFolder {
        QList<BookmarkRecord*> children;
        qsizetype next;
    };
    QList<OpenFolder> open;
    const BookmarkRecord* r = top;
    for (;;) {
        if (r && !seen.contains(r)) {
            seen.insert(r);
            checkCanceled();
            if (r->isFolder) {
                writeLine(out, QStringLiteral("<DT><H3>%1</H3>").arg(escape(r->title)));
                writeLine(out, QStringLiteral("<DL>"));
                open.append({ItemModelBookmark::sorted(r->children), 0});
            } else {
                ++written;
                postProgress(written, total, tr("%1 / %2").arg(written).arg(total));
                // Concatenated, not arg(): a "%1" inside a title or url is text.
                writeLine(out,
                          QStringLiteral("<DT><A HREF=\"") + escape(r->url) + QStringLiteral("\">") + escape(r->title)
                              + QStringLiteral("</A></DT>"));
            }
        }
        // The next record: the next child of the innermost open folder,
        // closing every folder whose children are all written.
        r = nullptr;
        while (!open.isEmpty() && open.last().next >= open.last().children.size()) {
            open.removeLast();
            writeLine(out, QStringLiteral("</DL>"));
            writeLine(out, QStringLiteral("</DT>"));
        }
        if (open.isEmpty())
            return;
        OpenFolder& folder = open.last();
        r = folder.children.at(folder.next++);
    }
}
