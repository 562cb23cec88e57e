// Writes notes into a folder, one XHTML page per note, and writes the same
// page for a single note (the notes page opens it in the desktop's browser).
//
// The page: UTF-8 without byte-order mark, every line ended by CR LF (line
// feeds inside the title and the body too). The title is escaped; the body
// is the note's HTML as stored. A note's HTML comes from a phone, so the
// page's head carries a content security policy under which the browser
// runs no script, loads no plug-in and fetches nothing from elsewhere
// (inline styles and images embedded as data stay visible).
//
// File names come from the note ("<src_id>-<summary, at most 20
// characters>.html"); they are cleaned of everything that could lead out of
// the folder, and a name already taken gets a number, so every note of the
// list gets a file of its own and no earlier file is replaced.
#pragma once

#include "formats/absfileexportthread.h"
#include "records/noterecord.h"

#include <QList>

class ExportNotesThread : public AbsFileExportThread {
    Q_OBJECT

public:
    ExportNotesThread(const QList<NoteRecord>& notes, const QString& folder, JobReport* progress,
                      QObject* parent = nullptr);

    // The note's page at path (replaced when there); throws std::runtime_error
    // with the file error text.
    static void writeNotePage(const QString& path, const NoteRecord& note);
    // Where the export puts the note in folder: the cleaned name, numbered
    // when taken. Empty only when folder itself cannot take a file name.
    static QString exportFilePath(const QString& folder, const NoteRecord& note);

protected:
    QString exportFiles() override;

private:
    static void writePage(Stream& out, const NoteRecord& note);

    QList<NoteRecord> notes;
};
