// Helpers the organiser page tests share: the phone page's two visits and
// its backups, an export job run to its end, the data folder's files, what
// the system Python reads from a written file, a damaged database file and
// screenshots.
#pragma once

#include "jobs/localdbselform.h"
#include "scriptedprompt.h"
#include "shell/core/dataroot.h"

#include "pagetest.h"
#include "simphone.h"
#include "testsupport.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace organisertest {

// The helpers that check are checking helpers (see CHECKED): a failure
// names the test's line that called them.

// The phone page's first opening loads the service once under the progress
// dialog; the second reads the cache only: no dialog, no new session.
template <class Page>
[[nodiscard]] bool checkLoadsOnce(const testsupport::SimPhone& sim, const QString& service,
                                  AbsTreeItemModel::_ItemNode* phone, AbsTreeItemModel::_ItemNode* devicesRoot,
                                  std::source_location at = std::source_location::current())
{
    ScriptedPrompt prompt;
    const int loadsBefore = sim.loads(service);
    for (int visit = 1; visit <= 2; ++visit) {
        Page page(phone, devicesRoot);
        HELPER_VERIFY2(
            prompt.questions().size() == 1, // the progress dialog, nothing else
            qPrintable(QStringLiteral("visit %1 asked %2 questions").arg(visit).arg(prompt.questions().size())));
        HELPER_VERIFY2(sim.loads(service) == loadsBefore + 1,
                       qPrintable(QStringLiteral("after visit %1: %2 loads of %3, expected one")
                                      .arg(visit)
                                      .arg(sim.loads(service) - loadsBefore)
                                      .arg(service)));
    }
    return true;
}

// Backs up the page's selection (the context menu's backupText), then from
// the toolbar (toolbarText) without one all, into the backup folder "Trip":
// backupFinished names it each time, and count(the folder's database file)
// gives first, then all.
template <class Page, class Count>
[[nodiscard]] bool checkBackupSelectedThenAll(Page& page, const QString& menuText, const QString& toolbarText,
                                              const QString& database, Count count, int first, int all,
                                              std::source_location at = std::source_location::current())
{
    ScriptedPrompt prompt;
    QSignalSpy finished(&page, &Page::backupFinished);
    const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Trip/") + database);
    for (int round = 1; round <= 2; ++round) {
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), [](QDialog* d) {
            qobject_cast<LocalDbSelForm*>(d)->comboBox()->setEditText(QStringLiteral("Trip"));
            qobject_cast<LocalDbSelForm*>(d)->onBtnOkPress();
        });
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup"));
        if (!(round == 1 ? testsupport::PageTest::triggerMenuAction(page, menuText, 0, at)
                         : testsupport::PageTest::triggerAction(page, toolbarText, at)))
            return false;
        HELPER_VERIFY_SCRIPT_DONE(prompt);
        HELPER_COMPARE(finished.size(), round);
        HELPER_COMPARE(finished.last().first().toString(), QStringLiteral("Trip"));
        HELPER_COMPARE(count(file), round == 1 ? first : all);
        page.listView()->selectionModel()->clearSelection();
    }
    return true;
}

// Runs the export job to its end.
template <class Job, class Items>
[[nodiscard]] bool runExport(const Items& items, const QString& path, testsupport::RecordingJobReport& report,
                             std::source_location at = std::source_location::current())
{
    Job job(items, path, &report);
    job.start();
    HELPER_VERIFY2(job.wait(testsupport::kHangGuardMs), "the export did not end (hang guard)");
    return true;
}

inline QString dataFile(const QString& name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/") + name;
}

inline QJsonArray dataArray(const QString& name)
{
    return QJsonDocument::fromJson(testsupport::readFile(dataFile(name))).array();
}

// The JSON a script of the data folder prints about file. The system Python
// on purpose: its packages (python3-icalendar) are the readers we check with.
inline QJsonDocument readWithPython(const QString& script, const QString& file)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {dataFile(script), file});
    if (!python.waitForFinished(15000) || python.exitCode() != 0)
        qWarning() << python.readAllStandardError();
    return QJsonDocument::fromJson(python.readAllStandardOutput());
}

// Writes a file that starts like a database and is none; returns its bytes.
inline QByteArray writeDamaged(const QString& path)
{
    const QByteArray garbage = QByteArray("SQLite format 3") + QByteArray(4000, '\x5a');
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(garbage) != garbage.size())
        qWarning() << "cannot write" << path;
    return garbage;
}

// The page as shown, saved to <build>/screenshots for a person to look at.
[[nodiscard]] inline bool screenshot(QWidget& page, QSize size, const QString& name,
                                     std::source_location at = std::source_location::current())
{
    const QString dir = testsupport::binaryDir() + QStringLiteral("/screenshots");
    page.resize(size);
    page.show();
    HELPER_VERIFY(QTest::qWaitForWindowExposed(&page) && QDir().mkpath(dir));
    QCoreApplication::processEvents();
    HELPER_VERIFY(page.grab().save(dir + QLatin1Char('/') + name));
    return true;
}

} // namespace organisertest
