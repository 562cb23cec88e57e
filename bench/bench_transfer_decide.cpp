// Deciding what a transfer sends when the target's cache was made anew: the
// target phone holds the copies an earlier transfer made of the source's
// photos (scaled and encoded anew), and its cache knows nothing of them, so
// each photo must be encoded to be known for the one the phone holds.
//
// BENCH_PHOTOS (default 1000) photos of BENCH_PHOTO_WIDTH (default 2400)
// by three quarters of that; with BENCH_HOSTILE (default 1) some of them
// hostile: a progressive JPEG of thousands of empty scans, a grey JPEG of
// 256 MP and 100 scans that each take the decoder a pass over every
// coefficient (0.5 MB, tens of seconds to decode), and PNGs of a chunk that
// claims 2 GB or of texts the decoder would hold a gigabyte of, 4 of each.
// The phone holds, in the place of a hostile one, another picture of the
// size its copy would have: the transfer must tell whether it is that copy,
// and sends it as it is. Reported: the time to decide (until the phone is
// first asked) and of the whole transfer, which sends nothing but those,
// against the encodings one after another on one core; the peak memory,
// within the decode budget above what the process held before; then a
// transfer cancelled while it decides: how long the job takes to end
// after Cancel (target below 0.5 s), and that it never opened a phone
// session. The same for BENCH_BIG_PHOTOS (default 16) photos of 48 MP
// (8000 by 6000), and for BENCH_HEAVY (default 4) grey JPEGs of 256 MP and
// 15 such scans, just within the bound of work with the pass that makes
// the picture, which the transfer decodes (a few seconds each): Cancel is
// asked while they decode. Last, BENCH_CRAFTED (default 1) of each of: the
// crafted 4:2:0 JPEG of 16384 x 16384 and 10 empty DC scans (refused by
// its work, it goes as it is), and those the bounds let through that a
// stop takes longest to end: 639 MB of coefficients cleared in one scan,
// 192 MB of them smoothed as the picture is made, and the heavy grey one;
// Cancel is asked while they decode.
#include "jobs/androidrestoremessagesthread.h"
#include "messagestore/exportmessagesdb.h"
#include "messagestore/partbytes.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "benchsupport.h"
#include "phonesim.h"
#include "restoreservices.h"
#include "testpictures.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>

#include <atomic>
#include <cstdio>

namespace {

using benchsupport::envInt;

enum class Kind { Photo, ManyScans, CostlyScans, LongChunk, ManyTexts, Heavy, Crafted, Cleared, Smoothed };

// Whether the transfer decodes a picture of the kind.
bool decoded(Kind kind)
{
    return kind == Kind::Photo || kind == Kind::Heavy || kind == Kind::Cleared || kind == Kind::Smoothed;
}

// A photo with fine detail of its own, as a camera's, or a hostile file.
QByteArray picture(Kind kind, int width, int seed)
{
    const QImage photo = testpictures::detailedPhoto(width, width * 3 / 4, seed);
    const QByteArray png = testpictures::encoded(testpictures::detailedPhoto(300, 200, seed), "PNG");
    switch (kind) {
    case Kind::Photo:
        return testpictures::encoded(photo, "JPG");
    case Kind::ManyScans:
        return testpictures::withScans(testpictures::encoded(photo, "JPG", true), 20000);
    case Kind::CostlyScans:
        return testpictures::greyScans(16000, 16000, 99);
    case Kind::LongChunk:
        return testpictures::withLongChunk(png, 2147483000u);
    case Kind::ManyTexts:
        return testpictures::withTexts(png, 30, 7600000);
    case Kind::Heavy:
        return testpictures::greyScans(16000, 16000, 14);
    case Kind::Crafted:
        return testpictures::emptyScans(16384, 16384, 10);
    case Kind::Cleared:
        return testpictures::emptyScans(14944, 14944, 10, true);
    case Kind::Smoothed:
        return testpictures::emptyScans(8192, 8192, 41);
    }
    return QByteArray();
}

// What the phone holds in the place of a hostile picture: another one of
// the size a transfer's copy of it would have (a JPEG, as the parts are).
QByteArray otherOfItsSize(Kind kind, int seed)
{
    const bool small = kind == Kind::LongChunk || kind == Kind::ManyTexts;
    return testpictures::encoded(testpictures::detailedPhoto(small ? 300 : 1080, small ? 200 : 1080, seed + 1), "JPG");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

class CancelReport : public benchsupport::QuietReport {
public:
    bool userCanceled() const override { return canceled.load(); }
    std::atomic_bool canceled = false;
};

struct Phone {
    phonesim::PhoneSim sim;
    std::shared_ptr<phonesim::RestoreStore> store; // what the phone received
    AndroidDeviceInfo device;

    explicit Phone(const phonesim::PhoneSim::Options& options)
        : sim(phonesim::Fixture::fromJson(QJsonObject()), options)
    {
    }
};

std::unique_ptr<Phone> startPhone(const QString& imei)
{
    phonesim::PhoneSim::Options o;
    o.address = QHostAddress(QStringLiteral("127.0.92.1"));
    o.idleTimeoutMs = 600000;
    o.acceptTimeoutMs = 60000;
    auto phone = std::make_unique<Phone>(o);
    phone->store = phonesim::registerRestoreServices(phone->sim);
    QString error;
    if (!phone->sim.start(&error))
        qFatal("simulator: %s", qPrintable(error));
    phone->device.isWiFi = true;
    phone->device.host = o.address.toString();
    phone->device.port = PhoneAgentPackage::kWifiControlPort;
    phone->device.imei = imei;
    phone->device.mmc = QStringLiteral("262");
    return phone;
}

// Runs the job; the seconds until the phone was first asked (-1: never)
// and until the job ended. With cancelAfter > 0, Cancel is pressed that
// many seconds after the start: the second figure is then from Cancel on.
std::pair<double, double> runTransfer(Phone& phone, const MsgMessageList& list, CancelReport& report,
                                      double cancelAfter = 0)
{
    const qsizetype before = phone.sim.connections(QStringLiteral("service")).size();
    AndroidRestoreMessagesThread job(&phone.device, list, &report);
    QElapsedTimer t;
    t.start();
    job.start();
    double asked = -1;
    double cancelled = -1;
    while (!job.wait(1)) {
        const double now = t.nsecsElapsed() / 1e9;
        if (asked < 0 && phone.sim.connections(QStringLiteral("service")).size() > before)
            asked = now;
        if (cancelAfter > 0 && cancelled < 0 && now >= cancelAfter) {
            report.canceled = true;
            cancelled = now;
        }
    }
    const double end = t.nsecsElapsed() / 1e9;
    if (asked < 0 && phone.sim.connections(QStringLiteral("service")).size() > before)
        asked = end;
    return {asked, cancelled >= 0 ? end - cancelled : end};
}

// Deciding photos of width (by three quarters of that), those of the
// indexes given another kind.
void decide(benchmark::State& state, int photos, int width, const QMap<int, Kind>& hostile)
{
    QTemporaryDir work;
    const QString prepared = work.filePath(QStringLiteral("prepared"));
    QDir().mkpath(prepared);
    QList<int> seeds;
    for (int i = 0; i < photos; ++i)
        seeds.append(i);
    QtConcurrent::blockingMap(seeds, [&](int i) {
        const QString path = QStringLiteral("%1/p%2.jpg").arg(prepared).arg(i);
        const Kind kind = hostile.value(i, Kind::Photo);
        writeFile(path, picture(kind, width, i));
        // What the phone holds: the copy, or another picture in the place
        // of a hostile one.
        writeFile(path + QStringLiteral(".sent"),
                  kind == Kind::Photo ? encodedImage(path, QStringLiteral("image/jpeg")) : otherOfItsSize(kind, i));
    });

    // The source: a store of the photos, each a message of its own.
    const QString source = work.filePath(QStringLiteral("source"));
    benchsupport::writeStore(source, photos, 50, 1, [&](const QString& path, int i) {
        QFile::copy(QStringLiteral("%1/p%2.jpg").arg(prepared).arg(i), path);
    });
    MsgDataSetPtr ds = newMsgDataSet();
    {
        IOS6MessageDb db(QDir(source), QStringLiteral("262"), false);
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
    }
    const MsgMessageList list = getDataSetMessages(*ds);

    for (auto _ : state) {
        auto phone = startPhone(QStringLiteral("decide-%1").arg(QDateTime::currentMSecsSinceEpoch()));
        // The target's cache as a load makes it from what the phone holds:
        // the copies, under the source's names, correspondents and times.
        {
            ExportMessagesDb cache(phone->device.cacheDir(), QStringLiteral("262"));
            cache.begin();
            for (const _MsgMessage* m : list) {
                _MsgMessage copy = *m;
                QHash<QString, _MsgAttachment*> parts;
                std::vector<_MsgAttachment> atts;
                atts.reserve(m->attachments.size());
                for (auto it = m->attachments.cbegin(); it != m->attachments.cend(); ++it) {
                    _MsgAttachment& att = atts.emplace_back(**it);
                    const int index = QFileInfo(att.localPath).completeBaseName().mid(1).toInt();
                    att.localPath = QStringLiteral("%1/p%2.jpg.sent").arg(prepared).arg(index);
                    att.content_hash.clear();
                    att.guid = newMsgGuid();
                    parts.insert(it.key(), &att);
                }
                copy.attachments = parts;
                copy.guid = newMsgGuid();
                cache.write(copy);
            }
            cache.end();
        }

        // One encoding after another on one core, for comparison.
        QElapsedTimer t;
        t.start();
        int sample = 0;
        for (int i = 0; i < photos && sample < 50; ++i) {
            const Kind kind = hostile.value(i, Kind::Photo);
            if (decoded(kind)) {
                encodedImage(QStringLiteral("%1/p%2.jpg").arg(prepared).arg(i), QStringLiteral("image/jpeg"));
                ++sample;
            }
        }
        const double oneCore = t.nsecsElapsed() / 1e9 * photos / qMax(sample, 1);

        // Cancelled half-way through deciding, before anything else.
        CancelReport cancelled;
        const auto [askedBeforeCancel, afterCancel]
            = runTransfer(*phone, list, cancelled, oneCore / QThread::idealThreadCount() / 3);

        // The peak of the deciding alone (the kernel starts the count anew).
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const double before = benchsupport::statusMb("VmRSS");
        CancelReport report;
        const auto [decide, whole] = runTransfer(*phone, list, report);
        const double peak = benchsupport::statusMb("VmHWM");
        const QList<QVariantMap> sent = phone->store->records(QStringLiteral("mms2"));
        if (!report.error.isEmpty() || sent.size() != hostile.size())
            qFatal("the transfer failed or sent %lld messages of %lld: %s", qint64(sent.size()), qint64(hostile.size()),
                   qPrintable(report.error));
        // Each hostile file the transfer does not decode as it is.
        for (const QVariantMap& m : sent) {
            const QVariantMap part = m.value(QStringLiteral("attachments")).toList().value(0).toMap();
            const int index = part.value(QStringLiteral("name")).toString().mid(1).section(u'.', 0, 0).toInt();
            QFile original(QStringLiteral("%1/p%2.jpg").arg(prepared).arg(index));
            original.open(QIODevice::ReadOnly);
            if (!decoded(hostile.value(index))
                && QByteArray::fromBase64(part.value(QStringLiteral("base64")).toString().toLatin1())
                    != original.readAll())
                qFatal("p%d was not sent as it is", index);
        }

        std::printf("photos %d of %dx%d, %lld of them hostile or heavy, %d cores\n", photos, width, width * 3 / 4,
                    qint64(hostile.size()), QThread::idealThreadCount());
        std::printf("one core, one by one %8.3f s\n", oneCore);
        std::printf("deciding             %8.3f s   (the phone asked only then)\n", decide);
        std::printf("whole transfer       %8.3f s\n", whole);
        std::printf("peak memory          %8.0f MB  (%.0f MB before; %.0f MB more, budget %d MB)\n", peak, before,
                    peak - before, kDecodeBudgetMb);
        std::printf("cancel heard after   %8.3f s   (target < 0.5)   phone asked before: %s\n", afterCancel,
                    askedBeforeCancel < 0 ? "no" : "YES");
        std::fflush(stdout);
        state.counters["one_core_s"] = oneCore;
        state.counters["decide_s"] = decide;
        state.counters["transfer_s"] = whole;
        state.counters["cancel_s"] = afterCancel;
        state.counters["peak_mb"] = peak;
        if (askedBeforeCancel >= 0 || afterCancel >= 0.5 || !cancelled.error.isEmpty())
            qFatal("the cancelled transfer asked the phone or ended late");
        if (peak - before > kDecodeBudgetMb)
            qFatal("the decodes held more than their budget");
        // Run again, the cache knows what it learnt: nothing is encoded,
        // nothing sent.
        CancelReport again;
        const auto [decideAgain, wholeAgain] = runTransfer(*phone, list, again);
        std::printf("again, learnt        %8.3f s\n", wholeAgain);
        if (phone->store->records(QStringLiteral("mms2")).size() != sent.size())
            qFatal("the second transfer sent messages");
        state.counters["again_s"] = wholeAgain;
        phone->sim.stop();
    }
}

void BM_DecideAfterCacheMadeAnew(benchmark::State& state)
{
    const int photos = envInt("BENCH_PHOTOS", 1000);
    QMap<int, Kind> hostile;
    if (envInt("BENCH_HOSTILE", 1) && photos >= 20) {
        hostile.insert(photos / 2, Kind::ManyScans);
        hostile.insert(photos / 3, Kind::CostlyScans);
        for (int i = 0; i < 4; ++i) {
            hostile.insert(photos / 4 + i, Kind::LongChunk);
            hostile.insert(photos / 4 + 4 + i, Kind::ManyTexts);
        }
    }
    decide(state, photos, envInt("BENCH_PHOTO_WIDTH", 2400), hostile);
}

void BM_DecideBigPhotos(benchmark::State& state)
{
    decide(state, envInt("BENCH_BIG_PHOTOS", 16), 8000, {});
}

void BM_DecideHeavyPictures(benchmark::State& state)
{
    const int photos = envInt("BENCH_HEAVY", 4);
    QMap<int, Kind> heavy;
    for (int i = 0; i < photos; ++i)
        heavy.insert(i, Kind::Heavy);
    decide(state, photos, 2400, heavy);
}

void BM_DecideCraftedPictures(benchmark::State& state)
{
    const int each = envInt("BENCH_CRAFTED", 1);
    QMap<int, Kind> crafted;
    for (int i = 0; i < each; ++i) {
        for (const Kind kind : {Kind::Crafted, Kind::Cleared, Kind::Smoothed, Kind::Heavy})
            crafted.insert(int(crafted.size()), kind);
    }
    decide(state, int(crafted.size()), 2400, crafted);
}

} // namespace

BENCHMARK(BM_DecideAfterCacheMadeAnew)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_DecideBigPhotos)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_DecideHeavyPictures)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_DecideCraftedPictures)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    simpleprotocol::setLocalPortProvider([] { return benchsupport::freePort(); });
    return benchsupport::runBenchmarks(argc, argv);
}
