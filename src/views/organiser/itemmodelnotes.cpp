#include "itemmodelnotes.h"

#include "views/common/listrowstyle.h"

#include <QLocale>

ItemModelNotes::ItemModelNotes(QObject* parent)
    : RecordListModel(parent)
{
}

void ItemModelNotes::setNotes(const QList<NoteRecord>& notes)
{
    resetRecords<_NotesItemNode>(notes,
                                 [](const NoteRecord& a, const NoteRecord& b) { return a.modified > b.modified; });
}

int ItemModelNotes::columnCount(const QModelIndex&) const
{
    return 3;
}

QVariant ItemModelNotes::data(const QModelIndex& index, int role) const
{
    const NoteRecord* note = recordAt(index);
    if (!note)
        return QVariant();
    const NoteRecord& n = *note;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return QLocale::system().toString(n.modified, QLocale::ShortFormat);
        case 1:
            return n.title;
        case 2:
            return n.summary;
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(listrowstyle::fileIcon()) : QVariant();
    default:
        return listrowstyle::rowData(index, role);
    }
}

QVariant ItemModelNotes::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Modification Date", "Title", "Summary"};
    return listrowstyle::header(titles, section, orientation, role);
}
