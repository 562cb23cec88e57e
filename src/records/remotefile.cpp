#include "remotefile.h"

_RemoteFile::_RemoteFile(_RemoteFile* parent, bool isDir, const QString& path, const QString& label, bool importable,
                         bool exportable, bool deletable, const QString& exportGroup)
    : parent(parent)
    , label(label)
    , path(path)
    , isDir(isDir)
    , importable(importable)
    , exportable(exportable)
    , deletable(deletable)
    , exportGroup(exportGroup)
{
    if (!path.isEmpty()) {
        // The file-name part (phone paths use "/").
        name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }
}

_RemoteFile::~_RemoteFile()
{
    qDeleteAll(children);
    children.clear();
}

qint64 _RemoteFile::countFiles() const
{
    qint64 n = isDir ? 0 : 1;
    for (const _RemoteFile* child : children)
        n += child->countFiles();
    return n;
}
