// Writes bookmarks and folders, each folder with everything below it, to one
// bookmark HTML file (nested definition lists, as browsers import them).
// Titles and urls are HTML-escaped, line breaks in them written as character
// references; UTF-8 without byte-order mark, lines ended by CR LF.
#pragma once

#include "formats/absfileexportthread.h"

#include <QList>
#include <QSet>

struct BookmarkRecord;

class ExportBookmarkThread : public AbsFileExportThread {
    Q_OBJECT

public:
    // The records stay the caller's and must not change while the job runs.
    ExportBookmarkThread(const QList<BookmarkRecord*>& items, const QString& path, JobReport* progress,
                         QObject* parent = nullptr);

    // Text or attribute value for the file: & < > " as entities, CR and LF
    // as character references (so that they read back unchanged).
    static QString escape(const QString& text);

protected:
    QString write(Stream& out) override;

private:
    void writeItem(Stream& out, const BookmarkRecord* r, QSet<const BookmarkRecord*>& seen);
    void writeLine(Stream& out, const QString& line);

    QList<BookmarkRecord*> items;
    int total = 0;
    int written = 0;
};
