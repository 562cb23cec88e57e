// The check every backup job makes before it commits.
#pragma once

#include <QString>

class Sqlite3DB;

namespace backupcheck {

// Throws std::runtime_error naming path and what SQLite found when
// quick_check finds the backup file damaged (run inside the backup's
// transaction, before the commit, so that such a file stays as it was).
void throwIfDamaged(Sqlite3DB& db, const QString& path);

} // namespace backupcheck
