// Thumbnails of a page of large photos: a 4000 x 3000 progressive JPEG with
// its colour at full resolution (a common editor's "quality 90"), a 6000 x
// 4000 and a 20 MP progressive one, a 12000 x 9000 baseline one (a 108 MP
// camera) and a 48 MP PNG. Each thumbnail is timed alone on a worker; then
// the Messages page of the five, from showing the messages until it shows
// every thumbnail, with the longest the window's thread went without
// handling its events meanwhile (the window's longest wait). A thumbnail
// over 2 s, the page over 5 s or a wait of the window over 100 ms fails
// the run.
#include "formats/messageassets.h"
#include "message_testdata.h"
#include "photowriter.h"
#include "views/messages/bubbleviewmgr.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <thread>

namespace {

constexpr qint64 kThumbnailLimitMs = 2000;
constexpr qint64 kPageLimitMs = 5000;
constexpr qint64 kWindowWaitLimitMs = 100;
// How often the window's thread is asked to handle a timer: a tick later
// than this is a wait.
constexpr int kTickMs = 5;

bool g_failed = false;

struct Photo {
    const char* what;
    const char* file;
    const char* mime;
    int width;
    int height;
    bool progressive;
    bool fullColour;
};

const Photo kPhotos[] = {
    {"4000x3000 progressive JPEG, full colour resolution", "editor.jpg", "image/jpeg", 4000, 3000, true, true},
    {"6000x4000 progressive JPEG", "six.jpg", "image/jpeg", 6000, 4000, true, false},
    {"20 MP progressive JPEG", "twenty.jpg", "image/jpeg", 5472, 3648, true, false},
    {"12000x9000 baseline JPEG", "camera.jpg", "image/jpeg", 12000, 9000, false, false},
    {"48 MP PNG", "big.png", "image/png", 8000, 6000, false, false},
};

struct Bench {
    QTemporaryDir dir;
    MessageSet set;
    QList<const _MsgAttachment*> parts;
};

Bench& bench()
{
    static Bench b;
    return b;
}

void writePhotos()
{
    Bench& b = bench();
    _MsgHandle* h = b.set.handle(QStringLiteral("+4930123"), QStringLiteral("Ann"));
    _MsgChat* chat = b.set.chat(h->id, {h}, 721692800);
    for (const Photo& p : kPhotos) {
        const QString path = b.dir.filePath(QLatin1String(p.file));
        const QByteArray bytes = QByteArray(p.mime).endsWith("png")
            ? photowriter::smoothPng(p.width, p.height)
            : photowriter::smoothJpeg(p.width, p.height, p.progressive, p.fullColour);
        writeFile(path, bytes);
        _MsgMessage* m = b.set.message(chat, h, false, QString(), 721692800);
        b.parts << b.set.attach(m, QLatin1String(p.mime), path);
    }
}

void forgetThumbnails()
{
    for (const _MsgAttachment* att : std::as_const(bench().parts))
        QFile::remove(attachmentThumbnailPath(att));
}

void over(const char* what, qint64 ms, qint64 limitMs)
{
    if (ms < limitMs)
        return;
    g_failed = true;
    std::fprintf(stderr, "%s: %lld ms, over the limit of %lld ms\n", what, static_cast<long long>(ms),
                 static_cast<long long>(limitMs));
}

void BM_ThumbnailOnAWorker(benchmark::State& state)
{
    const auto index = size_t(state.range(0));
    const _MsgAttachment* att = bench().parts.at(qsizetype(index));
    for (auto _ : state) {
        forgetThumbnails();
        QElapsedTimer timer;
        timer.start();
        QImage made;
        std::thread worker([&made, att] { made = makeAttachmentThumbnail(att); });
        worker.join();
        const qint64 ms = timer.elapsed();
        state.SetIterationTime(double(ms) / 1000.0);
        if (made.isNull())
            state.SkipWithError("no thumbnail");
        std::printf("%s: thumbnail %dx%d in %lld ms (limit %lld ms)\n", kPhotos[index].what, made.width(),
                    made.height(), static_cast<long long>(ms), static_cast<long long>(kThumbnailLimitMs));
        over(kPhotos[index].what, ms, kThumbnailLimitMs);
    }
}

void BM_PageOfLargePhotos(benchmark::State& state)
{
    for (auto _ : state) {
        forgetThumbnails();
        QWebEngineView view;
        view.resize(800, 900);
        BubbleViewMgr mgr;
        mgr.setView(&view);
        view.show();

        // The window's thread: how late each tick of its timer comes.
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longestWait = 0;
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestWait = std::max(longestWait, now - lastTick - kTickMs);
            lastTick = now;
        });

        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (mgr.showsAllPictures())
                loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        clock.start();
        ticks.start(kTickMs);
        poll.start(kTickMs);
        mgr.showBubble(bench().set.list());
        loop.exec();
        const qint64 ms = clock.elapsed();
        ticks.stop();
        state.SetIterationTime(double(ms) / 1000.0);
        bool all = mgr.showsAllPictures();
        for (const _MsgAttachment* att : std::as_const(bench().parts))
            all = all && QFile::exists(attachmentThumbnailPath(att));
        if (!all)
            state.SkipWithError("the page does not show every thumbnail");
        state.counters["window_wait_ms"] = double(longestWait);
        std::printf("page of the five: every thumbnail shown after %lld ms (limit %lld ms); the window's longest "
                    "wait %lld ms (limit %lld ms)\n",
                    static_cast<long long>(ms), static_cast<long long>(kPageLimitMs),
                    static_cast<long long>(longestWait), static_cast<long long>(kWindowWaitLimitMs));
        over("the page of the five", ms, kPageLimitMs);
        over("the window's longest wait", longestWait, kWindowWaitLimitMs);
    }
}

BENCHMARK(BM_ThumbnailOnAWorker)->DenseRange(0, 4)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PageOfLargePhotos)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The bubble pictures lie in the executables' folder of the build.
    messageassets::setApplicationFolder(
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../bin")));
    QElapsedTimer timer;
    timer.start();
    writePhotos();
    std::printf("five photos written in %lld ms\n", static_cast<long long>(timer.elapsed()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
