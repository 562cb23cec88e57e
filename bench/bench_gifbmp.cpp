// What a message part of GIF or BMP costs to show at the edge of its bounds,
// against a JPEG at the edge of its own (a grey 16000 x 16000 JPEG of 14
// scans, just within the work the reader allows): GIFs whose LZW codes make
// long strings, table after table, on a picture as large as the reader
// takes, on a picture far wider than its screen, on one whose every row
// crosses the screen's edge, and the 100 x 100 GIF of 1.6 MB of such codes;
// an RLE BMP as large as the reader takes. Each is read alone, as the page
// reads it. Reported: each one's time and work (of the bound), and its time
// against the JPEG's; one over 1.5 times the JPEG's fails the run.
#include "pictures/gifbmplayout.h"
#include "pictures/picturereader.h"

#include "benchsupport.h"
#include "testpictures.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <cstdio>

namespace {

constexpr double kMaxRatio = 1.5;

bool g_exceeded = false;

// The GIF of the codes on a screen of its own size.
QByteArray onScreen(QByteArray gif, QSize screen)
{
    gif.replace(6, 4,
                testpictures::field(quint32(screen.width()), 2, true)
                    + testpictures::field(quint32(screen.height()), 2, true));
    return gif;
}

// An RLE BMP of runs one pixel long, as large as the reader takes.
QByteArray rleBmp(int width, int height)
{
    QImage values(width, height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table << qRgb(i, 255 - i, i / 2);
    values.setColorTable(table);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            values.scanLine(y)[x] = uchar((x * 7 + y) % 251 + 1);
    return testpictures::bmp(values, {.bits = 8, .rle = true});
}

struct Timed {
    double seconds = 0;
    double ofBound = 0;
    bool shown = false;
};

Timed timed(const QByteArray& bytes, bool gifOrBmp)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    Timed t;
    if (gifOrBmp)
        t.ofBound = double(pictures::readGifBmpLayout(buffer).work) / double(kMaxDecodeWork);
    QElapsedTimer clock;
    clock.start();
    t.shown = !(gifOrBmp ? readPictureAlsoGifBmp(buffer) : readPicture(buffer)).isNull();
    t.seconds = double(clock.nsecsElapsed()) / 1e9;
    return t;
}

void BM_GifBmpAgainstAJpegAtItsBound(benchmark::State& state)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    const QList<std::pair<const char*, QByteArray>> parts {
        {"GIF 5600x5600 of growing codes", testpictures::gifOfCodes(QSize(5600, 5600), testpictures::growingCodes(5))},
        {"GIF 32000x32000 on a 512-wide screen",
         onScreen(testpictures::gifOfCodes(QSize(32000, 32000), testpictures::growingCodes(140)), QSize(512, 32000))},
        {"GIF 4000x65535 on a 1-wide screen",
         onScreen(testpictures::gifOfCodes(QSize(4000, 65535), testpictures::growingCodes(36)), QSize(1, 65535))},
        {"GIF 100x100 of 1.6 MB of codes", testpictures::gifOfCodes(QSize(100, 100), testpictures::growingCodes(290))},
        {"RLE BMP 5600x5600", rleBmp(5600, 5600)},
    };
    for (auto _ : state) {
        const Timed jpeg = timed(testpictures::greyScans(16000, 16000, 14), false);
        std::printf("%-40s %6.3f s%s\n", "JPEG 16000x16000 grey, 14 scans", jpeg.seconds,
                    jpeg.shown ? "" : " (not shown)");
        for (const auto& [what, bytes] : parts) {
            const Timed t = timed(bytes, true);
            const double ratio = t.seconds / jpeg.seconds;
            const bool slow = ratio > kMaxRatio;
            g_exceeded = g_exceeded || slow;
            std::printf("%-40s %6.3f s, work %.3f of the bound, %.2f of the JPEG's time (limit %.1f)%s%s\n", what,
                        t.seconds, t.ofBound, ratio, kMaxRatio, t.shown ? "" : " (not shown)",
                        slow ? "  EXCEEDED" : "");
            std::fflush(stdout);
        }
    }
    QLoggingCategory::setFilterRules(QString());
}

} // namespace

BENCHMARK(BM_GifBmpAgainstAJpegAtItsBound)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchsupport::runBenchmarks(argc, argv);
    return g_exceeded ? 1 : 0;
}
