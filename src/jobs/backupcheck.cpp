#include "jobs/backupcheck.h"

#include "platform/sqlite_qt.h"

#include <stdexcept>

namespace backupcheck {

void throwIfDamaged(Sqlite3DB& db, const QString& path, Depth depth)
{
    // A file SQLite cannot read back would hold the records only in name:
    // the run keeps nothing and says why, never that it succeeded.
    const QString damage = depth == Depth::PagesAndIndexes ? db.integrityCheck() : db.quickCheck();
    if (!damage.isEmpty())
        throw std::runtime_error(
            QStringLiteral("The backup file %1 is damaged: nothing was saved to it. SQLite found: %2")
                .arg(path, damage)
                .toUtf8()
                .toStdString());
}

} // namespace backupcheck
