// What the flat lists of the category pages share: rows 25 pixels high on
// alternating backgrounds and the file picture in the first column.
#pragma once

#include <QModelIndex>
#include <QPixmap>
#include <QVariant>

namespace listrowstyle {

// ":res/file.png" scaled to a width of 18, made once for the process (GUI
// thread only).
QPixmap fileIcon();
// The row background (light grey on even rows, white on odd ones) and the
// size hint; invalid for any other role.
QVariant rowData(const QModelIndex& index, int role);

} // namespace listrowstyle
