#include "restoreservices.h"

#include "contactrestore.h"
#include "dataservices.h"
#include "messagerestore.h"
#include "phonesim.h"
#include "restorelines.h"
#include "simcodec.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutexLocker>

#include <algorithm>

namespace phonesim {

namespace restorelines {

// The PC's upload blocks are never larger.
constexpr qint64 kMaxUploadBlock = 512 * 1024;
// A relayed media block is as large as the sending phone made it.
constexpr qint64 kMaxMediaBlock = 16 * 1024 * 1024;

void fail(Session& s, RestoreStore& store, const QString& reason)
{
    store.addError(s.service(), reason);
    s.sendError(reason);
    throw SessionEnd(reason.toStdString());
}

QString shown(const QByteArray& line)
{
    return QString::fromUtf8(line.left(120));
}

// A Base64 field of UTF-8 text; an empty field is an empty text.
bool decodeText(const QByteArray& field, QString* out)
{
    return codec::untextStrict(field, out);
}

bool decodeInt(const QByteArray& field, qint64* out)
{
    bool ok = false;
    *out = field.toLongLong(&ok);
    return ok && !field.startsWith('+') && !field.contains(' ');
}

// Splits "$cmd:a,b,c" after its command into exactly n fields.
bool fieldsOf(const QByteArray& line, const QByteArray& command, int n, QList<QByteArray>* fields)
{
    if (!line.startsWith(command))
        return false;
    *fields = line.mid(command.size()).split(',');
    return fields->size() == n;
}

void runBatches(Session& s, RestoreStore& store, const std::function<void()>& batch)
{
    for (;;) {
        const QByteArray line = s.readLine();
        if (line == "$bye:") {
            store.completed(s.service());
            return;
        }
        if (line != "$batch:")
            fail(s, store, QStringLiteral("expected $batch: or $bye:, got [%1]").arg(shown(line)));
        batch();
    }
}

} // namespace restorelines

namespace {

using namespace restorelines;

QVariantMap parseCall(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    qint64 date = 0, duration = 0;
    QString address;
    static const QList<QByteArray> words {"incoming", "outgoing", "rejected", "missed"};
    if (!fieldsOf(line, "$call:", 4, &f) || !decodeInt(f[0], &date) || !words.contains(f[1])
        || !decodeText(f[2], &address) || !decodeInt(f[3], &duration))
        fail(s, store, QStringLiteral("bad call line [%1]").arg(shown(line)));
    return {{QStringLiteral("date"), date},
            {QStringLiteral("type"), QString::fromLatin1(f[1])},
            {QStringLiteral("address"), address},
            {QStringLiteral("duration"), duration}};
}

QVariantMap parseBookmark(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    QString title, url;
    if (!fieldsOf(line, "$bookmark:", 2, &f) || !decodeText(f[0], &title) || !decodeText(f[1], &url))
        fail(s, store, QStringLiteral("bad bookmark line [%1]").arg(shown(line)));
    return {{QStringLiteral("title"), title}, {QStringLiteral("url"), url}};
}

QVariantMap parsePlaylist(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    QString name, members;
    if (!fieldsOf(line, "$playlist:", 2, &f) || !decodeText(f[0], &name) || !decodeText(f[1], &members))
        fail(s, store, QStringLiteral("bad playlist line [%1]").arg(shown(line)));
    return {{QStringLiteral("name"), name}, {QStringLiteral("members"), members}};
}

// "$event:" with its nine fields; *reminders receives the announced count.
QVariantMap parseEvent(Session& s, RestoreStore& store, const QByteArray& line, qint64* reminders)
{
    QList<QByteArray> f;
    QString calendar, tz, summary, description, rrule;
    qint64 start = 0, end = 0, allDay = 0;
    if (!fieldsOf(line, "$event:", 9, &f) || !decodeText(f[0], &calendar) || !decodeInt(f[1], &start)
        || !decodeInt(f[2], &end) || !decodeText(f[3], &tz) || !decodeText(f[4], &summary)
        || !decodeText(f[5], &description) || !decodeInt(f[6], &allDay) || !decodeText(f[7], &rrule)
        || !decodeInt(f[8], reminders) || *reminders < 0)
        fail(s, store, QStringLiteral("bad event line [%1]").arg(shown(line)));
    return {{QStringLiteral("calendar"), calendar},
            {QStringLiteral("start"), start},
            {QStringLiteral("end"), end},
            {QStringLiteral("tz"), tz},
            {QStringLiteral("summary"), summary},
            {QStringLiteral("description"), description},
            {QStringLiteral("allDay"), allDay},
            {QStringLiteral("rrule"), rrule},
            {QStringLiteral("reminders"), QStringList()}};
}

QString parseReminder(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    qint64 minutes = 0, method = 0;
    if (!fieldsOf(line, "$reminder:", 2, &f) || !decodeInt(f[0], &minutes) || !decodeInt(f[1], &method))
        fail(s, store, QStringLiteral("bad reminder line [%1]").arg(shown(line)));
    return QStringLiteral("%1,%2").arg(minutes).arg(method);
}

// One batch's record lines up to "$end:".
QList<QVariantMap> readBatch(Session& s, RestoreStore& store)
{
    QList<QVariantMap> batch;
    qint64 remindersDue = 0;
    const QString service = s.service();
    for (;;) {
        const QByteArray line = s.readLine();
        if (line == "$end:")
            break;
        if (service == QLatin1String("calendars") && remindersDue > 0) {
            QVariantMap& event = batch.last();
            QStringList reminders = event.value(QStringLiteral("reminders")).toStringList();
            reminders.append(parseReminder(s, store, line));
            event.insert(QStringLiteral("reminders"), reminders);
            --remindersDue;
            continue;
        }
        if (batch.size() == kMaxBatch)
            fail(s, store, QStringLiteral("more than %1 records in a batch").arg(kMaxBatch));
        if (service == QLatin1String("calls"))
            batch.append(parseCall(s, store, line));
        else if (service == QLatin1String("bookmarks"))
            batch.append(parseBookmark(s, store, line));
        else if (service == QLatin1String("playlists"))
            batch.append(parsePlaylist(s, store, line));
        else
            batch.append(parseEvent(s, store, line, &remindersDue));
    }
    if (remindersDue > 0)
        fail(s, store, QStringLiteral("%1 reminder lines missing").arg(remindersDue));
    if (batch.isEmpty())
        fail(s, store, QStringLiteral("empty batch"));
    return batch;
}

void restoreSession(Session& s, RestoreStore& store)
{
    for (;;) {
        const QByteArray line = s.readLine();
        if (line == "$bye:") {
            store.completed(s.service());
            return;
        }
        if (line != "$batch:")
            fail(s, store, QStringLiteral("expected $batch: or $bye:, got [%1]").arg(shown(line)));
        const QList<QVariantMap> batch = readBatch(s, store);
        // What the phone acknowledged it keeps, whatever happens later.
        s.sendLine("$batch:");
        store.acknowledge(s.service(), batch);
    }
}

// An absolute phone path of plain names: no empty, "." or ".." part, no
// trailing slash, valid UTF-8 without line breaks.
bool isCleanPhonePath(const QByteArray& raw, QString* path)
{
    *path = QString::fromUtf8(raw);
    if (path->toUtf8() != raw || raw.contains('\r') || !raw.startsWith('/') || raw.endsWith('/'))
        return false;
    const QList<QByteArray> parts = raw.mid(1).split('/');
    return std::none_of(parts.begin(), parts.end(),
                        [](const QByteArray& p) { return p.isEmpty() || p == "." || p == ".."; });
}

// Files as "$file:" + path, then "$block:n" + n bytes (each answered "."),
// then "." (answered "$file:" once stored); "$bye:" between files ends it.
// Acknowledgements go through sendLine, so faults can hit any of them.
void uploadSession(Session& s, RestoreStore& store)
{
    for (;;) {
        const QByteArray line = s.readLine();
        if (line == "$bye:") {
            store.completed(s.service());
            return;
        }
        QString path;
        if (!line.startsWith("$file:"))
            fail(s, store, QStringLiteral("expected $file: or $bye:, got [%1]").arg(shown(line)));
        if (!isCleanPhonePath(line.mid(6), &path))
            fail(s, store, QStringLiteral("bad file path [%1]").arg(shown(line)));
        // Without "keepUploads" (benchmarks) one block's room is reused and
        // only the size is kept.
        const bool keep = s.fixture().section(QStringLiteral("keepUploads")).toBool(true);
        QByteArray data;
        qint64 size = 0;
        QVariantList blocks;
        for (;;) {
            const QByteArray next = s.readLine();
            if (next == ".")
                break;
            qint64 n = 0;
            if (!next.startsWith("$block:") || !decodeInt(next.mid(7), &n) || n < 1 || n > kMaxUploadBlock)
                fail(s, store, QStringLiteral("bad block line [%1] in %2").arg(shown(next), path));
            const qsizetype at = keep ? data.size() : 0;
            if (data.size() < at + n)
                data.resize(at + n);
            s.readInto(data.data() + at, n);
            size += n;
            blocks.append(n);
            s.sendLine(".");
        }
        // A file counts only once complete: a broken session leaves none.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const QString refused = keep ? s.files().write(path, data, now) : s.files().writeSize(path, size, now);
        if (!refused.isEmpty())
            fail(s, store, refused);
        store.acknowledge(
            s.service(),
            {{{QStringLiteral("path"), path}, {QStringLiteral("size"), size}, {QStringLiteral("blocks"), blocks}}});
        s.sendLine("$file:");
    }
}

// What each media restore service takes: its item command, the number of
// fields of an offer, and where a file it keeps goes.
struct MediaKind {
    QByteArray command;
    int fields;
    QString folder;
};

MediaKind mediaKind(const QString& service)
{
    if (service == QLatin1String("images"))
        return {"$img:", 4, QStringLiteral("/sdcard/Pictures")};
    if (service == QLatin1String("videos"))
        return {"$video:", 4, QStringLiteral("/sdcard/Movies")};
    if (service == QLatin1String("music"))
        return {"$music:", 3, QStringLiteral("/sdcard/Music")};
    return {"$music:", 3, QStringLiteral("/sdcard/Ringtones")};
}

// One component of a phone path.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r'));
}

// Whether the phone declines an offered file: fixture "declineMedia" true
// declines every file, a list of names those files.
bool declines(const Session& s, const QString& name)
{
    const QJsonValue decline = s.fixture().section(QStringLiteral("declineMedia"));
    if (decline.isBool())
        return decline.toBool();
    return decline.toArray().contains(QJsonValue(name));
}

// A file's data after the phone said "1": "$file:" (with the size the
// sender announces, or empty), "$block:n" + n bytes each answered ".", then
// ".". Returns the bytes (only their count without "keepUploads").
QByteArray receiveMediaFile(Session& s, RestoreStore& store, const QString& name, qint64* size, QVariantList* blocks)
{
    const QByteArray head = s.readLine();
    qint64 announced = -1;
    if (!head.startsWith("$file:") || (head.size() > 6 && (!decodeInt(head.mid(6), &announced) || announced < 0)))
        fail(s, store, QStringLiteral("expected $file: for %1, got [%2]").arg(name, shown(head)));
    const bool keep = s.fixture().section(QStringLiteral("keepUploads")).toBool(true);
    QByteArray data;
    *size = 0;
    for (;;) {
        const QByteArray next = s.readLine();
        if (next == ".")
            break;
        qint64 n = 0;
        if (!next.startsWith("$block:") || !decodeInt(next.mid(7), &n) || n < 0 || n > kMaxMediaBlock)
            fail(s, store, QStringLiteral("bad block line [%1] in %2").arg(shown(next), name));
        const qsizetype at = keep ? data.size() : 0;
        if (data.size() < at + n)
            data.resize(at + n);
        s.readInto(data.data() + at, n);
        *size += n;
        blocks->append(n);
        s.sendLine(".");
    }
    if (announced >= 0 && *size != announced)
        fail(s, store, QStringLiteral("%1: %2 bytes received, %3 announced").arg(name).arg(*size).arg(announced));
    return data;
}

// The media restore dialogue: "$uid:" and "$device:", then per file an
// offer ("$img:" / "$video:" name,time,path,album or "$music:" name,time,path,
// Base64 texts but the time), the phone's "1" or "0", the file when wanted,
// and the offer's command back; "$bye:" between files ends it. A file counts
// only once complete; it goes below the kind's folder (photos and videos in
// their album's folder) and into the collection, so a later listing shows it.
void mediaSession(Session& s, RestoreStore& store)
{
    const MediaKind kind = mediaKind(s.service());
    s.expectLine("$uid:");
    const QByteArray device = s.expectLine("$device:");
    QString deviceName;
    if (!decodeText(device.mid(8), &deviceName))
        fail(s, store, QStringLiteral("bad device line [%1]").arg(shown(device)));
    for (;;) {
        const QByteArray line = s.readLine();
        if (line == "$bye:") {
            store.completed(s.service());
            return;
        }
        QList<QByteArray> f;
        QString name, source, album;
        qint64 time = 0;
        if (!fieldsOf(line, kind.command, kind.fields, &f) || !decodeText(f[0], &name) || !isPlainName(name)
            || !decodeInt(f[1], &time) || !decodeText(f[2], &source) || (kind.fields == 4 && !decodeText(f[3], &album)))
            fail(s, store, QStringLiteral("bad offer [%1]").arg(shown(line)));
        QVariantMap record {{QStringLiteral("name"), name},         {QStringLiteral("time"), time},
                            {QStringLiteral("source"), source},     {QStringLiteral("album"), album},
                            {QStringLiteral("device"), deviceName}, {QStringLiteral("taken"), false}};
        if (declines(s, name)) {
            s.sendLine("0");
            store.acknowledge(s.service(), {record});
            s.sendLine(kind.command);
            continue;
        }
        s.sendLine("1");
        qint64 size = 0;
        QVariantList blocks;
        const QByteArray data = receiveMediaFile(s, store, name, &size, &blocks);
        QString folder = kind.folder;
        QString bucket = kind.folder.mid(kind.folder.lastIndexOf(QLatin1Char('/')) + 1);
        if (!album.isEmpty()) {
            bucket = album;
            folder = joinPhonePath(folder, isPlainName(album) ? album : QStringLiteral("album"));
        }
        const QString path = joinPhonePath(folder, name);
        const bool keep = s.fixture().section(QStringLiteral("keepUploads")).toBool(true);
        const QString refused
            = keep ? s.files().write(path, data, time * 1000) : s.files().writeSize(path, size, time * 1000);
        if (!refused.isEmpty())
            fail(s, store, refused);
        const QString key = QStringLiteral("r%1").arg(store.records(s.service()).size() + 1);
        s.media().add(s.service(),
                      QJsonObject {{QStringLiteral("path"), path},
                                   {QStringLiteral("bucket"), bucket},
                                   {QStringLiteral("date"), time},
                                   {QStringLiteral("title"), name.left(name.lastIndexOf(QLatin1Char('.')))},
                                   {QStringLiteral("size"), size},
                                   {QStringLiteral("key"), key}});
        record.insert(QStringLiteral("taken"), true);
        record.insert(QStringLiteral("stored"), path);
        record.insert(QStringLiteral("size"), size);
        record.insert(QStringLiteral("blocks"), blocks);
        store.acknowledge(s.service(), {record});
        s.sendLine("$file:");
        s.sendLine(kind.command + key.toUtf8());
    }
}

} // namespace

QList<QVariantMap> RestoreStore::records(const QString& service) const
{
    QMutexLocker lock(&m_mutex);
    return m_records.value(service);
}

QList<int> RestoreStore::batchSizes(const QString& service) const
{
    QMutexLocker lock(&m_mutex);
    return m_batches.value(service);
}

int RestoreStore::completedSessions(const QString& service) const
{
    QMutexLocker lock(&m_mutex);
    return m_completed.value(service);
}

QStringList RestoreStore::errors() const
{
    QMutexLocker lock(&m_mutex);
    return m_errors;
}

void RestoreStore::acknowledge(const QString& service, const QList<QVariantMap>& batch)
{
    QMutexLocker lock(&m_mutex);
    m_records[service].append(batch);
    m_batches[service].append(int(batch.size()));
}

void RestoreStore::completed(const QString& service)
{
    QMutexLocker lock(&m_mutex);
    ++m_completed[service];
}

void RestoreStore::addError(const QString& service, const QString& reason)
{
    QMutexLocker lock(&m_mutex);
    m_errors.append(service + QStringLiteral(": ") + reason);
}

std::shared_ptr<RestoreStore> registerRestoreServices(PhoneSim& sim)
{
    auto store = std::make_shared<RestoreStore>();
    for (const char* name : {"bookmarks", "calendars", "calls", "playlists", "contacts"}) {
        const QString service = QString::fromLatin1(name);
        ServiceHandler backup = sim.serviceHandler(service);
        sim.registerService(service, [store, backup](Session& s) {
            if (s.isRestore() && s.service() == QLatin1String("contacts"))
                contactsRestoreSession(s, *store);
            else if (s.isRestore())
                restoreSession(s, *store);
            else if (backup)
                backup(s);
            else
                s.sendError(QStringLiteral("no backup service %1").arg(s.service()));
        });
    }
    for (const char* name : {"images", "videos", "music", "ringtones"}) {
        const QString service = QString::fromLatin1(name);
        ServiceHandler listing = sim.serviceHandler(service);
        sim.registerService(service, [store, listing](Session& s) {
            if (s.isRestore())
                mediaSession(s, *store);
            else if (listing)
                listing(s);
        });
    }
    sim.registerService(QStringLiteral("upload"), [store](Session& s) {
        if (s.isRestore())
            uploadSession(s, *store);
        else
            s.sendError(QStringLiteral("no backup service upload"));
    });
    // A load returns the fixture's messages and then every message restored
    // through this store.
    const QString mms = QStringLiteral("mms2");
    sim.registerService(mms, [store, mms](Session& s) {
        if (s.isRestore()) {
            messageRestoreSession(s, *store);
            return;
        }
        QJsonArray all = s.fixture().section(QStringLiteral("messages")).toArray();
        for (const QVariantMap& m : store->records(mms))
            all.append(QJsonObject::fromVariantMap(m));
        sendMessages(s, all);
    });
    return store;
}

} // namespace phonesim
