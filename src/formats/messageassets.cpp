#include "formats/messageassets.h"

#include "shell/core/dataroot.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

namespace {

QMutex& folderMutex()
{
    static QMutex m;
    return m;
}

QString& folderOverride()
{
    static QString folder;
    return folder;
}

} // namespace

namespace messageassets {

QString applicationFolder()
{
    {
        QMutexLocker lock(&folderMutex());
        if (!folderOverride().isEmpty())
            return folderOverride();
    }
    return QCoreApplication::applicationDirPath();
}

void setApplicationFolder(const QString& folder)
{
    QMutexLocker lock(&folderMutex());
    folderOverride() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

QString applicationFile(const QString& relativePath)
{
    return QDir(applicationFolder()).absoluteFilePath(relativePath);
}

QDir privateTempDir()
{
    return ::privateTempDir();
}

bool copyNewFile(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    constexpr qint64 kChunk = 1024 * 1024;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray block = in.read(kChunk);
        if (block.isEmpty() && in.error() != QFileDevice::NoError)
            ok = false;
        else
            ok = out.write(block) == block.size();
    }
    ok = out.flush() && ok;
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        out.remove();
        return false;
    }
    return true;
}

} // namespace messageassets
