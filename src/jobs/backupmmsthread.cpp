#include "jobs/backupmmsthread.h"

#include "jobs/backupcheck.h"
#include "messagestore/exportmessagesdb.h"
#include "shell/core/jobreport.h"
#include "shell/core/plaintext.h"

#include <stdexcept>

namespace {

// Names listed in the result; the rest is counted.
constexpr int kMaxNamesShown = 10;

} // namespace

BackupMMSThread::BackupMMSThread(const QDir& targetDir, const QString& countryCode, const MsgMessageList& messages,
                                 JobReport* progress, QObject* parent)
    : QThread(parent)
    , targetDir(targetDir)
    , countryCode(countryCode)
    , messages(messages)
    , progress(progress)
{
    sortMessages(this->messages);
}

BackupMMSThread::~BackupMMSThread() = default;

void BackupMMSThread::run()
{
    // A run that does not commit leaves nothing: the writer's unit removes
    // the files it placed with its rows.
    try {
        backup();
    } catch (int) {
        // The user cancelled; the dialog is closed already.
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}

void BackupMMSThread::backup()
{
    if (progress)
        progress->postUpdateProgress(tr("IDS_BACKING_UP_MESSAGES"), 0, QString());
    // Destroyed at the end of this call in every case; without end() the
    // store is closed uncommitted.
    ExportMessagesDb writer(targetDir, countryCode);
    const int total = int(messages.size());
    int done = 0;
    int withoutChat = 0;
    writer.begin();
    // A store that held something is checked before the run writes into
    // it: the run's inserts may rebuild a damaged page, so that the check
    // before the commit finds the file sound while an index stays broken.
    // (A store made anew holds nothing yet.)
    if (!writer.store().createdAnew())
        backupcheck::throwIfDamaged(writer.store(), writer.store().dbPath());
    for (const _MsgMessage* m : std::as_const(messages)) {
        jobreport::checkCanceled(progress);
        ++done;
        if (progress)
            progress->postUpdateProgress(tr("IDS_BACKING_UP_MMS"), jobreport::percent(done, total),
                                         tr("SMS: %1/%2").arg(done).arg(total));
        // The store files a message under its conversation; the writer
        // leaves out one whose conversation is missing.
        if (!m->chat)
            ++withoutChat;
        writer.write(*m);
    }
    // An inner step that rolled its part back leaves a unit that cannot
    // commit: that is a failure, not a success.
    if (writer.store().isRollbackOnly())
        throw std::runtime_error("The backup store rolled the backup back.");
    backupcheck::throwIfDamaged(writer.store(), writer.store().dbPath());
    writer.end();

    QString result = tr("IDS_SUC_BACKUP_%1_MMS").arg(done);
    if (withoutChat > 0)
        result += QLatin1Char('\n') + tr("IDS_BACKUP_MMS_NO_CHAT_%1").arg(withoutChat);
    // Every part the folder lacks after the run, also of messages it held
    // before (a later run with the file at hand copies it in), by name.
    const QStringList& missing = writer.partsMissing();
    if (!missing.isEmpty())
        result += QLatin1Char('\n')
            + tr("IDS_BACKUP_MMS_FILES_NOT_COPIED_%1_%2")
                  .arg(missing.size())
                  .arg(jobreport::namesShown(missing, kMaxNamesShown, QStringLiteral("\u2026")));
    if (progress)
        progress->postSucceed(asPlainText(result));
}
