// Bulk insert through our SQLite layer against the raw C API, in one run:
// 100,000 rows of 8 columns in one transaction with bound parameters. Prints
// both times and their ratio; exits with 1 when the layer costs more than
// 1.3 times raw SQLite.
#include "platform/sqlite_qt.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int kRows = 100000;
constexpr double kMaxRatio = 1.3;

const char kCreate[] = "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, phone TEXT, email TEXT, "
                       "n INTEGER, big INTEGER, score REAL, data BLOB)";
const char kInsert[] = "INSERT INTO t (id, name, phone, email, n, big, score, data) VALUES (?,?,?,?,?,?,?,?)";

struct Row {
    qint64 id;
    QString name;
    QString phone;
    QString email;
    int n;
    qint64 big;
    double score;
    QByteArray data;
};

// The same rows for both contenders, made once.
const QVector<Row>& rows()
{
    static const QVector<Row> data = [] {
        QVector<Row> v;
        v.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            v.append(Row {i + 1, QStringLiteral("Contact Zoë %1").arg(i), QStringLiteral("+4930%1").arg(1000000 + i),
                          QStringLiteral("user%1@example.invalid").arg(i), i % 13, qint64(i) << 20, i * 0.25,
                          QByteArray(24, char('a' + i % 26))});
        }
        return v;
    }();
    return data;
}

QString g_dir;

QString freshPath(const char* tag)
{
    const QString path = g_dir + QLatin1Char('/') + QLatin1String(tag) + QStringLiteral(".db");
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    return path;
}

void BM_Layer(benchmark::State& state)
{
    const QVector<Row>& data = rows();
    for (auto _ : state) {
        state.PauseTiming();
        Sqlite3DB db;
        db.openThrow(freshPath("layer"), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        db.executeThrow(QString::fromLatin1(kCreate));
        const QString insert = QString::fromLatin1(kInsert);
        state.ResumeTiming();

        db.beginTran();
        Sqlite3Sql sql(insert);
        for (const Row& r : data) {
            sql.clearParams();
            sql.addInt64Param(r.id);
            sql.addTextParam(r.name);
            sql.addTextParam(r.phone);
            sql.addTextParam(r.email);
            sql.addIntParam(r.n);
            sql.addInt64Param(r.big);
            sql.addDoubleParam(r.score);
            sql.addBlobParam(r.data);
            db.executeThrow(sql);
        }
        db.commitTran();

        state.PauseTiming();
        db.close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(2);
    }
}

void BM_Raw(benchmark::State& state)
{
    const QVector<Row>& data = rows();
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = nullptr;
        check(sqlite3_open_v2(QFile::encodeName(freshPath("raw")).constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              db);
        check(sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr), db);
        state.ResumeTiming();

        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
        sqlite3_stmt* stmt = nullptr;
        check(sqlite3_prepare_v2(db, kInsert, -1, &stmt, nullptr), db);
        for (const Row& r : data) {
            const QByteArray name = r.name.toUtf8();
            const QByteArray phone = r.phone.toUtf8();
            const QByteArray email = r.email.toUtf8();
            sqlite3_bind_int64(stmt, 1, r.id);
            sqlite3_bind_text(stmt, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 3, phone.constData(), int(phone.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 4, email.constData(), int(email.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(stmt, 5, r.n);
            sqlite3_bind_int64(stmt, 6, r.big);
            sqlite3_bind_double(stmt, 7, r.score);
            sqlite3_bind_blob(stmt, 8, r.data.constData(), int(r.data.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(stmt), db);
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);

        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_Raw)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Layer)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);

// Keeps the median time of each benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    g_dir = dir.path();
    rows();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto raw = reporter.medians.find("BM_Raw");
    const auto layer = reporter.medians.find("BM_Layer");
    if (raw == reporter.medians.end() || layer == reporter.medians.end() || raw->second <= 0)
        return 0; // a filter left one of them out: no ratio to judge
    const double ratio = layer->second / raw->second;
    std::printf("\n%d rows x 8 columns, one transaction (median):\n", kRows);
    std::printf("  raw SQLite C API : %9.1f ms\n", raw->second);
    std::printf("  Sqlite3DB layer  : %9.1f ms\n", layer->second);
    std::printf("  ratio            : %9.2f (limit %.2f)\n", ratio, kMaxRatio);
    return ratio <= kMaxRatio ? 0 : 1;
}
