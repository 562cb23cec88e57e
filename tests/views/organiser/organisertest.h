// Helpers the organiser page tests share: the phone page's two visits and
// its backups, an export job run to its end, the data folder's files, what
// the system Python reads from a written file, a damaged database file and
// screenshots.
#pragma once

#include "jobs/localdbselform.h"
#include "shell/core/dataroot.h"
#include "shell/scriptedprompt.h"

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

// The phone page's first opening loads the service once under the progress
// dialog; the second reads the cache only: no dialog, no new session.
template <class Page>
void checkLoadsOnce(const testsupport::SimPhone& sim, const QString& service, AbsTreeItemModel::_ItemNode* phone,
                    AbsTreeItemModel::_ItemNode* devicesRoot)
{
    ScriptedPrompt prompt;
    const int loadsBefore = sim.loads(service);
    for (int visit = 1; visit <= 2; ++visit) {
        Page page(phone, devicesRoot);
        QCOMPARE(prompt.questions().size(), 1); // the progress dialog, nothing else
        QCOMPARE(sim.loads(service), loadsBefore + 1);
    }
}

// Backs up the page's selection, then from the toolbar without one all, into
// the backup folder "Trip": backupFinished names it each time, and
// count(the folder's database file) gives first, then all.
template <class Page, class Count>
void checkBackupSelectedThenAll(Page& page, const QString& database, Count count, int first, int all)
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
        round == 1 ? page.miBackup() : page.miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), round);
        QCOMPARE(finished.last().first().toString(), QStringLiteral("Trip"));
        QCOMPARE(count(file), round == 1 ? first : all);
        page.listView()->selectionModel()->clearSelection();
    }
}

template <class Job, class Items>
void runExport(const Items& items, const QString& path, testsupport::RecordingJobReport& report)
{
    Job job(items, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
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
inline void screenshot(QWidget& page, QSize size, const QString& name)
{
    const QString dir = testsupport::binaryDir() + QStringLiteral("/screenshots");
    page.resize(size);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page) && QDir().mkpath(dir));
    QCoreApplication::processEvents();
    QVERIFY(page.grab().save(dir + QLatin1Char('/') + name));
}

} // namespace organisertest
