// The phone's media collections ("images", "videos", "music", "ringtones")
// as the listing services and the media restore services share them: the
// fixture's "media" section to begin with, then the items restored into
// them, for the rest of the simulator's life. Thread-safe.
#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>

namespace phonesim {

class MediaStore {
public:
    // The fixture's "media" section: a list of entries per collection.
    explicit MediaStore(const QJsonObject& media);

    // The entries of a collection in listing order.
    QJsonArray list(const QString& kind) const;
    // The entry of any photo or video with that path; empty when none.
    QJsonObject picture(const QString& path) const;
    // Adds an entry; one with the same "path" is replaced in place.
    void add(const QString& kind, const QJsonObject& entry);

private:
    mutable QMutex m_mutex;
    QHash<QString, QJsonArray> m_lists;
    QHash<QString, QJsonObject> m_pictures; // photos and videos by path
};

} // namespace phonesim
