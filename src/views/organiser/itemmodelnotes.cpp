#include "itemmodelnotes.h"

#include <QLocale>

namespace {

constexpr ItemModelNotes::Column kColumns[] = {
    {"Modification Date",
     [](const NoteRecord& n) { return QLocale::system().toString(n.modified, QLocale::ShortFormat); }},
    {"Title", [](const NoteRecord& n) { return n.title; }},
    {"Summary", [](const NoteRecord& n) { return n.summary; }},
};

} // namespace

ItemModelNotes::ItemModelNotes(QObject* parent)
    : RecordListModel(kColumns, parent)
{
}

void ItemModelNotes::setNotes(const QList<NoteRecord>& notes)
{
    resetRecords<_NotesItemNode>(notes,
                                 [](const NoteRecord& a, const NoteRecord& b) { return a.modified > b.modified; });
}
