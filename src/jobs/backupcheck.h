// The check every backup job makes of its file before it commits, and of
// a file that held something before it writes anything.
#pragma once

#include <QString>

class Sqlite3DB;

namespace backupcheck {

// How much of a file SQLite reads to find damage.
enum class Depth {
    // Every page of every table and index (PRAGMA quick_check): what a
    // large file can afford.
    Pages,
    // The same and every index against its table (PRAGMA integrity_check),
    // so that an index entry that leads a read astray is found as well:
    // for the record files, which are small.
    PagesAndIndexes,
};

// Throws std::runtime_error naming path and what SQLite found when the
// check finds the file damaged. Run inside the backup's transaction, before
// the commit, it sees the run's changes; a damaged file then stays as it
// was.
void throwIfDamaged(Sqlite3DB& db, const QString& path, Depth depth = Depth::Pages);

} // namespace backupcheck
