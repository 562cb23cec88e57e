// The runner of "make bench" (scripts/run-benchmarks.sh) over stand-in
// benchmarks: shell scripts that print their figures and end as a real
// one would.
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QStringList lines;
};

// Writes a stand-in benchmark into dir: it prints lines and exits with
// status.
void writeBench(const QString& dir, const QString& name, const QStringList& lines, int status)
{
    QFile file(dir + u'/' + name);
    QString script = u"#!/bin/sh\n"_s;
    for (const QString& line : lines)
        script += u"echo '%1'\n"_s.arg(line);
    script += u"exit %1\n"_s.arg(status);
    if (file.open(QIODevice::WriteOnly))
        file.write(script.toUtf8());
    file.setPermissions(file.permissions() | QFile::ExeOwner);
}

// Runs the runner over dir; its exit code and the lines it printed.
Run runBenchmarks(const QString& dir)
{
    QProcess runner;
    runner.setProcessChannelMode(QProcess::MergedChannels);
    runner.start(u"/bin/sh"_s, {qEnvironmentVariable("APP_SOURCE_DIR") + u"/scripts/run-benchmarks.sh"_s, dir});
    Run run;
    if (!runner.waitForFinished(testsupport::kHangGuardMs))
        return run;
    run.exitCode = runner.exitStatus() == QProcess::NormalExit ? runner.exitCode() : -1;
    run.lines = QString::fromUtf8(runner.readAll()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

const QString kPageLine = u"contacts page from construction to the painted list: 1032.7 ms (limit 1000 ms)  EXCEEDED"_s;

} // namespace

class TestBenchmarkRunner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A limit exceeded, then a benchmark that fails without a mark: every
    // benchmark still runs, in order; the end lists what exceeded and what
    // failed, and the run fails.
    void aLimitExceeded_everyBenchmarkRuns_andTheRunFails()
    {
        const QString dir = testsupport::makeTempDir(u"bench"_s);
        writeBench(dir, u"bench_a"_s, {u"a: 12 ms (limit 100 ms)"_s}, 0);
        writeBench(dir, u"bench_b"_s, {kPageLine, u"ratio page/read: 1.12 (limit 2.0)"_s}, 1);
        writeBench(dir, u"bench_c"_s, {u"c: 5 ms"_s}, 3);
        writeBench(dir, u"bench_d"_s, {u"d: 7 ms (limit 10 ms)"_s}, 0);
        const Run run = runBenchmarks(dir);
        QVERIFY(run.exitCode > 0);
        QStringList ran;
        for (const QString& line : run.lines) {
            if (line.startsWith(u"== "_s + dir))
                ran << line.mid(dir.size() + 4);
        }
        QCOMPARE(ran, (QStringList {u"bench_a"_s, u"bench_b"_s, u"bench_c"_s, u"bench_d"_s}));
        QVERIFY(run.lines.contains(u"d: 7 ms (limit 10 ms)"_s));
        const QStringList end {u"== Limits exceeded, or benchmarks that failed:"_s, u"bench_b: "_s + kPageLine,
                               u"bench_c: failed with exit status 3"_s};
        QCOMPARE(run.lines.mid(run.lines.size() - end.size()), end);
    }

    void everyLimitKept_theRunSucceeds()
    {
        const QString dir = testsupport::makeTempDir(u"bench"_s);
        writeBench(dir, u"bench_a"_s, {u"a: 12 ms (limit 100 ms)"_s}, 0);
        writeBench(dir, u"bench_b"_s, {u"b: 7 ms (limit 10 ms)"_s}, 0);
        const Run run = runBenchmarks(dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.constLast(), u"== Every benchmark kept its limits."_s);
    }
};

QTEST_GUILESS_MAIN(TestBenchmarkRunner)
#include "test_benchmarkrunner.moc"
