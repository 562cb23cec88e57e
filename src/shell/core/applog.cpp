#include "applog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <cstdlib>

namespace {

// The handler runs on every thread that logs. One lock keeps the folder
// value safe to read and each line whole in the file.
QMutex g_logMutex;
QString g_logFolder;
// Set while this thread is inside the handler: anything the file calls log
// from there is dropped instead of recursing.
thread_local bool t_inHandler = false;

void appendLine(const QString& folder, const QByteArray& line)
{
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return;
    QFile file(dir.filePath(applog::logFileName(QDate::currentDate())));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(line);
    file.close();
}

} // namespace

QString applog::logFolder()
{
    QMutexLocker lock(&g_logMutex);
    return g_logFolder;
}

QString applog::logFileName(const QDate& date)
{
    return QStringLiteral("log-%1.txt").arg(date.toString(QStringLiteral("yyyyMMdd")));
}

QString applog::formatLine(QtMsgType type, const QTime& time, const QString& text)
{
    const QString t = time.toString(QStringLiteral("hh:mm:ss"));
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("(D %1) %2\n").arg(t, text);
    case QtWarningMsg:
        return QStringLiteral("(W %1) %2\n").arg(t, text);
    case QtCriticalMsg:
        return QStringLiteral("(C %1) %2\n").arg(t, text);
    case QtFatalMsg:
        return QStringLiteral("(F %1) %2\n").arg(t, text);
    default:
        return QStringLiteral("(%1) %2\n").arg(t, text);
    }
}

int applog::pruneLogs(const QString& folder, int keep)
{
    // Names carry the date as yyyyMMdd, so name order is date order.
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    const qsizetype excess = files.size() - qMax(keep, 0);
    int deleted = 0;
    for (qsizetype i = 0; i < excess; ++i) {
        if (QFile::remove(files.at(i).absoluteFilePath()))
            ++deleted;
    }
    return deleted;
}

void installLog(const QString& folder, int keep)
{
    {
        QMutexLocker lock(&g_logMutex);
        g_logFolder = folder;
    }
    applog::pruneLogs(folder, keep);
    qInstallMessageHandler(messageHandler);
}

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    Q_UNUSED(context);
    if (t_inHandler)
        return;
    t_inHandler = true;
    {
        QMutexLocker lock(&g_logMutex);
        if (type == QtDebugMsg) {
            std::fprintf(stdout, "%s\n", msg.toUtf8().constData());
            std::fflush(stdout);
        }
        appendLine(g_logFolder, applog::formatLine(type, QTime::currentTime(), msg).toUtf8());
    }
    t_inHandler = false;
    if (type == QtFatalMsg)
        std::abort();
}
