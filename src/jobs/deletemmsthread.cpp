#include "jobs/deletemmsthread.h"

#include "messagestore/ios6messagedb.h"
#include "platform/transaction.h"
#include "shell/core/jobreport.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <stdexcept>

namespace {

// Removes the files of the deleted messages' attachments that no attachment
// row left in the store names (attachmentLocalPath keeps them inside the
// store's folder). Runs after the commit: a failure here only leaves files.
void removeUnreferencedFiles(IOS6MessageDb& db, const MsgMessageList& deleted)
{
    try {
        QSet<QString> kept;
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select filename from attachment"));
        while (c.moveNext())
            kept.insert(db.attachmentLocalPath(c.getText(0)));
        for (const _MsgMessage* m : deleted) {
            for (const _MsgAttachment* att : std::as_const(m->attachments)) {
                const QString path = db.attachmentLocalPath(att->filename);
                if (!path.isEmpty() && !kept.contains(path))
                    QFile::remove(path);
            }
        }
    } catch (const std::exception& e) {
        qWarning("DeleteMMSThread: attachment files left in place: %s", e.what());
    }
}

} // namespace

DeleteMMSThread::DeleteMMSThread(const QDir* storeDir, const MsgMessageList* messages, JobReport* progress,
                                 QObject* parent)
    : QThread(parent)
    , storeDir(storeDir)
    , messages(messages)
    , progress(progress)
{
}

DeleteMMSThread::~DeleteMMSThread() = default;

void DeleteMMSThread::run()
{
    if (progress)
        progress->postUpdateProgress(tr("IDS_DELETING_MMS"), 0, QString());
    // Closed, and rolled back unless committed, when run ends.
    IOS6MessageDb db(QDir(*storeDir), QString(), false);
    try {
        const int total = int(messages->size());
        int done = 0;
        Transaction tran(db);
        for (const _MsgMessage* m : *messages) {
            jobreport::checkCanceled(progress);
            ++done;
            if (progress)
                progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                             tr("Messages: %1/%2").arg(done).arg(total));
            db.deleteMessage(m);
        }
        if (db.isRollbackOnly())
            throw std::runtime_error("The message store rolled the deletion back.");
        tran.commit();
        removeUnreferencedFiles(db, *messages);
        if (progress)
            progress->postSucceed(tr("IDS_SUC_DELETE_%1_MESSAGES").arg(done));
    } catch (int) {
        // The user cancelled; the dialog is closed already.
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}
