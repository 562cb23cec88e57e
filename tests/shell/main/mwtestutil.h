// Helpers shared by the main window tests: a window without adb, backup
// folders with records, and the sandbox's data root reset between tests.
#pragma once

#include "records/localnotesdb.h"
#include "shell/core/dataroot.h"
#include "shell/main/mainwindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <memory>

namespace mwtest {

struct Window {
    std::unique_ptr<MainWindow> window;
    QList<QUrl> opened; // what the window handed to the desktop
};

// A main window that runs no adb, shows no tips and checks no update.
inline std::unique_ptr<Window> makeWindow(bool checkForUpdate = false)
{
    auto w = std::make_unique<Window>();
    MainWindowOptions o;
    o.startMonitor = false;
    o.usbTipsDelayMs = -1;
    o.checkForUpdate = checkForUpdate;
    Window* raw = w.get();
    o.openUrl = [raw](const QUrl& url) { raw->opened.append(url); };
    w->window = std::make_unique<MainWindow>(nullptr, o);
    return w;
}

inline QDir backupDir(const QString& name)
{
    QDir root = getLocalDatabasesDir();
    root.mkpath(name);
    return QDir(root.absoluteFilePath(name));
}

inline void addNotes(const QDir& folder, int n)
{
    LocalNotesDb db(folder.absoluteFilePath(QStringLiteral("notes.db")));
    db.open();
    static int serial = 0;
    for (int i = 0; i < n; ++i) {
        NoteRecord note(QStringLiteral("dev"), QString::number(++serial));
        note.title = QStringLiteral("note %1").arg(serial);
        note.content = QStringLiteral("text %1").arg(serial);
        db.saveNote(note);
    }
    db.close();
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

inline QByteArray md5Of(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
}

// Removes what a test left in the data root (backups, caches, virtual
// devices, the update stamp).
inline void resetDataRoot()
{
    const QDir root = getDataDir();
    for (const char* name : {dataroot::kLocalDatabases, dataroot::kAndroidCache, dataroot::kVirtualAndroid})
        QDir(root.absoluteFilePath(QLatin1String(name))).removeRecursively();
    QFile::remove(root.absoluteFilePath(QLatin1String(dataroot::kLastCheckVersionTime)));
}

} // namespace mwtest
