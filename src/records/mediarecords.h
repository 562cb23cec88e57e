// Media items listed from a phone: photos and videos with their albums,
// songs and ringtones, voice recordings.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

struct PhotoRecord {
    QString name; // shown in the grid
    QDateTime date;
    QString rawRef; // key text from the phone, kept as it comes
    QString altPath; // thumbnail source (the loader sets it to path)
    QString path; // the file on the phone
    QString bucketName; // album name
    qint64 bucketId = 0;
};

struct PhotoBucket {
    PhotoBucket() = default;
    PhotoBucket(qint64 id, const QString& name)
        : id(id)
        , name(name)
    {
    }

    qint64 id = 0; // the phone's album id
    QString name;
    QList<PhotoRecord> photos; // implicitly shared between copies
};

struct MusicRecord {
    QString rawRef; // key text from the phone, kept as it comes
    QString title;
    QDateTime modified;
    QString path; // the file on the phone
    qint64 size = 0; // bytes
    int duration = 0; // seconds
};

struct RecordingRecord {
    QDateTime date;
    int duration = 0; // seconds
    QString path;
};
