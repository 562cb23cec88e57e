#include "mediaextract.h"

#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/plaintext.h"
#include "shell/messagebox.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/media/extractlocalfilesthread.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QStringList>

std::unique_ptr<_RemoteFile> MediaExtract::downloadNode(const File& file)
{
    return std::make_unique<_RemoteFile>(nullptr, false, file.path, file.label, true, true, true, QString());
}

void MediaExtract::run(QWidget* parent, AndroidDeviceInfo* phone, const QList<File>& files)
{
    const QString folder = uiprompt::getExistingDirectory(parent, QString(), QDir::homePath());
    if (folder.isEmpty() || files.isEmpty())
        return;
    if (!QDir().mkpath(folder)) {
        showError(QStringLiteral("Can not create folder %1.").arg(folder));
        return;
    }

    QList<_RemoteFile*> entries;
    const auto release = qScopeGuard([&] { qDeleteAll(entries); });
    QStringList left;
    QHash<QString, QString> shownByPath;
    for (const File& f : files) {
        if (f.path.isEmpty() || (!phone && !QFileInfo(f.path).isFile())) {
            left.append(f.shown);
            continue;
        }
        entries.append(downloadNode(f).release());
        shownByPath.insert(f.path, f.shown);
    }

    if (!entries.isEmpty()) {
        ProgressForm progress(tr("IDS_DOWNLOADING_FILES"), parent);
        if (phone) {
            AndroidDownloadFilesThread job(phone, entries, QDir(folder), &progress);
            if (runJob(progress, job) != JobResult::Succeeded)
                return;
            for (const QString& path : job.refusedNames())
                left.append(shownByPath.value(path, path));
        } else {
            ExtractLocalFilesThread job(entries, QDir(folder), &progress);
            if (runJob(progress, job) != JobResult::Succeeded)
                return;
        }
    }
    if (left.isEmpty())
        return;
    QStringList shown;
    for (const QString& name : std::as_const(left))
        shown.append(simpleprotocol::showLineBreaks(name));
    showWarning(asPlainText(tr("IDS_FILES_NOT_EXTRACTED_%1").arg(shown.join(QLatin1Char('\n')))));
}
