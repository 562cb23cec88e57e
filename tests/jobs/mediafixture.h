// Simulated phones holding media for the media job tests: each file is both
// an entry of its media collection and a file of the phone's storage, so
// that listings, downloads and thumbnails agree.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

namespace mediatest {

struct MediaFile {
    QString kind; // "images", "videos", "music", "ringtones"
    QString path; // absolute phone path
    QByteArray data;
    qint64 date = 0; // seconds since 1970
    QString bucket; // album (photos and videos)
    QJsonObject file = {}; // further options of the storage entry ("announce")
};

// n bytes of a pattern that differs per seed.
inline QByteArray bytes(qint64 n, int seed)
{
    QByteArray out(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        out[i] = char((i * 7 + seed * 13 + i / 251) & 0xff);
    return out;
}

namespace detail {
struct Folder {
    QMap<QString, Folder> folders;
    QMap<QString, QJsonObject> files;

    QJsonArray children() const
    {
        QJsonArray out;
        for (auto it = folders.cbegin(); it != folders.cend(); ++it)
            out.append(QJsonObject {{QStringLiteral("name"), it.key()}, {QStringLiteral("children"), it->children()}});
        for (const QJsonObject& f : files)
            out.append(f);
        return out;
    }
};
} // namespace detail

// The fixture: options (device, "blockSize", "declineMedia", ...) with the
// "media" and "files" sections made from the files.
inline QJsonObject fixture(const QList<MediaFile>& files, QJsonObject options = {})
{
    detail::Folder root;
    QJsonObject media;
    for (const MediaFile& f : files) {
        const QStringList parts = f.path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        detail::Folder* folder = &root;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            folder = &folder->folders[parts.at(i)];
        QJsonObject entry = f.file;
        entry.insert(QStringLiteral("name"), parts.last());
        entry.insert(QStringLiteral("base64"), QString::fromLatin1(f.data.toBase64()));
        entry.insert(QStringLiteral("time"), f.date * 1000);
        folder->files.insert(parts.last(), entry);

        QJsonArray list = media.value(f.kind).toArray();
        list.append(QJsonObject {{QStringLiteral("path"), f.path},
                                 {QStringLiteral("bucket"), f.bucket},
                                 {QStringLiteral("date"), f.date},
                                 {QStringLiteral("title"), parts.last()},
                                 {QStringLiteral("size"), qint64(f.data.size())}});
        media.insert(f.kind, list);
    }
    options.insert(QStringLiteral("media"), media);
    options.insert(
        QStringLiteral("files"),
        QJsonObject {{QStringLiteral("name"), QStringLiteral("/")}, {QStringLiteral("children"), root.children()}});
    return options;
}

} // namespace mediatest
