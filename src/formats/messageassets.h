// Where the message renderers find the files beside the program ("bubble",
// "emoji") and where they keep the pictures they make on the way.
#pragma once

#include <QDir>
#include <QString>

namespace messageassets {

// The program's folder: the executable's folder unless a test pointed it
// elsewhere with setApplicationFolder.
QString applicationFolder();
// Test seam: the folder that stands for the program's folder (empty
// restores the executable's folder). Set before rendering starts.
void setApplicationFolder(const QString& folder);

// Absolute path of a file below the program's folder ("bubble/style.css").
QString applicationFile(const QString& relativePath);

// The per-user folder for pictures made while rendering (contact card
// pictures): under the user's cache folder, readable by the user alone,
// created when missing. Never a shared, world-writable folder.
QDir privateTempDir();

// Copies a file to a path where nothing exists yet, in chunks and without
// forcing it to disk (exports copy thousands of small pictures). False when
// the target exists or the copy failed; a failed copy leaves no target.
bool copyNewFile(const QString& source, const QString& target);

} // namespace messageassets
