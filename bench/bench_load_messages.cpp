// Loading a large phone's messages from the simulator over loopback, side by
// side with the floor it cannot beat, all in one run:
//   bare         the "mms2" dialogue alone: every line read, every part
//                fetched, nothing decoded or stored;
//   bare known   the same dialogue answering that every message with parts
//                is known: the wire of an incremental load;
//   floor        the rows a full load stores, written with prepared
//                statements into a fresh store of the same schema (triggers
//                and bookkeeping tables included) in one transaction, and the
//                attachment bytes written straight to their files: no
//                look-ups, every chat's newest date known beforehand;
//   full         the loader into an empty cache;
//   incremental  the loader again with nothing new.
// It prints full / (bare + floor), incremental / full and incremental /
// bare known, checks that the floor store holds exactly the rows of the
// loaded one, and reports the peak resident set of the full load (with the
// in-process simulator and its fixture).
//
// Knobs (environment): BENCH_MESSAGES (100000), BENCH_CONVERSATIONS (2000),
// BENCH_ATTACHMENT_EVERY (10: one message in ten has a picture),
// BENCH_ATTACHMENT_KB (pictures of this many KiB instead of 1500 bytes),
// BENCH_KEEP=1 (keep the stores and print where they are), BENCH_FLOOR=0
// (no floor: for runs whose attachments would fill the disk twice).
// BENCH_PHONE=<address> loads from a phone-sim started apart (for example
// "phone-sim --large 100000,2000 127.0.91.1"), so that the peak resident set
// of this process (/usr/bin/time -v) is the loader's own; there is no floor
// then, the fixture being in the other process.
#include "messagestore/countrylibdb.h"
#include "messagestore/msgrecords.h"
#include "messagestore/partcontent.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androidloadmessagesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include "dataservices.h"
#include "phonesim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

class QuietReport : public JobReport {
public:
    void postUpdateProgress(const QString&, int, const QString&) override { ++updates; }
    void postErrorOccurred(const QString& err) override { error = err; }
    void postSucceed(const QString&) override { ok = true; }
    void postTipsWait(const QString&) override {}
    bool userCanceled() const override { return false; }
    bool waitingTips() const override { return false; }

    std::atomic<qint64> updates {0};
    bool ok = false;
    QString error;
};

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Peak resident set since the last reset, in MB (Linux).
double peakRssMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeakRss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Large pictures are one KiB repeated, so that the fixture stays small.
phonesim::Fixture makeFixture(int messages, int conversations)
{
    const int every = envInt("BENCH_ATTACHMENT_EVERY", 10);
    const int kb = envInt("BENCH_ATTACHMENT_KB", 0);
    phonesim::Fixture fixture = phonesim::makeLargeFixture(messages, conversations, 0, 0, every);
    if (kb == 0)
        return fixture;
    QByteArray kib(1024, '\0');
    for (int i = 0; i < kib.size(); ++i)
        kib[i] = char((i * 29 + 3) & 0xff);
    const QString b64 = QString::fromLatin1(kib.toBase64());
    QJsonObject root = fixture.root();
    QJsonArray all = root.value(QStringLiteral("messages")).toArray();
    for (qsizetype i = 0; i < all.size(); ++i) {
        QJsonObject m = all.at(i).toObject();
        if (!m.contains(QStringLiteral("attachments")))
            continue;
        QJsonArray atts = m.value(QStringLiteral("attachments")).toArray();
        for (qsizetype k = 0; k < atts.size(); ++k) {
            QJsonObject a = atts.at(k).toObject();
            a.insert(QStringLiteral("base64"), b64);
            a.insert(QStringLiteral("repeat"), kb);
            atts.replace(k, a);
        }
        m.insert(QStringLiteral("attachments"), atts);
        all.replace(i, m);
    }
    root.insert(QStringLiteral("messages"), all);
    return phonesim::Fixture::fromJson(root);
}

struct Setup {
    std::unique_ptr<phonesim::PhoneSim> sim; // null with BENCH_PHONE
    AndroidDeviceInfo device;
    int messages = 0;
};

Setup& setup()
{
    static Setup s = [] {
        Setup out;
        out.messages = envInt("BENCH_MESSAGES", 100000);
        const int conversations = envInt("BENCH_CONVERSATIONS", 2000);
        phonesim::PhoneSim::Options o;
        o.address = QHostAddress(QStringLiteral("127.0.90.1"));
        o.idleTimeoutMs = 600000;
        o.acceptTimeoutMs = 60000;
        o.keepLines = false;
        const QString external = qEnvironmentVariable("BENCH_PHONE");
        if (!external.isEmpty()) {
            o.address = QHostAddress(external);
        } else {
            out.sim = std::make_unique<phonesim::PhoneSim>(makeFixture(out.messages, conversations), o);
            QString error;
            if (!out.sim->start(&error))
                qFatal("simulator: %s", qPrintable(error));
        }
        out.device.isWiFi = true;
        out.device.host = o.address.toString();
        out.device.port = PhoneAgentPackage::kWifiControlPort;
        out.device.imei = QStringLiteral("356938035600001");
        out.device.mmc = QStringLiteral("262");
        simpleprotocol::setLocalPortProvider([] { return freePort(); });
        return out;
    }();
    return s;
}

// The "mms2" dialogue with no database: every line read, every part taken
// (or, with known, none).
qint64 bareTransfer(const AndroidDeviceInfo& device, bool known)
{
    const QString url = QStringLiteral("backup://127.0.0.1:%1/mms2").arg(simpleprotocol::nextLocalPort());
    std::unique_ptr<QTcpSocket> s(device.connect(url, 10000));
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    qint64 lines = 0;
    for (;;) {
        const QString line = simpleprotocol::readCommand(s.get(), -1);
        ++lines;
        if (line.startsWith(QLatin1String("$bye:")))
            break;
        if (!line.startsWith(QLatin1String("$batch:")))
            continue;
        for (;;) {
            const QString rec = simpleprotocol::readCommand(s.get(), -1);
            ++lines;
            if (rec.startsWith(QLatin1String("$end:"))) {
                simpleprotocol::sendCommand(s.get(), QStringLiteral("$batch:"), QString(), true, -1);
                break;
            }
            const QStringList f = rec.split(QLatin1Char(','));
            const int parts = f.size() > 6 ? f.at(6).toInt() : 0;
            if (parts < 1)
                continue;
            simpleprotocol::sendCommand(s.get(), known ? QStringLiteral("0") : QStringLiteral("1"), QString(), true,
                                        -1);
            if (known)
                continue;
            for (int i = 0; i < parts; ++i) {
                simpleprotocol::expectCommand(s.get(), QStringLiteral("$atta:"), -1);
                while (!simpleprotocol::readLine(s.get(), -1).startsWith(QLatin1Char('.')))
                    ++lines;
                simpleprotocol::sendCommand(s.get(), QStringLiteral("."), QString(), true, -1);
            }
        }
    }
    simpleprotocol::sendCommand(s.get(), QStringLiteral("$bye:"), QString(), true, -1);
    return lines;
}

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::abort();
    }
}

// Prepared statements of the floor, bound by position.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql)
        : m_db(db)
    {
        check(sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr), db);
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt& text(const QString& v)
    {
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(m_stmt, ++m_at, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& blob(const QByteArray& v)
    {
        sqlite3_bind_blob(m_stmt, ++m_at, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& null()
    {
        sqlite3_bind_null(m_stmt, ++m_at);
        return *this;
    }
    Stmt& num(qint64 v)
    {
        sqlite3_bind_int64(m_stmt, ++m_at, v);
        return *this;
    }
    qint64 run()
    {
        check(sqlite3_step(m_stmt), m_db);
        sqlite3_reset(m_stmt);
        m_at = 0;
        return sqlite3_last_insert_rowid(m_db);
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    int m_at = 0;
};

QString attachmentsFolder(const QString& storeFolder)
{
    return storeFolder + QStringLiteral("/file-relay/var/mobile/");
}

// The rows and files a full load of the fixture stores, in the order the
// loader writes them, so that even the rowids agree.
void floorInsert(const phonesim::Fixture& fixture, const QString& folder, const QString& mcc)
{
    const QString dbPath = folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/sms.db");
    QDir().mkpath(QFileInfo(dbPath).absolutePath());
    QFile ddl(QStringLiteral(":/res/localmsgdb_ddl.sql"));
    ddl.open(QIODevice::ReadOnly);
    sqlite3* db = nullptr;
    check(sqlite3_open(dbPath.toUtf8().constData(), &db), db);
    check(sqlite3_exec(db, ddl.readAll().constData(), nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db,
                       "CREATE TABLE parent_hash(child TEXT, parent TEXT);"
                       "CREATE INDEX idx_parent_hash_child on parent_hash(child);"
                       "CREATE INDEX idx_parent_hash_parent on parent_hash(parent);"
                       "CREATE TABLE valid_hash(hash TEXT);"
                       "CREATE INDEX idx_valid_hash on valid_hash(hash);",
                       nullptr, nullptr, nullptr),
          db);
    check(sqlite3_exec(db, "PRAGMA cache_size=-65536; BEGIN", nullptr, nullptr, nullptr), db);
    {
        Stmt chat(db,
                  "insert into chat(guid,style,state,chat_identifier,service_name,account_login,is_archived,"
                  "group_id,_last) values(?,45,3,?,'SMS','E:',0,?,?)");
        Stmt handle(db, "insert into handle(id,service,_ct_name,_photo) values(?,'SMS',?,x'')");
        Stmt chj(db, "insert into chat_handle_join(chat_id,handle_id) values(?,?)");
        Stmt msg(db,
                 "insert into message(guid,text,replace,handle_id,subject,attributedBody,version,type,service,"
                 "account,account_guid,error,date,date_read,date_delivered,is_delivered,is_finished,is_emote,"
                 "is_from_me,is_empty,is_delayed,is_auto_reply,is_prepared,is_read,is_system_message,is_sent,"
                 "has_dd_results,is_service_message,is_forward,was_downgraded,is_archive,cache_has_attachments,"
                 "cache_roomnames,was_data_detected,was_deduplicated,is_audio_message,is_played,date_played,"
                 "item_type,group_action_type,share_status,share_direction,is_expirable,expire_state,"
                 "message_action_type,logic_hash) values(?,?,0,?,?,?,10,0,'SMS','e:','',0,?,?,?,0,1,0,?,0,0,0,"
                 "1,1,0,1,0,0,0,0,0,0,'',1,0,0,0,0,0,0,0,0,0,0,0,?)");
        Stmt cmj(db, "insert into chat_message_join(chat_id,message_id) values(?,?)");
        Stmt att(db,
                 "insert into attachment(guid,created_date,start_date,filename,uti,mime_type,transfer_state,"
                 "is_outgoing,transfer_name,total_bytes,content_hash) values(?,?,0,?,?,'image/jpeg',5,?,?,?,?)");
        Stmt maj(db, "insert into message_attachment_join(message_id,attachment_id) values(?,?)");
        Stmt parent(db, "insert into parent_hash(child,parent) values(?,?)");
        Stmt valid(db, "insert into valid_hash(hash) values(?)");

        CountryLibDb countries(mcc);
        const _Country country = countries.getCurCountry();
        const QJsonArray all = fixture.section(QStringLiteral("messages")).toArray();
        // Every chat's newest date, known beforehand.
        QHash<QString, int> last;
        for (const QJsonValue& v : all) {
            const QJsonObject m = v.toObject();
            const QString address = country.normalizeNumber(m.value(QStringLiteral("address")).toString());
            int& l = last[address];
            l = std::max(
                l,
                AndroidLoadMessagesThread::iosSecondsFromPhoneMs(m.value(QStringLiteral("date")).toInteger() * 1000));
        }
        QHash<QString, QPair<qint64, qint64>> chats; // address -> chat and handle rowids
        const QString attachments = attachmentsFolder(folder);
        for (const QJsonValue& v : all) {
            const QJsonObject m = v.toObject();
            _MsgHandle h;
            _MsgChat c;
            makeSmsChat(country.normalizeNumber(m.value(QStringLiteral("address")).toString()),
                        m.value(QStringLiteral("name")).toString(), &h, &c);
            _MsgMessage message;
            message.handle = &h;
            message.text = m.value(QStringLiteral("body")).toString();
            message.date
                = AndroidLoadMessagesThread::iosSecondsFromPhoneMs(m.value(QStringLiteral("date")).toInteger() * 1000);
            message.is_from_me = m.value(QStringLiteral("type")).toInt() == 2 ? 1 : 0;
            const QString key = makeLogicHash(&message);
            valid.text(key).run();

            auto& ids = chats[h.id];
            if (ids.first == 0) {
                ids.first
                    = chat.text(c.guid).text(h.id).text(makeGuidFromData(c.guid.toUtf8())).num(last.value(h.id)).run();
                ids.second = handle.text(h.id).text(h._ct_name).run();
                chj.num(ids.first).num(ids.second).run();
            }
            const QString subject = m.value(QStringLiteral("subject")).toString();
            auto writeMessage
                = [&](const QString& guid, const QString& text, const QByteArray& body, const QString& hash) {
                      msg.text(guid).text(text).num(ids.second);
                      (subject.isEmpty() ? msg.null() : msg.text(subject));
                      (body.isEmpty() ? msg.null() : msg.blob(body));
                      const qint64 id = msg.num(message.date)
                                            .num(message.date)
                                            .num(message.date)
                                            .num(message.is_from_me)
                                            .text(hash)
                                            .run();
                      cmj.num(ids.first).num(id).run();
                      parent.text(hash).text(key).run();
                      return id;
                  };
            writeMessage(makeGuidFromData(key.toUtf8()), message.text, QByteArray(), key);

            for (const QJsonValue& a : m.value(QStringLiteral("attachments")).toArray()) {
                const QJsonObject ao = a.toObject();
                const QString name = ao.value(QStringLiteral("name")).toString();
                _MsgAttachment at;
                at.guid = makeGuidFromData((key + name).toUtf8());
                at.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                                  .arg(at.guid.left(2).toLower(), at.guid.mid(2, 2).toLower(), at.guid, name);
                const QString file = attachments + at.filename.mid(2);
                QDir().mkpath(QFileInfo(file).absolutePath());
                QFile out(file);
                out.open(QIODevice::WriteOnly);
                const QByteArray data = QByteArray::fromBase64(ao.value(QStringLiteral("base64")).toString().toLatin1())
                                            .repeated(std::max(1, ao.value(QStringLiteral("repeat")).toInt(1)));
                out.write(data);
                out.close();
                const PartContent content = contentOfBytes(data);

                _MsgMessage part = message;
                part.text = QString(QChar(0xFFFC));
                part.attachments.insert(QStringLiteral("0"), &at);
                const QString hash = makeLogicHash(&part);
                const qint64 id
                    = writeMessage(makeGuidFromData(hash.toUtf8()), part.text, makeAttributedBody(at.guid), hash);
                const qint64 attId = att.text(at.guid)
                                         .num(message.date)
                                         .text(at.filename)
                                         .text(QStringLiteral("public.jpeg"))
                                         .num(message.is_from_me)
                                         .text(name)
                                         .num(content.size)
                                         .text(content.digest)
                                         .run();
                maj.num(id).num(attId).run();
            }
        }
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

// Rows of one store missing from the other, both ways, over every table.
qint64 differingRows(const QString& storeA, const QString& storeB)
{
    const QString tail = QStringLiteral("/file-relay/var/mobile/Library/SMS/sms.db");
    sqlite3* db = nullptr;
    check(sqlite3_open_v2((storeA + tail).toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), db);
    check(
        sqlite3_exec(db, ("ATTACH '" + (storeB + tail).toUtf8() + "' AS other").constData(), nullptr, nullptr, nullptr),
        db);
    qint64 differing = 0;
    for (const char* table : {"message", "handle", "chat", "attachment", "chat_handle_join", "chat_message_join",
                              "message_attachment_join", "parent_hash", "valid_hash", "sqlite_sequence"}) {
        for (const char* order : {"select * from main.%1 except select * from other.%1",
                                  "select * from other.%1 except select * from main.%1"}) {
            const QByteArray sql
                = QStringLiteral("select count(*) from (%1)").arg(QString::fromLatin1(order).arg(table)).toUtf8();
            sqlite3_stmt* s = nullptr;
            check(sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr), db);
            if (sqlite3_step(s) == SQLITE_ROW)
                differing += sqlite3_column_int64(s, 0);
            sqlite3_finalize(s);
        }
    }
    sqlite3_close(db);
    return differing;
}

double load(AndroidDeviceInfo& device)
{
    QuietReport report;
    AndroidLoadMessagesThread job(&device, &report);
    QElapsedTimer t;
    t.start();
    job.start();
    job.wait();
    const double secs = t.nsecsElapsed() / 1e9;
    if (!report.ok)
        qFatal("load failed: %s", qPrintable(report.error));
    return secs;
}

void BM_LoadMessages(benchmark::State& state)
{
    Setup& s = setup();
    const bool keep = qEnvironmentVariableIntValue("BENCH_KEEP") == 1;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const qint64 lines = bareTransfer(s.device, false);
        const double bare = t.nsecsElapsed() / 1e9;
        t.restart();
        bareTransfer(s.device, true);
        const double bareKnown = t.nsecsElapsed() / 1e9;

        QTemporaryDir floorDir;
        floorDir.setAutoRemove(!keep);
        double floor = 0;
        const bool withFloor = s.sim && qEnvironmentVariable("BENCH_FLOOR") != QLatin1String("0");
        if (withFloor) {
            t.restart();
            floorInsert(s.sim->fixture(), floorDir.path(), s.device.mmc);
            floor = t.nsecsElapsed() / 1e9;
        }

        // An empty cache store for the full load.
        AndroidDeviceInfo device = s.device;
        device.imei = QStringLiteral("bench-%1").arg(QDateTime::currentMSecsSinceEpoch());
        malloc_trim(0);
        resetPeakRss();
        const double full = load(device);
        const double peak = peakRssMb();
        const double incremental = load(device);

        std::printf("messages %d, lines %lld\n", s.messages, lines);
        std::printf("bare transfer      %8.3f s\n", bare);
        std::printf("bare, all known    %8.3f s\n", bareKnown);
        if (withFloor) {
            const qint64 differing = differingRows(floorDir.path(), device.cacheDir().absolutePath());
            std::printf("floor (raw rows)   %8.3f s   rows differing from the loaded store: %lld\n", floor, differing);
            if (differing != 0)
                state.SkipWithError("the floor does not store the rows of the full load");
        }
        std::printf("full load          %8.3f s   full / (bare + floor) %.2f (target <= 2)\n", full,
                    full / (bare + floor));
        std::printf("incremental load   %8.3f s   incremental / full %.3f (target < 0.05), "
                    "incremental / bare all known %.2f\n",
                    incremental, incremental / full, incremental / bareKnown);
        std::printf("peak RSS during the full load: %.0f MB%s\n", peak,
                    s.sim ? " (the simulator and its fixture included)" : "");
        if (keep)
            std::printf("stores kept: floor %s, loaded %s\n", qPrintable(floorDir.path()),
                        qPrintable(device.cacheDir().absolutePath()));
        std::fflush(stdout);
        state.counters["bare_s"] = bare;
        state.counters["bare_known_s"] = bareKnown;
        state.counters["floor_s"] = floor;
        state.counters["full_s"] = full;
        state.counters["full_ratio"] = full / (bare + floor);
        state.counters["incremental_s"] = incremental;
        state.counters["incremental_ratio"] = incremental / full;
        state.counters["peak_rss_mb"] = peak;
        if (!keep)
            removeDir(device.cacheDir().absolutePath());
    }
}

} // namespace

BENCHMARK(BM_LoadMessages)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    // The cache stores go to a private data root, removed at the end.
    QTemporaryDir dataHome;
    dataHome.setAutoRemove(qEnvironmentVariableIntValue("BENCH_KEEP") != 1);
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (setup().sim)
        setup().sim->stop();
    return 0;
}
