// A node of a file tree: a phone's file system, a virtual device's folder,
// or a flat list of files picked for download.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

struct _RemoteFile {
    // name becomes the file-name part of path. Does not add itself to
    // parent->children: the builder does that.
    _RemoteFile(_RemoteFile* parent, bool isDir, const QString& path, const QString& label, bool importable,
                bool exportable, bool deletable, const QString& exportGroup);
    // Deletes the whole subtree.
    ~_RemoteFile();
    _RemoteFile(const _RemoteFile&) = delete;
    _RemoteFile& operator=(const _RemoteFile&) = delete;

    // Files in the subtree: 1 for a file, 0 for a folder, plus its children's.
    qint64 countFiles() const;

    _RemoteFile* parent = nullptr; // not owned; null for a root
    QString name; // file-name part of path
    QString label; // shown instead of name when not empty
    QString path; // full path on the phone (or the PC)
    bool isDir = false;
    QDateTime modified; // null until the builder sets it
    qint64 size = 0; // bytes
    QList<_RemoteFile*> children; // owned, in the order added
    bool importable = true; // the folder accepts uploads
    bool exportable = true; // the entry may be extracted
    bool deletable = true; // the entry may be deleted
    QString exportGroup; // entries extracted together share this text
};
