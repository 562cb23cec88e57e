#include "shell/main/startup.h"

#include "jobs/updatelocaldbthread.h"
#include "platform/sqlite_qt.h"
#include "shell/core/applog.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/main/mainwindow.h"
#include "shell/messagebox.h"
#include "shell/progressform.h"
#include "shell/runjob.h"

#include <QApplication>

namespace startup {

bool convertOldDatabases(const QDir& localDatabases)
{
    if (!UpdateLocalDbThread::hasOldDatabase(localDatabases))
        return false;
    ProgressForm progress(QString(), nullptr);
    progress.setCancelEnabled(false);
    UpdateLocalDbThread job(&progress, nullptr);
    runJob(progress, job);
    return true;
}

int run(QApplication& app)
{
    installTranslations(&app);
    if (sqlite_qt_version() != 6) {
        showError(QStringLiteral("invalid libsqlite_qt."));
        return 1;
    }
    installLog(getDataDir().filePath(QLatin1String(dataroot::kLogs)), 10);

    MainWindow window;
    window.show();
    convertOldDatabases(getLocalDatabasesDir());
    // The update check may have ended the application during the conversion.
    if (!window.isVisible())
        return 0;
    return app.exec();
}

} // namespace startup
