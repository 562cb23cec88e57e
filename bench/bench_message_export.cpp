// Message export throughput: 20,000 messages in 100 conversations written
// as CSV, as HTML pages and as PDF files, one run each; reports messages
// per second per format.
//
// And a conversation whose title from the phone is 100,001 characters long
// (emoji after one letter), exported as HTML: its page gets a short name
// within 10 s, or the run fails.
#include "formats/messageassets.h"
#include "formats/messageexportthread.h"
#include "message_testdata.h"
#include "shell/core/jobreport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

class SilentReport : public JobReport {
public:
    void postUpdateProgress(const QString&, int, const QString&) override {}
    void postErrorOccurred(const QString& err) override { error = err; }
    void postSucceed(const QString&) override { ok = true; }
    void postTipsWait(const QString&) override {}
    bool userCanceled() const override { return false; }
    bool waitingTips() const override { return false; }
    bool ok = false;
    QString error;
};

constexpr int kConversations = 100;
constexpr int kPerConversation = 200;
constexpr qint64 kLongTitleLimitMs = 10000;
bool g_failed = false;

MessageSet& messages()
{
    static MessageSet set = [] {
        MessageSet s;
        for (int c = 0; c < kConversations; ++c) {
            auto* h = s.handle(QStringLiteral("+1555%1").arg(c, 6, 10, QLatin1Char('0')),
                               QStringLiteral("Contact %1").arg(c));
            auto* chat = s.chat(h->id, {h}, 600000000 + c * 100000 + kPerConversation * 45);
            for (int i = 0; i < kPerConversation; ++i) {
                const bool me = i % 3 == 0;
                s.message(chat, me ? nullptr : h, me,
                          QStringLiteral("Message %1 of conversation %2: see you at 5, ok? \u2714 & <b>fine</b>")
                              .arg(QString::number(i), QString::number(c)),
                          600000000 + c * 100000 + i * 45);
            }
        }
        return s;
    }();
    return set;
}

void exportAs(benchmark::State& state, int format, bool toFile)
{
    const MsgMessageList list = messages().list();
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString target = dir.path() + (toFile ? QStringLiteral("/out.csv") : QStringLiteral("/out"));
        SilentReport report;
        ExportMessagesThread job(list, target, format, &report);
        job.start();
        job.wait();
        if (!report.ok)
            state.SkipWithError(report.error.toUtf8().constData());
    }
    state.SetItemsProcessed(state.iterations() * list.size());
    state.counters["msgs/s"]
        = benchmark::Counter(double(list.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ExportCsv(benchmark::State& state)
{
    exportAs(state, MessageExportCsv, true);
}
void BM_ExportHtml(benchmark::State& state)
{
    exportAs(state, MessageExportHtml, false);
}
void BM_ExportPdf(benchmark::State& state)
{
    exportAs(state, MessageExportPdf, false);
}

void BM_ExportLongTitle(benchmark::State& state)
{
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+4930111"), QStringLiteral("Ann"));
    auto* chat = s.chat(QStringLiteral("chat1"), {h}, 600000000);
    chat->display_name = QLatin1Char('a') + QStringLiteral("\U0001F600").repeated(100000);
    for (int i = 0; i < 4; ++i)
        s.message(chat, h, false, QStringLiteral("m%1").arg(i), 600000000 + i * 10);
    for (auto _ : state) {
        QTemporaryDir dir;
        SilentReport report;
        QElapsedTimer timer;
        timer.start();
        ExportMessagesThread job(s.list(), dir.path(), MessageExportHtml, &report);
        job.start();
        job.wait();
        const qint64 ms = timer.elapsed();
        const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("*.html")}, QDir::Files);
        const bool shortName = report.ok && pages.size() == 1 && pages.first().toUtf8().size() <= 160 + 5;
        const bool failed = !shortName || ms >= kLongTitleLimitMs;
        g_failed = g_failed || failed;
        std::printf("a conversation with a title of %lld characters exported as HTML: %lld ms (limit %lld ms)%s\n",
                    static_cast<long long>(chat->display_name.toUcs4().size()), static_cast<long long>(ms),
                    static_cast<long long>(kLongTitleLimitMs),
                    shortName ? (failed ? "  EXCEEDED" : "") : "  NO SHORT NAME");
        state.counters["ms"] = double(ms);
    }
}

BENCHMARK(BM_ExportCsv)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportLongTitle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportHtml)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportPdf)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The bubble and emoji pictures lie in the executables' folder of the build.
    const QString bin = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../bin"));
    messageassets::setApplicationFolder(bin);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
