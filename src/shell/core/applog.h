// The application log: Qt's message output written to one file per day,
// "log-yyyyMMdd.txt" in the given folder (the data root's "qlogs"), one line
// per message: "(D hh:mm:ss) text" with W, C and F for warnings, critical
// and fatal messages.
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Deletes the oldest files of the folder so that at most keep remain (file
// names carry the date, so name order is date order), then installs
// messageHandler. Called once at start-up.
void installLog(const QString& folder, int keep);

// The Qt message handler. Safe from any thread; never emits a Qt message
// itself. A fatal message reaches the file before the process aborts.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

namespace applog {

// The folder given to installLog (empty before).
QString logFolder();
// "log-yyyyMMdd.txt" for the date.
QString logFileName(const QDate& date);
// One log line with its line feed, e.g. "(D 09:05:07) text\n".
QString formatLine(QtMsgType type, const QTime& time, const QString& text);
// Deletes the oldest regular files so that at most keep remain; returns how
// many were deleted.
int pruneLogs(const QString& folder, int keep);

} // namespace applog
