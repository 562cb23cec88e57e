// What the flat lists of the category pages share: rows 25 pixels high on
// alternating backgrounds, the file picture in the first column, and plain
// English column titles.
#pragma once

#include <QModelIndex>
#include <QPixmap>
#include <QVariant>

#include <cstddef>

namespace listrowstyle {

// ":res/file.png" scaled to a width of 18, made once for the process (GUI
// thread only).
QPixmap fileIcon();
// The row background (light grey on even rows, white on odd ones) and the
// size hint; invalid for any other role.
QVariant rowData(const QModelIndex& index, int role);

// titles[section] for the horizontal display role; invalid otherwise.
template <std::size_t N>
QVariant header(const char* const (&titles)[N], int section, Qt::Orientation orientation, int role)
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || std::size_t(section) >= N)
        return QVariant();
    return QString::fromLatin1(titles[section]);
}

} // namespace listrowstyle
