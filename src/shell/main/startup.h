// The application's start-up after the window is shown, and the whole run.
#pragma once

#include <QDir>

class QApplication;

namespace startup {

// When a local backup folder still holds an old message database, converts
// every such folder under a modal progress dialog that cannot be cancelled.
// Returns false when there was nothing to convert.
bool convertOldDatabases(const QDir& localDatabases);

// Everything after the application object: translations, the SQLite layer
// check, the log, the main window, the conversion and the event loop.
// Returns the process exit code.
int run(QApplication& app);

} // namespace startup
