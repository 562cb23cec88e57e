#include "restoreservices.h"

#include "contactrestore.h"
#include "phonesim.h"

#include <QMutexLocker>

namespace phonesim {

void refuseLine(Session& s, RestoreStore& store, const QString& reason)
{
    store.addError(s.service(), reason);
    s.sendError(reason);
    throw SessionEnd(reason.toStdString());
}

QString shownLine(const QByteArray& line)
{
    return QString::fromUtf8(line.left(120));
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
            refuseLine(s, store, QStringLiteral("expected $batch: or $bye:, got [%1]").arg(shownLine(line)));
        batch();
    }
}

namespace {

constexpr int kMaxBatch = 100;

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

QVariantMap parseCall(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    qint64 date = 0, duration = 0;
    QString address;
    static const QList<QByteArray> words {"incoming", "outgoing", "rejected", "missed"};
    if (!fieldsOf(line, "$call:", 4, &f) || !decodeInt(f[0], &date) || !words.contains(f[1])
        || !decodeText(f[2], &address) || !decodeInt(f[3], &duration))
        refuseLine(s, store, QStringLiteral("bad call line [%1]").arg(shownLine(line)));
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
        refuseLine(s, store, QStringLiteral("bad bookmark line [%1]").arg(shownLine(line)));
    return {{QStringLiteral("title"), title}, {QStringLiteral("url"), url}};
}

QVariantMap parsePlaylist(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    QString name, members;
    if (!fieldsOf(line, "$playlist:", 2, &f) || !decodeText(f[0], &name) || !decodeText(f[1], &members))
        refuseLine(s, store, QStringLiteral("bad playlist line [%1]").arg(shownLine(line)));
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
        refuseLine(s, store, QStringLiteral("bad event line [%1]").arg(shownLine(line)));
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
        refuseLine(s, store, QStringLiteral("bad reminder line [%1]").arg(shownLine(line)));
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
            refuseLine(s, store, QStringLiteral("more than %1 records in a batch").arg(kMaxBatch));
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
        refuseLine(s, store, QStringLiteral("%1 reminder lines missing").arg(remindersDue));
    if (batch.isEmpty())
        refuseLine(s, store, QStringLiteral("empty batch"));
    return batch;
}

void restoreSession(Session& s, RestoreStore& store)
{
    runBatches(s, store, [&] {
        const QList<QVariantMap> batch = readBatch(s, store);
        // What the phone acknowledged it keeps, whatever happens later.
        s.sendLine("$batch:");
        store.acknowledge(s.service(), batch);
    });
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
    return store;
}

} // namespace phonesim
