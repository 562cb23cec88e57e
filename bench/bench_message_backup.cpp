// A merge backup of a large phone's messages into a backup folder that
// holds them already: what the user waits for when backing up the same
// phone again, and what the damage checks cost of it.
//
// The phone's messages are BENCH_MESSAGES (66000) over 2000 conversations,
// one in ten with a picture of its own (2 KiB), written into a phone cache
// store and loaded back from it as the messages page has them. The backup
// job copies them into an empty folder once; then the same backup again
// (the merge) is timed as the job runs it, and as the store writer alone
// does the same merge with each way of checking the store: none, SQLite's
// quick_check on its own before the commit, and the job's checks (before
// the first write and before the commit). Each is timed with the store in
// memory ("warm") and with the system made to forget its pages first
// ("cold"), as for a folder written long before. Each runs BENCH_REPEAT
// (3) times; the fastest counts. The job's checks together must cost at
// most half of the rest of a cold merge.
#include "jobs/backupcheck.h"
#include "jobs/backupmmsthread.h"
#include "messagestore/exportmessagesdb.h"
#include "messagestore/msgrecords.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace {

using benchsupport::envInt;
using benchsupport::QuietReport;

// The phone cache: messages over 2000 conversations, every tenth with a
// picture of its own.
void writeCache(const QString& folder, int messages)
{
    QDir().mkpath(folder);
    benchsupport::writeStore(folder, messages, 2000, 10, [](const QString& path, int index) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(2048, char('a' + index % 26))) != 2048)
            qFatal("cannot write %s", qPrintable(path));
    });
}

// Lets the system forget the file's pages, as for a folder last written
// long ago: the next reads come from the disk.
void evict(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double runJob(const QDir& folder, const MsgMessageList& list)
{
    QuietReport report;
    BackupMMSThread job(folder, QStringLiteral("262"), list, &report);
    QElapsedTimer t;
    t.start();
    job.start();
    job.wait();
    const double seconds = t.nsecsElapsed() / 1e9;
    if (!report.error.isEmpty() || report.result.isEmpty())
        qFatal("backup failed: %s", qPrintable(report.error));
    return seconds;
}

struct Merge {
    double total = 0;
    double check = 0;
};

// The job's merge through the writer alone, with check run before the
// commit, and before the first write too when alsoBefore is set (timed on
// its own).
Merge runWriter(const QDir& folder, MsgMessageList list, const std::function<void(IOS6MessageDb&)>& check,
                bool alsoBefore = false)
{
    sortMessages(list);
    QElapsedTimer t;
    t.start();
    ExportMessagesDb writer(folder, QStringLiteral("262"));
    writer.begin();
    Merge merge;
    const auto timedCheck = [&] {
        QElapsedTimer c;
        c.start();
        check(writer.store());
        merge.check += c.nsecsElapsed() / 1e9;
    };
    if (check && alsoBefore)
        timedCheck();
    for (const _MsgMessage* m : std::as_const(list))
        writer.write(*m);
    if (check)
        timedCheck();
    writer.end();
    merge.total = t.nsecsElapsed() / 1e9;
    return merge;
}

template <typename F> auto fastest(int repeat, F run)
{
    auto best = run();
    for (int i = 1; i < repeat; ++i) {
        const auto next = run();
        if (next.total < best.total)
            best = next;
    }
    return best;
}

struct Figures {
    double job = 0;
    Merge none;
    Merge bare;
    Merge own;
};

// Every way of merging, with the store's pages forgotten before each run
// when cold is set.
Figures measure(const QDir& folder, const MsgMessageList& list, int repeat, bool cold)
{
    const QString store = IOS6MessageDb(folder, QString(), false).dbPath();
    const auto prepared = [&](auto run) {
        return [&, run] {
            if (cold)
                evict(store);
            return run();
        };
    };
    Figures f;
    f.job = fastest(repeat, prepared([&] { return Merge {runJob(folder, list), 0}; })).total;
    f.none = fastest(repeat, prepared([&] { return runWriter(folder, list, nullptr); }));
    f.bare = fastest(repeat, prepared([&] {
                         return runWriter(folder, list, [](IOS6MessageDb& db) {
                             if (sqlite3_exec(db.handle(), "PRAGMA quick_check(3)", nullptr, nullptr, nullptr)
                                 != SQLITE_OK)
                                 qFatal("the store could not be checked");
                         });
                     }));
    f.own
        = fastest(repeat, prepared([&] {
                      return runWriter(
                          folder, list, [](IOS6MessageDb& db) { backupcheck::throwIfDamaged(db, db.dbPath()); }, true);
                  }));
    return f;
}

void print(const char* name, const Figures& f)
{
    std::printf("%s: merge backup (job)              %7.3f s\n", name, f.job);
    std::printf("%s: merge, writer, no check         %7.3f s\n", name, f.none.total);
    std::printf("%s: merge, writer, bare quick_check %7.3f s   check %.3f s\n", name, f.bare.total, f.bare.check);
    std::printf("%s: merge, writer, job's checks     %7.3f s   check %.3f s\n", name, f.own.total, f.own.check);
}

void BM_MergeBackup(benchmark::State& state)
{
    const int messages = envInt("BENCH_MESSAGES", 66000);
    const int repeat = envInt("BENCH_REPEAT", 3);
    QTemporaryDir work;
    const QString cache = work.filePath(QStringLiteral("cache"));
    writeCache(cache, messages);
    MsgDataSetPtr ds = newMsgDataSet();
    {
        IOS6MessageDb db(QDir(cache), QStringLiteral("262"), false);
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
    }
    const MsgMessageList list = getDataSetMessages(*ds);
    const QDir folder(work.filePath(QStringLiteral("backup")));

    for (auto _ : state) {
        const double first = runJob(folder, list);
        const Figures warm = measure(folder, list, repeat, false);
        const Figures cold = measure(folder, list, repeat, true);
        const qint64 bytes = QFileInfo(IOS6MessageDb(folder, QString(), false).dbPath()).size();
        std::printf("messages %lld, store %.1f MB, first backup (job) %.3f s\n", qint64(list.size()), bytes / 1e6,
                    first);
        print("warm", warm);
        print("cold", cold);
        std::fflush(stdout);
        state.counters["merge_s"] = warm.job;
        state.counters["merge_cold_s"] = cold.job;
        state.counters["check_s"] = warm.own.check;
        state.counters["check_cold_s"] = cold.own.check;
        state.counters["bare_check_cold_s"] = cold.bare.check;
        if (cold.own.check > 0.5 * cold.none.total)
            state.SkipWithError("the job's checks cost more than half of the rest of a cold merge");
    }
}

} // namespace

BENCHMARK(BM_MergeBackup)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    return benchsupport::runBenchmarks(argc, argv);
}
