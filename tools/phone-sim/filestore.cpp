#include "filestore.h"

#include <QJsonArray>
#include <QMutexLocker>

namespace phonesim {

namespace {

bool isFolderJson(const QJsonObject& json)
{
    return json.contains(QStringLiteral("children")) || json.value(QStringLiteral("dir")).toBool();
}

QByteArray contentOf(const QJsonObject& f)
{
    if (f.contains(QStringLiteral("generated")))
        return FileStore::pattern(f.value(QStringLiteral("generated")).toInteger());
    if (f.contains(QStringLiteral("base64")))
        return QByteArray::fromBase64(f.value(QStringLiteral("base64")).toString().toLatin1());
    return f.value(QStringLiteral("content")).toString().toUtf8();
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool isBelow(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

} // namespace

QString joinPhonePath(const QString& parent, const QString& name)
{
    return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

QByteArray FileStore::pattern(qint64 n)
{
    QByteArray out(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        out[i] = char((i * 131 + 7) & 0xff);
    return out;
}

FileStore::FileStore(const QJsonObject& root)
{
    QJsonObject top = root;
    top.insert(QStringLiteral("dir"), true);
    add(root.value(QStringLiteral("name")).toString(QStringLiteral("/")), top);
}

void FileStore::add(const QString& path, const QJsonObject& json)
{
    Node node;
    node.isDir = isFolderJson(json);
    node.json = json;
    node.timeMs = json.value(QStringLiteral("time")).toInteger();
    if (!node.isDir)
        node.data = contentOf(json);
    m_nodes.insert(path, node);
    if (!node.isDir)
        return;
    QList<Listed>& list = m_listing[path];
    for (const QJsonValue& cv : json.value(QStringLiteral("children")).toArray()) {
        const QJsonObject c = cv.toObject();
        if (c.contains(QStringLiteral("path"))) {
            // Listed under another entry's path; not a tree node itself.
            list.append({c.value(QStringLiteral("path")).toString(), c});
            continue;
        }
        const QString childPath = joinPhonePath(path, c.value(QStringLiteral("name")).toString());
        list.append({childPath, c});
        add(childPath, c);
    }
}

QList<FileStore::Entry> FileStore::list(const QString& folder) const
{
    QMutexLocker lock(&m_mutex);
    QList<Entry> out;
    for (const Listed& l : m_listing.value(folder)) {
        const auto node = m_nodes.constFind(l.path);
        const bool known = node != m_nodes.cend();
        Entry e;
        e.path = l.path;
        e.isDir = isFolderJson(l.json) || (known && node->isDir);
        if (l.json.contains(QStringLiteral("size")))
            e.size = l.json.value(QStringLiteral("size")).toInteger();
        else if (!e.isDir && known)
            e.size = node->unkeptSize >= 0 ? node->unkeptSize : node->data.size();
        else if (!e.isDir)
            e.size = contentOf(l.json).size();
        e.timeMs = known ? node->timeMs : l.json.value(QStringLiteral("time")).toInteger();
        out.append(e);
    }
    return out;
}

bool FileStore::contains(const QString& path) const
{
    QMutexLocker lock(&m_mutex);
    return m_nodes.contains(path);
}

bool FileStore::read(const QString& path, QByteArray* data, qint64* announced) const
{
    QMutexLocker lock(&m_mutex);
    const auto node = m_nodes.constFind(path);
    if (node == m_nodes.cend() || node->isDir || node->unkeptSize >= 0)
        return false;
    *data = node->data;
    if (announced)
        *announced = node->json.contains(QStringLiteral("announce"))
            ? node->json.value(QStringLiteral("announce")).toInteger()
            : node->data.size();
    return true;
}

bool FileStore::remove(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    // The root stays, as on a phone.
    if (!m_nodes.contains(path) || parentOf(path) == path)
        return false;
    for (auto it = m_nodes.begin(); it != m_nodes.end();)
        it = isBelow(it.key(), path) ? m_nodes.erase(it) : std::next(it);
    for (auto it = m_listing.begin(); it != m_listing.end();) {
        if (isBelow(it.key(), path)) {
            it = m_listing.erase(it);
            continue;
        }
        it->removeIf([&](const Listed& l) { return isBelow(l.path, path); });
        ++it;
    }
    return true;
}

QString FileStore::makeFolders(const QString& folder, qint64 timeMs)
{
    const auto node = m_nodes.constFind(folder);
    if (node != m_nodes.cend())
        return node->isDir ? QString() : QStringLiteral("%1 is a file").arg(folder);
    const QString parent = parentOf(folder);
    if (parent != folder) {
        const QString failure = makeFolders(parent, timeMs);
        if (!failure.isEmpty())
            return failure;
    }
    Node made;
    made.isDir = true;
    made.timeMs = timeMs;
    m_nodes.insert(folder, made);
    m_listing[parent].append({folder, QJsonObject()});
    m_listing[folder];
    return QString();
}

QString FileStore::write(const QString& path, const QByteArray& data, qint64 timeMs)
{
    return store(path, data, -1, timeMs);
}

QString FileStore::writeSize(const QString& path, qint64 size, qint64 timeMs)
{
    return store(path, QByteArray(), size, timeMs);
}

QString FileStore::store(const QString& path, const QByteArray& data, qint64 unkeptSize, qint64 timeMs)
{
    QMutexLocker lock(&m_mutex);
    const QString parent = parentOf(path);
    const QString failure = makeFolders(parent, timeMs);
    if (!failure.isEmpty())
        return failure;
    auto node = m_nodes.find(path);
    if (node != m_nodes.end() && node->isDir)
        return QStringLiteral("%1 is a folder").arg(path);
    QList<Listed>& siblings = m_listing[parent];
    if (node == m_nodes.end()) {
        node = m_nodes.insert(path, Node());
        siblings.append({path, QJsonObject()});
    } else {
        // The fixture's overrides were about the old content.
        for (Listed& l : siblings)
            if (l.path == path)
                l.json = QJsonObject();
    }
    node->json = QJsonObject();
    node->data = data;
    node->unkeptSize = unkeptSize;
    node->timeMs = timeMs;
    return QString();
}

} // namespace phonesim
