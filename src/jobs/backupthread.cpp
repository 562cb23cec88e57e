#include "backupthread.h"

#include "jobs/backupcheck.h"
#include "platform/sqlite_qt.h"
#include "platform/transaction.h"
#include "records/absdb.h"
#include "shell/core/jobreport.h"

#include <QFileInfo>

#include <stdexcept>

BackupThread::BackupThread(AbsLocalDb* db, JobReport* progress, QObject* parent)
    : QThread(parent)
    , progress(progress)
    , m_db(db)
{
}

int BackupThread::weight(int) const
{
    return 1;
}

int BackupThread::totalCount() const
{
    int total = 0;
    for (int i = 0; i < recordCount(); ++i)
        total += weight(i);
    return total;
}

void BackupThread::checkBeforeWriting()
{
    if (m_db->isOpen() && !m_db->isReadOnly()) {
        backupcheck::throwIfDamaged(m_db->connection(), m_db->filePath(), backupcheck::Depth::PagesAndIndexes);
        return;
    }
    // Opening the file for writing brings an older schema up to date (in
    // the run's unit), so a damaged file is looked at first through a
    // connection that cannot write: the update is not even tried. A missing
    // or empty file is made anew: there is nothing in it to lose.
    m_db->close();
    const QFileInfo file(m_db->filePath());
    if (!file.exists() || (file.isFile() && file.size() == 0))
        return;
    m_db->openReadOnly();
    backupcheck::throwIfDamaged(m_db->connection(), m_db->filePath(), backupcheck::Depth::PagesAndIndexes);
}

void BackupThread::run()
{
    try {
        const int total = totalCount();
        checkBeforeWriting();
        Transaction tran(*m_db);
        int done = 0;
        const int n = recordCount();
        for (int i = 0; i < n; ++i) {
            if (progress && progress->userCanceled()) {
                if (keepOnCancel())
                    break;
                throw int(jobreport::kCanceled);
            }
            done += weight(i);
            if (progress)
                progress->postUpdateProgress(statusText(), jobreport::percent(done, total), counterText(done, total));
            addRecord(i);
        }
        // An inner operation that rolled its part back leaves a unit that can
        // no longer commit: that is a failure, not a success.
        if (m_db->connection().isRollbackOnly())
            throw std::runtime_error("The backup database rolled the backup back.");
        backupcheck::throwIfDamaged(m_db->connection(), m_db->filePath(), backupcheck::Depth::PagesAndIndexes);
        tran.commit();
        if (progress)
            progress->postSucceed(resultText(done));
    } catch (int) {
        // The user cancelled (the dialog is already closed); the backup was
        // rolled back on the way out.
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}
