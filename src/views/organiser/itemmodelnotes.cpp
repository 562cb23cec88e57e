#include "itemmodelnotes.h"

#include "shell/core/plaintext.h"
#include "views/common/listrowstyle.h"

#include <QLocale>

#include <algorithm>

ItemModelNotes::ItemModelNotes(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

void ItemModelNotes::setNotes(const QList<NoteRecord>& notes)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    m_notes = notes;
    std::stable_sort(m_notes.begin(), m_notes.end(),
                     [](const NoteRecord& a, const NoteRecord& b) { return a.modified > b.modified; });
    for (const NoteRecord& n : std::as_const(m_notes))
        roots.append(new _NotesItemNode(n));
    endResetModel();
}

int ItemModelNotes::columnCount(const QModelIndex&) const
{
    return 3;
}

QVariant ItemModelNotes::data(const QModelIndex& index, int role) const
{
    const auto* node = dynamic_cast<const _NotesItemNode*>(nodeOf(index));
    if (!node)
        return QVariant();
    const NoteRecord& n = node->note;
    switch (role) {
    case Qt::ToolTipRole:
        return plainToolTip(data(index, Qt::DisplayRole));
    case Qt::DisplayRole:
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
