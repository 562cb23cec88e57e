// Helpers shared by the main window tests: a window without adb, backup
// folders with notes, and the sandbox's data root reset between tests.
#pragma once

#include "records/localnotesdb.h"
#include "scriptedprompt.h"
#include "shell/core/dataroot.h"
#include "shell/main/mainwindow.h"

#include "testsupport.h"

#include <QtCore>

#include <memory>

namespace mwtest {

struct Window {
    testsupport::UrlRecorder opened; // what the window handed to the desktop
    std::unique_ptr<MainWindow> window;
};

// A main window that shows no tips, checks no update unless asked, and polls
// adb only with a poll interval.
inline std::unique_ptr<Window> makeWindow(bool checkForUpdate = false, int monitorPollMs = 0)
{
    auto w = std::make_unique<Window>();
    MainWindowOptions o;
    o.startMonitor = monitorPollMs > 0;
    o.monitorPollMs = monitorPollMs;
    o.usbTipsDelayMs = -1;
    o.checkForUpdate = checkForUpdate;
    w->window = std::make_unique<MainWindow>(nullptr, o);
    return w;
}

// A backup folder under the data root with n notes added to it.
inline QDir backupDir(const QString& name, int notes = 0)
{
    const QDir dir(getLocalDatabasesDir().absoluteFilePath(name));
    dir.mkpath(QStringLiteral("."));
    LocalNotesDb db(dir.absoluteFilePath(QStringLiteral("notes.db")));
    static int serial = 0;
    for (int i = 0; i < notes; ++i) {
        NoteRecord note(QStringLiteral("dev"), QString::number(++serial));
        note.title = note.src_id; // notes are told apart by their content
        db.saveNote(note);
    }
    return dir;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

} // namespace mwtest
