#include "dataservices.h"

#include "phonesim.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

namespace phonesim {

namespace {

using Lines = QList<QByteArray>;

QByteArray num(qint64 v)
{
    return QByteArray::number(v);
}

QByteArray b64(const QJsonValue& v)
{
    return codec::text(v.toString());
}

QJsonArray array(const Session& s, const QString& name)
{
    return s.fixture().section(name).toArray();
}

int option(const Session& s, const char* name, int fallback)
{
    const int v = s.fixture().section(QString::fromLatin1(name)).toInt(0);
    return v > 0 ? v : fallback;
}

// Sends the units (each one or more record lines) in batches, waiting for the
// PC's "$batch:" after each, then the closing "$end:" and the PC's "$bye:".
void sendBatches(Session& s, const QList<Lines>& units)
{
    const int size = option(s, "batchSize", 50);
    for (int i = 0; i < units.size(); i += size) {
        s.sendLine("$batch:");
        for (int k = i; k < std::min<int>(i + size, int(units.size())); ++k)
            for (const QByteArray& line : units.at(k))
                s.sendLine(line);
        s.sendLine("$end:");
        s.expectLine("$batch:");
    }
    s.sendLine("$end:");
    s.expectLine("$bye:");
}

QList<Lines> single(const Lines& lines)
{
    QList<Lines> units;
    for (const QByteArray& l : lines)
        units.append(Lines {l});
    return units;
}

// ---------------------------------------------------------------- records

void bookmarks(Session& s)
{
    Lines lines;
    const QJsonArray all = array(s, QStringLiteral("bookmarks"));
    for (int i = 0; i < all.size(); ++i) {
        const QJsonObject b = all.at(i).toObject();
        const qint64 id = b.contains(QStringLiteral("id")) ? b.value(QStringLiteral("id")).toInteger() : i + 1;
        lines.append("$bookmark:" + num(id) + ',' + b64(b.value(QStringLiteral("title"))) + ','
                     + b64(b.value(QStringLiteral("url"))));
    }
    s.sendLine("$count:" + num(lines.size()));
    sendBatches(s, single(lines));
}

QByteArray callWord(const QJsonValue& type)
{
    if (type.isString())
        return type.toString().toUtf8();
    switch (type.toInt()) {
    case 1:
        return "incoming";
    case 2:
        return "outgoing";
    case 5:
        return "rejected";
    default:
        return "missed";
    }
}

void calls(Session& s)
{
    Lines lines;
    for (const QJsonValue& v : array(s, QStringLiteral("calls"))) {
        const QJsonObject c = v.toObject();
        lines.append("$call:" + num(c.value(QStringLiteral("date")).toInteger()) + ','
                     + callWord(c.value(QStringLiteral("type"))) + ',' + b64(c.value(QStringLiteral("address"))) + ','
                     + b64(c.value(QStringLiteral("name"))) + ',' + num(c.value(QStringLiteral("duration")).toInt()));
    }
    s.sendLine("$count:" + num(lines.size()));
    sendBatches(s, single(lines));
}

void calendars(Session& s)
{
    Lines lines;
    qint64 calendarsN = 0, eventsN = 0, remindersN = 0, reminderId = 0;
    for (const QJsonValue& cv : array(s, QStringLiteral("calendars"))) {
        const QJsonObject c = cv.toObject();
        const qint64 calId = c.value(QStringLiteral("id")).toInteger();
        ++calendarsN;
        lines.append("$calendar:" + num(calId) + ",,," + b64(c.value(QStringLiteral("name"))));
        for (const QJsonValue& ev : c.value(QStringLiteral("events")).toArray()) {
            const QJsonObject e = ev.toObject();
            const qint64 eventId = e.value(QStringLiteral("id")).toInteger();
            ++eventsN;
            lines.append(
                "$event:" + num(eventId) + ',' + num(calId) + ',' + num(e.value(QStringLiteral("start")).toInteger())
                + ',' + num(e.value(QStringLiteral("end")).toInteger()) + ',' + b64(e.value(QStringLiteral("tz"))) + ','
                + b64(e.value(QStringLiteral("summary"))) + ',' + b64(e.value(QStringLiteral("description"))) + ','
                + num(e.value(QStringLiteral("allDay")).toInt()) + ',' + b64(e.value(QStringLiteral("rrule"))));
            for (const QJsonValue& rv : e.value(QStringLiteral("reminders")).toArray()) {
                const QJsonObject r = rv.toObject();
                ++remindersN;
                lines.append("$reminder:" + num(++reminderId) + ',' + num(eventId) + ','
                             + num(r.value(QStringLiteral("minutes")).toInt()) + ','
                             + num(r.value(QStringLiteral("method")).toInt()));
            }
        }
    }
    s.sendLine("$count:" + num(calendarsN) + ',' + num(eventsN) + ',' + num(remindersN));
    sendBatches(s, single(lines));
}

void playlists(Session& s)
{
    Lines lines;
    const QJsonArray all = array(s, QStringLiteral("playlists"));
    for (int i = 0; i < all.size(); ++i) {
        const QJsonObject p = all.at(i).toObject();
        QStringList members;
        for (const QJsonValue& m : p.value(QStringLiteral("members")).toArray())
            members.append(m.toString());
        const qint64 id = p.contains(QStringLiteral("id")) ? p.value(QStringLiteral("id")).toInteger() : i + 1;
        lines.append("$playlist:" + num(id) + ',' + b64(p.value(QStringLiteral("name"))) + ','
                     + codec::text(members.join(QLatin1Char('/'))));
    }
    s.sendLine("$count:" + num(lines.size()));
    sendBatches(s, single(lines));
}

void contacts(Session& s)
{
    QList<Lines> units;
    for (const SimContact& c : s.contactBook().contacts()) {
        Lines rows;
        for (const SimRow& r : c.rows)
            rows.append(encodeEnt(r));
        units.append(rows);
    }
    s.sendLine("$version:1");
    s.sendLine("$device:" + s.fixture().deviceValue(QStringLiteral("model")).toUtf8().toBase64());
    s.sendLine("$uid:" + s.fixture().deviceValue(QStringLiteral("uid")).toUtf8());
    s.sendLine("$count:" + num(units.size()));
    sendBatches(s, units);
}

// ---------------------------------------------------------------- media

QString fileNamePart(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QJsonArray mediaList(const Session& s, const QString& kind)
{
    return s.media().list(kind);
}

void images(Session& s, const QString& kind, const QByteArray& command)
{
    Lines lines;
    QHash<QString, qint64> bucketIds;
    const QJsonArray all = mediaList(s, kind);
    for (int i = 0; i < all.size(); ++i) {
        const QJsonObject m = all.at(i).toObject();
        const QString path = m.value(QStringLiteral("path")).toString();
        const QString bucket = m.value(QStringLiteral("bucket")).toString();
        qint64 bucketId = m.value(QStringLiteral("bucketId")).toInteger(0);
        if (bucketId == 0) {
            if (!bucketIds.contains(bucket))
                bucketIds.insert(bucket, bucketIds.size() + 1);
            bucketId = bucketIds.value(bucket);
        }
        const QByteArray key
            = m.contains(QStringLiteral("key")) ? m.value(QStringLiteral("key")).toString().toUtf8() : num(i + 1);
        const QString name
            = m.contains(QStringLiteral("name")) ? m.value(QStringLiteral("name")).toString() : fileNamePart(path);
        lines.append(command + key + ',' + codec::text(name) + ',' + num(m.value(QStringLiteral("date")).toInteger())
                     + ",," + codec::text(path) + ',' + codec::text(bucket) + ',' + num(bucketId));
    }
    s.sendLine("$count:" + num(lines.size()));
    sendBatches(s, single(lines));
}

void music(Session& s, const QString& kind)
{
    Lines lines;
    const QJsonArray all = mediaList(s, kind);
    for (int i = 0; i < all.size(); ++i) {
        const QJsonObject m = all.at(i).toObject();
        const QByteArray key
            = m.contains(QStringLiteral("key")) ? m.value(QStringLiteral("key")).toString().toUtf8() : num(i + 1);
        lines.append("$music:" + key + ',' + b64(m.value(QStringLiteral("title"))) + ','
                     + num(m.value(QStringLiteral("date")).toInteger()) + ',' + b64(m.value(QStringLiteral("path")))
                     + ',' + num(m.value(QStringLiteral("size")).toInteger()) + ','
                     + num(m.value(QStringLiteral("duration")).toInt()));
    }
    s.sendLine("$count:" + num(lines.size()));
    sendBatches(s, single(lines));
}

// ---------------------------------------------------------------- files

void files(Session& s)
{
    FileStore& store = s.files();
    for (;;) {
        QByteArray line = s.readLine();
        line.replace('\r', QByteArray());
        if (line.startsWith("$bye:"))
            return;
        if (line.startsWith("$path:")) {
            for (const FileStore::Entry& e : store.list(QString::fromUtf8(line.mid(6)))) {
                if (e.isDir)
                    s.sendLine("$folder:" + codec::text(e.path));
                else
                    s.sendLine("$file:" + codec::text(e.path) + ",," + num(e.size) + ',' + num(e.timeMs));
            }
            s.sendLine("$end:");
        } else if (line.startsWith("$del:")) {
            s.sendLine(store.remove(QString::fromUtf8(line.mid(5))) ? "$end:1" : "$end:0");
        } else {
            s.sendError(QStringLiteral("unknown request %1").arg(QString::fromUtf8(line.left(100))));
            return;
        }
    }
}

void download(Session& s)
{
    const int blockSize = option(s, "blockSize", 32768);
    for (;;) {
        QByteArray line = s.readLine();
        line.replace('\r', QByteArray());
        if (line.startsWith("$bye:"))
            return;
        if (!line.startsWith("$dload:")) {
            s.sendError(QStringLiteral("unknown request %1").arg(QString::fromUtf8(line.left(100))));
            return;
        }
        const QString path = QString::fromUtf8(line.mid(7));
        QByteArray data;
        qint64 announce = 0;
        if (!s.files().read(path, &data, &announce)) {
            s.sendError(QStringLiteral("%1 not found").arg(path));
            return;
        }
        s.sendLine("$file:" + num(announce));
        for (qint64 at = 0; at < data.size(); at += blockSize)
            s.sendBlock(QByteArray::fromRawData(data.constData() + at, std::min<qint64>(blockSize, data.size() - at)));
        s.sendLine(".");
        s.expectLine("$file:");
    }
}

void thumbnails(Session& s)
{
    const int lineBytes = option(s, "thumbLineBytes", 3000);
    for (;;) {
        QByteArray line = s.readLine();
        line.replace('\r', QByteArray());
        if (line.startsWith("$bye:"))
            return;
        if (!line.startsWith("$dload:")) {
            s.sendError(QStringLiteral("unknown request %1").arg(QString::fromUtf8(line.left(100))));
            return;
        }
        const QString path = codec::untext(line.mid(7).split(',').value(0));
        const QJsonObject m = s.media().picture(path);
        QByteArray data;
        if (m.contains(QStringLiteral("thumb")))
            data = QByteArray::fromBase64(m.value(QStringLiteral("thumb")).toString().toLatin1());
        else if (!s.files().read(path, &data)) {
            s.sendError(QStringLiteral("%1 not found").arg(path));
            return;
        }
        const qint64 announce = m.contains(QStringLiteral("thumbAnnounce"))
            ? m.value(QStringLiteral("thumbAnnounce")).toInteger()
            : data.size();
        s.sendLine("$file:" + num(announce));
        for (qint64 at = 0; at < data.size(); at += lineBytes) {
            s.sendLine(data.mid(at, lineBytes).toBase64());
            s.expectLine(".");
        }
        s.sendLine(".");
        s.expectLine("$file:");
    }
}

// ---------------------------------------------------------------- messages

} // namespace

void sendMessages(Session& s, const QJsonArray& all)
{
    const int size = option(s, "batchSize", 50);
    const int lineBytes = option(s, "thumbLineBytes", 3000);
    s.sendLine("$count:" + num(all.size()));
    for (int i = 0; i < all.size(); i += size) {
        s.sendLine("$batch:");
        for (int k = i; k < std::min<int>(i + size, int(all.size())); ++k) {
            const QJsonObject m = all.at(k).toObject();
            const QJsonArray atts = m.value(QStringLiteral("attachments")).toArray();
            const qint64 ms = m.contains(QStringLiteral("dateMs")) ? m.value(QStringLiteral("dateMs")).toInteger()
                                                                   : m.value(QStringLiteral("date")).toInteger() * 1000;
            QByteArray line = "$sms:" + num(ms) + ',' + (m.value(QStringLiteral("type")).toInt() == 2 ? "1" : "0") + ','
                + b64(m.value(QStringLiteral("address"))) + ',' + b64(m.value(QStringLiteral("name"))) + ','
                + b64(m.value(QStringLiteral("body"))) + ',' + b64(m.value(QStringLiteral("subject")));
            if (!atts.isEmpty())
                line += ',' + num(atts.size());
            s.sendLine(line);
            if (atts.isEmpty())
                continue;
            QByteArray answer = s.readLine();
            answer.replace('\r', QByteArray());
            if (answer != "1")
                continue;
            for (const QJsonValue& av : atts) {
                const QJsonObject a = av.toObject();
                s.sendLine("$atta:" + a.value(QStringLiteral("mime")).toString().toUtf8() + ','
                           + a.value(QStringLiteral("name")).toString().toUtf8());
                const QByteArray data = QByteArray::fromBase64(a.value(QStringLiteral("base64")).toString().toLatin1());
                for (qint64 at = 0; at < data.size(); at += lineBytes)
                    s.sendLine(data.mid(at, lineBytes).toBase64());
                s.sendLine(".");
                s.expectLine(".");
            }
        }
        s.sendLine("$end:");
        s.expectLine("$batch:");
    }
    s.sendLine("$bye:");
    s.expectLine("$bye:");
}

namespace {

void messages(Session& s)
{
    sendMessages(s, array(s, QStringLiteral("messages")));
}

} // namespace

void registerDataServices(PhoneSim& sim)
{
    sim.registerService(QStringLiteral("bookmarks"), bookmarks);
    sim.registerService(QStringLiteral("calendars"), calendars);
    sim.registerService(QStringLiteral("calls"), calls);
    sim.registerService(QStringLiteral("contacts"), contacts);
    sim.registerService(QStringLiteral("playlists"), playlists);
    sim.registerService(QStringLiteral("mms2"), messages);
    sim.registerService(QStringLiteral("images"), [](Session& s) { images(s, QStringLiteral("images"), "$img:"); });
    sim.registerService(QStringLiteral("videos"), [](Session& s) { images(s, QStringLiteral("videos"), "$video:"); });
    sim.registerService(QStringLiteral("music"), [](Session& s) { music(s, QStringLiteral("music")); });
    sim.registerService(QStringLiteral("ringtones"), [](Session& s) { music(s, QStringLiteral("ringtones")); });
    sim.registerService(QStringLiteral("files"), files);
    sim.registerService(QStringLiteral("download"), download);
    sim.registerService(QStringLiteral("image-thumbnails"), thumbnails);
}

Fixture makeLargeFixture(int messages, int conversations, int contacts, int calls, int attachmentEvery)
{
    QJsonObject root;
    root.insert(QStringLiteral("device"),
                QJsonObject {{QStringLiteral("version"), 20},
                             {QStringLiteral("model"), QStringLiteral("Large")},
                             {QStringLiteral("manufacturer"), QStringLiteral("Acme")},
                             {QStringLiteral("imei"), QStringLiteral("356938035600001")},
                             {QStringLiteral("uid"), QStringLiteral("large-phone")},
                             {QStringLiteral("sdk"), QStringLiteral("13")},
                             {QStringLiteral("mmc"), QStringLiteral("262")}});
    root.insert(QStringLiteral("batchSize"), 200);

    // A small picture's worth of bytes; the loader stores it as it comes.
    QByteArray picture(1500, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char((i * 31 + 7) & 0xff);
    const QString pictureB64 = QString::fromLatin1(picture.toBase64());

    QJsonArray msgs;
    const qint64 start = 1600000000;
    for (int i = 0; i < messages; ++i) {
        const int conv = conversations > 0 ? i % conversations : 0;
        QJsonObject m {{QStringLiteral("id"), i + 1},
                       {QStringLiteral("thread"), conv + 1},
                       {QStringLiteral("address"), QStringLiteral("+4930%1").arg(1000000 + conv)},
                       {QStringLiteral("date"), start + qint64(i) * 60},
                       {QStringLiteral("type"), (i % 3 == 0) ? 2 : 1},
                       {QStringLiteral("body"),
                        QStringLiteral("Message %1 of conversation %2, with some text.").arg(i).arg(conv)}};
        if (attachmentEvery > 0 && i % attachmentEvery == attachmentEvery - 1)
            m.insert(QStringLiteral("attachments"),
                     QJsonArray {QJsonObject {{QStringLiteral("name"), QStringLiteral("p%1.jpg").arg(i)},
                                              {QStringLiteral("mime"), QStringLiteral("image/jpeg")},
                                              {QStringLiteral("base64"), pictureB64}}});
        msgs.append(m);
    }
    root.insert(QStringLiteral("messages"), msgs);

    QJsonArray cts;
    for (int i = 0; i < contacts; ++i) {
        const int id = i + 1;
        cts.append(QJsonObject {
            {QStringLiteral("id"), id},
            {QStringLiteral("rows"),
             QJsonArray {QJsonObject {{QStringLiteral("kind"), 1},
                                      {QStringLiteral("id"), id * 10 + 1},
                                      {QStringLiteral("data2"), QStringLiteral("First%1").arg(i)},
                                      {QStringLiteral("data3"), QStringLiteral("Last%1").arg(i)}},
                         QJsonObject {{QStringLiteral("kind"), 3},
                                      {QStringLiteral("id"), id * 10 + 2},
                                      {QStringLiteral("data1"), QStringLiteral("+4930%1").arg(2000000 + i)},
                                      {QStringLiteral("data2"), 2}},
                         QJsonObject {{QStringLiteral("kind"), 4},
                                      {QStringLiteral("id"), id * 10 + 3},
                                      {QStringLiteral("data1"), QStringLiteral("c%1@example.org").arg(i)},
                                      {QStringLiteral("data2"), 1}}}}});
    }
    root.insert(QStringLiteral("contacts"), cts);

    QJsonArray cls;
    for (int i = 0; i < calls; ++i)
        cls.append(QJsonObject {{QStringLiteral("address"), QStringLiteral("+4930%1").arg(1000000 + i % 5000)},
                                {QStringLiteral("date"), start + qint64(i) * 300},
                                {QStringLiteral("duration"), i % 600},
                                {QStringLiteral("type"), 1 + i % 3}});
    root.insert(QStringLiteral("calls"), cls);
    return Fixture::fromJson(root);
}

} // namespace phonesim
