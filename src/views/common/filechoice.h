// The file dialogs of the pages' exports and imports: a list of filters,
// one selected at start, and the answer tells which filter the user picked,
// so the format follows the filter.
#pragma once

#include <QList>
#include <QString>

#include <optional>

class QWidget;

struct FileFilter {
    QString text; // as shown, "CSV Files(*.csv)"
    QString suffix; // appended to a name typed without one; may be empty
};

struct FileChoice {
    QString path;
    int filter = -1; // index of the filter the user picked
};

namespace filechoice {

// Asks where to save. A name typed without a suffix gets the picked
// filter's. Empty when the user cancelled or picked a filter not in the list.
// With no filters the name is taken as typed (filter -1).
std::optional<FileChoice> askSaveFile(QWidget* parent, const QString& caption, const QString& defaultPath,
                                      const QList<FileFilter>& filters, int selected);
// Asks for one file to read, the same way (no suffix is added).
std::optional<FileChoice> askOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                                      const QList<FileFilter>& filters, int selected);

} // namespace filechoice
