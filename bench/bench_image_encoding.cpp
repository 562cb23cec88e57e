// Camera photos beyond what earlier versions decoded, many at once: 8
// photos of 48 MP (8000x6000) and 8 of 108 MP (12000x9000) encoded by
// encodeImage on every core at once, as a transfer prepares them.
// Reported: the time, and the peak resident memory while they run (VmHWM,
// reset once the photos are made), against the decode budget. Each size is
// made once and its bytes shared; the second run makes them progressive
// JPEGs, whose decoder holds every coefficient of the picture.
//
// Then the pictures a stop takes longest to end, each at the edge of the
// bounds (with the crafted JPEG they refuse by its work): each is decoded
// alone, and again BENCH_STOPS (default 16) times with the stop set at
// points spread over its decode. Reported: its decode's time and the
// longest from a stop to encodeImage's return (target below 0.5 s).
#include "pictures/imageencoding.h"

#include "benchsupport.h"
#include "testpictures.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLoggingCategory>
#include <QThread>
#include <QtConcurrent>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// A photo with fine detail of its own, as a camera's.
QByteArray photo(int width, int height, bool progressive)
{
    return testpictures::encoded(testpictures::detailedPhoto(width, height, 0), "JPG", progressive);
}

// Starts the peak (VmHWM) anew; false when the kernel does not let it.
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

void BM_CameraPhotosAtOnce(benchmark::State& state)
{
    const bool progressive = state.range(0) != 0;
    QElapsedTimer t;
    t.start();
    const QList<QByteArray> made
        = QtConcurrent::blockingMapped(QList<QSize> {{8000, 6000}, {12000, 9000}}, [progressive](const QSize& size) {
              return photo(size.width(), size.height(), progressive);
          });
    const double making = t.nsecsElapsed() / 1e9;
    QList<QByteArray> photos;
    for (int i = 0; i < 8; ++i)
        photos << made.at(0) << made.at(1);

    for (auto _ : state) {
        const double before = benchsupport::statusMb("VmRSS");
        const bool reset = resetPeak();
        t.restart();
        const QList<int> sides = QtConcurrent::blockingMapped(photos, [](const QByteArray& bytes) {
            const EncodedImage sent = encodeImage(bytes, QStringLiteral("image/jpeg"));
            const QSize size = QImage::fromData(sent.upright).size();
            return sent.result == EncodedImage::Result::Encoded ? qMax(size.width(), size.height()) : 0;
        });
        const double all = t.nsecsElapsed() / 1e9;
        const double peak = benchsupport::statusMb("VmHWM");
        if (sides.count(kMaxImageSide) != photos.size())
            qFatal("a photo was not scaled to %d", kMaxImageSide);

        t.restart();
        encodeImage(made.at(0), QStringLiteral("image/jpeg"));
        const double one48 = t.nsecsElapsed() / 1e9;
        t.restart();
        encodeImage(made.at(1), QStringLiteral("image/jpeg"));
        const double one108 = t.nsecsElapsed() / 1e9;

        std::printf("%s JPEGs: 8 of 48 MP (%.1f MB), 8 of 108 MP (%.1f MB), made in %.1f s; %d cores\n",
                    progressive ? "progressive" : "baseline", made.at(0).size() / 1e6, made.at(1).size() / 1e6, making,
                    QThread::idealThreadCount());
        std::printf("all 16 at once       %8.3f s\n", all);
        std::printf("one 48 MP, one 108 MP %7.3f s %7.3f s\n", one48, one108);
        std::printf("resident before      %8.0f MB\n", before);
        std::printf("peak while encoding  %8.0f MB%s   (budget %d MB)\n", peak,
                    reset ? "" : " (since start: the peak could not be reset)", kDecodeBudgetMb);
        std::fflush(stdout);
        state.counters["all_s"] = all;
        state.counters["peak_mb"] = peak;
    }
}

// Pictures whose decode has the longest stretches without a read (where a
// stop is heard), each just within the bounds.
QList<std::pair<const char*, QByteArray>> worstToStop()
{
    using namespace testpictures;
    const QList<JpegComponent> full {{1}, {2}, {3}};
    return {
        {"crafted 16384^2 4:2:0 of 10 empty DC scans", emptyScans(16384, 16384, 10)},
        {"639 MB of coefficients, cleared in one scan", emptyScans(14944, 14944, 1, true)},
        {"639 MB, 10 DC scans and every coefficient", emptyScans(14944, 14944, 10, true)},
        {"192 MB cleared and made in one stretch", emptyScans(8192, 8192, 1)},
        {"192 MB smoothed, 41 DC scans", emptyScans(8192, 8192, 41)},
        {"whole, smoothed, 8192x4096 4:4:4, 30 DC scans", emptyScans(8192, 4096, 30, false, true)},
        {"whole, arithmetic, 8192x4096 4:4:4", codedArithmetically(craftedJpeg(8192, 4096, full, {{{1, 2, 3}}}))},
        {"whole, arithmetic, progressive, 192 MB", codedArithmetically(emptyScans(8192, 4096, 1, false, true))},
        {"grey 256 MP of 15 scans", greyScans(16000, 16000, 14)},
        {"baseline 16384^2 4:4:4 of no data", craftedJpeg(16384, 16384, full, {{{1, 2, 3}}})},
        {"200 MP progressive photo, 4:2:0", encoded(detailedPhoto(16320, 12240, 0), "JPG", true)},
    };
}

void BM_StopWorstPictures(benchmark::State& state)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    const QList<std::pair<const char*, QByteArray>> pictures = worstToStop();
    const int stops = benchsupport::envInt("BENCH_STOPS", 16);
    for (auto _ : state) {
        double worstOfAll = 0;
        for (const auto& [name, bytes] : pictures) {
            QElapsedTimer t;
            t.start();
            const EncodedImage whole = encodeImage(bytes, QStringLiteral("image/jpeg"));
            const double decode = t.nsecsElapsed() / 1e9;
            if (whole.result != EncodedImage::Result::Encoded) {
                std::printf("%-48s goes as it is (%.3f s)\n", name, decode);
                continue;
            }
            double worst = 0;
            double worstAt = 0;
            for (int k = 0; k < stops; ++k) {
                std::atomic_bool stop = false;
                EncodedImage sent;
                t.restart();
                std::thread decoding([&] { sent = encodeImage(bytes, QStringLiteral("image/jpeg"), false, &stop); });
                const qint64 at = qint64(decode * 1e9 * k / stops);
                while (t.nsecsElapsed() < at)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                stop = true;
                const qint64 stoppedAt = t.nsecsElapsed();
                decoding.join();
                const double heard = (t.nsecsElapsed() - stoppedAt) / 1e9;
                if (sent.result == EncodedImage::Result::Encoded)
                    continue; // done before the stop
                if (heard > worst) {
                    worst = heard;
                    worstAt = stoppedAt / 1e9;
                }
            }
            std::printf("%-48s decode %6.3f s, stop heard after at most %.3f s (stopped at %.3f s)\n", name, decode,
                        worst, worstAt);
            std::fflush(stdout);
            worstOfAll = qMax(worstOfAll, worst);
        }
        std::printf("longest from a stop to the return %.3f s   (target < 0.5)\n", worstOfAll);
        state.counters["stop_s"] = worstOfAll;
        if (worstOfAll >= 0.5)
            qFatal("a stop was heard late");
    }
    QLoggingCategory::setFilterRules(QString());
}

} // namespace

BENCHMARK(BM_CameraPhotosAtOnce)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_StopWorstPictures)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    return benchsupport::runBenchmarks(argc, argv);
}
