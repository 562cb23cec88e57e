// One note of a local backup.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct NoteRecord {
    NoteRecord() = default;
    NoteRecord(const QString& dev_id, const QString& src_id)
        : dev_id(dev_id)
        , src_id(src_id)
    {
    }

    // Duplicate key: MD5 (lower-case hex) of the UTF-8 title followed by the
    // UTF-8 content.
    QByteArray hash() const;

    QDateTime created;
    QDateTime modified;
    QString title;
    QString summary;
    QString content; // HTML text
    QString dev_id; // device the note came from
    QString src_id; // the note's id at its source
};
