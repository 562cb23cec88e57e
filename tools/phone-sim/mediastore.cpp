#include "mediastore.h"

#include <QMutexLocker>

namespace phonesim {

namespace {

QString pathOf(const QJsonValue& entry)
{
    return entry.toObject().value(QStringLiteral("path")).toString();
}

bool isPictureKind(const QString& kind)
{
    return kind == QLatin1String("images") || kind == QLatin1String("videos");
}

} // namespace

MediaStore::MediaStore(const QJsonObject& media)
{
    for (auto it = media.begin(); it != media.end(); ++it) {
        m_lists.insert(it.key(), it.value().toArray());
        if (isPictureKind(it.key()))
            for (const QJsonValue& v : it.value().toArray())
                m_pictures.insert(pathOf(v), v.toObject());
    }
}

QJsonArray MediaStore::list(const QString& kind) const
{
    QMutexLocker lock(&m_mutex);
    return m_lists.value(kind);
}

QJsonObject MediaStore::picture(const QString& path) const
{
    QMutexLocker lock(&m_mutex);
    return m_pictures.value(path);
}

void MediaStore::add(const QString& kind, const QJsonObject& entry)
{
    QMutexLocker lock(&m_mutex);
    QJsonArray& list = m_lists[kind];
    const QString path = entry.value(QStringLiteral("path")).toString();
    if (isPictureKind(kind))
        m_pictures.insert(path, entry);
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (pathOf(list.at(i)) == path) {
            list.replace(i, entry);
            return;
        }
    }
    list.append(entry);
}

} // namespace phonesim
