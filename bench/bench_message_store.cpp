// Message store throughput: 100,000 messages (20% with one attachment row,
// 500 chats) written through the store writer into an empty store, compared
// with a raw SQLite insert of the same rows, then loaded back as a data set.
// Attachments carry no local file, so the numbers are those of the database.
#include "messagestore/exportmessagesdb.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kMessages = 100000;
constexpr int kChats = 500;

struct Corpus {
    std::vector<std::unique_ptr<_MsgHandle>> handles;
    std::vector<std::unique_ptr<_MsgChat>> chats;
    std::vector<std::unique_ptr<_MsgMessage>> messages;
    std::vector<std::unique_ptr<_MsgAttachment>> attachments;
};

std::unique_ptr<Corpus> makeCorpus()
{
    auto c = std::make_unique<Corpus>();
    for (int i = 0; i < kChats; ++i) {
        auto h = std::make_unique<_MsgHandle>();
        h->ROWID = i + 1;
        h->id = QStringLiteral("+86138%1").arg(i, 8, 10, QLatin1Char('0'));
        h->country = QStringLiteral("cn");
        auto chat = std::make_unique<_MsgChat>();
        chat->ROWID = i + 1;
        chat->guid = QStringLiteral("SMS;-;") + h->id;
        chat->chat_identifier = h->id;
        chat->handles.insert(QString::number(h->ROWID), h.get());
        c->handles.push_back(std::move(h));
        c->chats.push_back(std::move(chat));
    }
    for (int i = 0; i < kMessages; ++i) {
        auto m = std::make_unique<_MsgMessage>();
        _MsgChat* chat = c->chats[size_t(i % kChats)].get();
        m->chat = chat;
        m->is_from_me = i % 3 == 0;
        m->handle = m->is_from_me ? nullptr : c->handles[size_t(i % kChats)].get();
        m->guid = newMsgGuid();
        m->text = QStringLiteral("Message number %1 of the benchmark, with a little text to store.").arg(i);
        m->service = QStringLiteral("SMS");
        m->date = 400000000 + i * 30;
        m->is_read = 1;
        m->is_sent = m->is_from_me;
        if (i % 5 == 0) {
            auto a = std::make_unique<_MsgAttachment>();
            a->ROWID = i + 1;
            a->guid = newMsgGuid();
            a->filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/IMG_%3.jpg")
                              .arg(a->guid.left(2).toLower(), a->guid.mid(2, 2).toLower())
                              .arg(i);
            a->mime_type = QStringLiteral("image/jpeg");
            a->uti = QStringLiteral("public.jpeg");
            a->transfer_name = QStringLiteral("IMG_%1.jpg").arg(i);
            a->created_date = m->date;
            m->attachments.insert(QString::number(a->ROWID), a.get());
            m->attributedBody = makeAttributedBody(a->guid);
            c->attachments.push_back(std::move(a));
        }
        c->messages.push_back(std::move(m));
    }
    return c;
}

QTemporaryDir& workDir()
{
    static QTemporaryDir dir;
    return dir;
}

std::unique_ptr<Corpus> g_corpus;

Corpus* corpus()
{
    if (!g_corpus)
        g_corpus = makeCorpus();
    return g_corpus.get();
}

double g_rawSeconds = 0;

QString storeFolder()
{
    return workDir().filePath(QStringLiteral("store"));
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

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::abort();
    }
}

// The same rows with prepared statements and nothing else: no look-ups,
// no duplicate keys, no optional-column rule.
void rawInsert(const QString& path)
{
    QFile ddl(QStringLiteral(":/res/localmsgdb_ddl.sql"));
    ddl.open(QIODevice::ReadOnly);
    const QByteArray script = ddl.readAll();
    sqlite3* db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db), db);
    check(sqlite3_exec(db, script.constData(), nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    auto prep = [&](const char* sql) {
        sqlite3_stmt* s = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db);
        return s;
    };
    sqlite3_stmt* chat = prep("insert into chat(ROWID,guid,style,state,chat_identifier,service_name,account_login) "
                              "values(?,?,45,3,?,'SMS','E:')");
    sqlite3_stmt* handle = prep("insert into handle(ROWID,id,country,service) values(?,?,?,'SMS')");
    sqlite3_stmt* chj = prep("insert into chat_handle_join(chat_id,handle_id) values(?,?)");
    sqlite3_stmt* msg
        = prep("insert into message(guid,text,handle_id,attributedBody,version,service,date,is_from_me,is_read,is_sent,"
               "logic_hash) values(?,?,?,?,10,?,?,?,?,?,?)");
    sqlite3_stmt* cmj = prep("insert into chat_message_join(chat_id,message_id) values(?,?)");
    sqlite3_stmt* att = prep("insert into attachment(guid,created_date,filename,uti,mime_type,transfer_state,"
                             "transfer_name) values(?,?,?,?,?,5,?)");
    sqlite3_stmt* maj = prep("insert into message_attachment_join(message_id,attachment_id) values(?,?)");
    auto text = [](sqlite3_stmt* s, int i, const QString& v) {
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(s, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    };
    auto step = [&](sqlite3_stmt* s) {
        check(sqlite3_step(s), db);
        sqlite3_reset(s);
    };
    Corpus* c = corpus();
    for (size_t i = 0; i < c->chats.size(); ++i) {
        sqlite3_bind_int64(chat, 1, qint64(i + 1));
        text(chat, 2, c->chats[i]->guid);
        text(chat, 3, c->chats[i]->chat_identifier);
        step(chat);
        sqlite3_bind_int64(handle, 1, qint64(i + 1));
        text(handle, 2, c->handles[i]->id);
        text(handle, 3, c->handles[i]->country);
        step(handle);
        sqlite3_bind_int64(chj, 1, qint64(i + 1));
        sqlite3_bind_int64(chj, 2, qint64(i + 1));
        step(chj);
    }
    for (const auto& m : c->messages) {
        text(msg, 1, m->guid);
        text(msg, 2, m->text);
        sqlite3_bind_int64(msg, 3, m->handle ? m->handle->ROWID : 0);
        if (m->attributedBody.isEmpty())
            sqlite3_bind_null(msg, 4);
        else
            sqlite3_bind_blob(msg, 4, m->attributedBody.constData(), int(m->attributedBody.size()), SQLITE_TRANSIENT);
        text(msg, 5, m->service);
        sqlite3_bind_int(msg, 6, m->date);
        sqlite3_bind_int(msg, 7, m->is_from_me);
        sqlite3_bind_int(msg, 8, m->is_read);
        sqlite3_bind_int(msg, 9, m->is_sent);
        text(msg, 10, makeLogicHash(m.get()));
        step(msg);
        const qint64 id = sqlite3_last_insert_rowid(db);
        sqlite3_bind_int64(cmj, 1, m->chat->ROWID);
        sqlite3_bind_int64(cmj, 2, id);
        step(cmj);
        for (const _MsgAttachment* a : m->attachments) {
            text(att, 1, a->guid);
            sqlite3_bind_int(att, 2, a->created_date);
            text(att, 3, a->filename);
            text(att, 4, a->uti);
            text(att, 5, a->mime_type);
            text(att, 6, a->transfer_name);
            step(att);
            sqlite3_bind_int64(maj, 1, id);
            sqlite3_bind_int64(maj, 2, sqlite3_last_insert_rowid(db));
            step(maj);
        }
    }
    for (sqlite3_stmt* s : {chat, handle, chj, msg, cmj, att, maj})
        sqlite3_finalize(s);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

void BM_raw_insert(benchmark::State& state)
{
    corpus();
    for (auto _ : state) {
        const QString path = workDir().filePath(QStringLiteral("raw.db"));
        QFile::remove(path);
        QElapsedTimer t;
        t.start();
        rawInsert(path);
        g_rawSeconds = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(g_rawSeconds);
    }
    state.counters["rows_per_s"] = benchmark::Counter(double(kMessages) / g_rawSeconds);
}

void bench_message_store_write(benchmark::State& state)
{
    Corpus* c = corpus();
    double seconds = 0;
    for (auto _ : state) {
        QDir(storeFolder()).removeRecursively();
        QElapsedTimer t;
        t.start();
        ExportMessagesDb writer {QDir(storeFolder()), QString()};
        writer.begin();
        for (const auto& m : c->messages)
            writer.write(*m);
        writer.end();
        seconds = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
    }
    state.counters["rows_per_s"] = benchmark::Counter(double(kMessages) / seconds);
    state.counters["x_raw"] = benchmark::Counter(g_rawSeconds > 0 ? seconds / g_rawSeconds : 0);
    if (g_rawSeconds > 0 && seconds > 4 * g_rawSeconds)
        state.SkipWithError("store write is more than 4x slower than the raw insert");
}

void bench_message_store_load(benchmark::State& state)
{
    // The corpus is not needed any more: free it so that the peak below is
    // the load's own.
    g_corpus.reset();
    malloc_trim(0);
    double seconds = 0;
    double peak = 0;
    qsizetype loaded = 0;
    for (auto _ : state) {
        resetPeakRss();
        QElapsedTimer t;
        t.start();
        IOS6MessageDb db(QDir(storeFolder()), QString(), false);
        auto ds = newMsgDataSet();
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
        seconds = t.nsecsElapsed() / 1e9;
        loaded = ds->messages.size();
        peak = peakRssMb();
        state.SetIterationTime(seconds);
    }
    state.counters["rows_per_s"] = benchmark::Counter(double(loaded) / seconds);
    state.counters["peak_rss_mb"] = benchmark::Counter(peak);
    if (loaded != kMessages)
        state.SkipWithError("not every message was loaded");
    else if (seconds >= 2.0)
        state.SkipWithError("loading took 2 seconds or more");
    else if (peak >= 300)
        state.SkipWithError("peak RSS of 300 MB or more");
}

} // namespace

BENCHMARK(BM_raw_insert)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(bench_message_store_write)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(bench_message_store_load)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return benchsupport::runBenchmarks(argc, argv);
}
