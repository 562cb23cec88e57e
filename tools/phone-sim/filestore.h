// The phone's files as the "files", "download" and "upload" services share
// them: the fixture's "files" tree to begin with, then changed by deletions
// and uploads for the rest of the simulator's life. Thread-safe.
//
// Fixture entries keep their options (dataservices.h): "path" lists an entry
// under another entry's path, "size" and "announce" override what the listing
// and a download say, "generated": n stands for n bytes of a fixed pattern.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QString>

namespace phonesim {

class FileStore {
public:
    struct Entry {
        QString path; // as listed
        bool isDir = false;
        qint64 size = 0; // as listed
        qint64 timeMs = 0;
    };

    // The fixture's "files" section (a tree of entries, its root's name the
    // root path, "/" by default).
    explicit FileStore(const QJsonObject& root);

    // The entries of a folder in listing order; empty for an unknown folder.
    QList<Entry> list(const QString& folder) const;
    bool contains(const QString& path) const;
    // A file's bytes and the size its download announces; false when path
    // names no file.
    bool read(const QString& path, QByteArray* data, qint64* announced = nullptr) const;
    // Deletes the entry with everything below it; false when there is none
    // (and for the root).
    bool remove(const QString& path);
    // Stores a received file under an absolute path, making missing folders;
    // a file there is replaced in place (listed once). Returns why it cannot
    // be stored (a folder there or above it is a file), else an empty text.
    QString write(const QString& path, const QByteArray& data, qint64 timeMs);
    // The same for a file whose bytes are not kept: listed with its size,
    // not readable.
    QString writeSize(const QString& path, qint64 size, qint64 timeMs);

    // "generated" bytes: byte i of n.
    static QByteArray pattern(qint64 n);

private:
    struct Node {
        bool isDir = false;
        QJsonObject json; // fixture entries
        QByteArray data;
        qint64 unkeptSize = -1; // a file whose bytes were not kept
        qint64 timeMs = 0;
    };
    struct Listed {
        QString path;
        QJsonObject json; // the listing entry's own options
    };

    void add(const QString& path, const QJsonObject& node);
    QString makeFolders(const QString& folder, qint64 timeMs);
    QString store(const QString& path, const QByteArray& data, qint64 unkeptSize, qint64 timeMs);

    mutable QMutex m_mutex;
    QHash<QString, Node> m_nodes; // by full path
    QHash<QString, QList<Listed>> m_listing; // by folder path
};

// parent joined with name ("/" is not doubled after the root).
QString joinPhonePath(const QString& parent, const QString& name);

} // namespace phonesim
