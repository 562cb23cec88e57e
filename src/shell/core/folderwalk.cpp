#include "folderwalk.h"

#include <QDebug>
#include <QDir>

FolderWalk::Step::Step(FolderWalk& walk, const QFileInfo& folder)
    : m_walk(walk)
{
    const QString real = folder.canonicalFilePath();
    if (real.isEmpty() || walk.m_onWalk.contains(real)) {
        qInfo("FolderWalk: %s leads back to a folder on the walk, skipped", qUtf8Printable(folder.absoluteFilePath()));
        return;
    }
    walk.m_onWalk.append(real);
    m_entered = true;
}

FolderWalk::Step::~Step()
{
    if (m_entered)
        m_walk.m_onWalk.removeLast();
}

QList<QFileInfo> FolderWalk::entries(const QString& folder, bool hidden)
{
    QDir::Filters filters = QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot;
    if (hidden)
        filters |= QDir::Hidden;
    return QDir(folder).entryInfoList(filters, QDir::NoSort);
}
