// Camera photos beyond what earlier versions decoded, many at once: 8
// photos of 48 MP (8000x6000) and 8 of 108 MP (12000x9000) encoded by
// encodeImage on every core at once, as a transfer prepares them.
// Reported: the time, and the peak resident memory while they run (VmHWM,
// reset once the photos are made), against the decode budget. Each size is
// made once and its bytes shared; the second run makes them progressive
// JPEGs, whose decoder holds every coefficient of the picture.
#include "pictures/imageencoding.h"

#include "benchsupport.h"
#include "testpictures.h"

#include <QElapsedTimer>
#include <QImage>
#include <QThread>
#include <QtConcurrent>

#include <cstdio>

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

} // namespace

BENCHMARK(BM_CameraPhotosAtOnce)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    return benchsupport::runBenchmarks(argc, argv);
}
