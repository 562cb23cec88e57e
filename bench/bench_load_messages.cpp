// Loading a large phone's messages from the simulator over loopback into an
// empty cache store, against the floor it cannot beat: a bare transfer of
// the same lines over the same kind of socket (no database) plus the cost of
// inserting the same messages straight through the store writer. Then an
// incremental load with nothing new (it still receives every message line
// and ends with the vacuum).
//
// BENCH_MESSAGES (default 100000) and BENCH_CONVERSATIONS (default 2000)
// scale the generated phone.
#include "messagestore/exportmessagesdb.h"
#include "messagestore/msgrecords.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androidloadmessagesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include "dataservices.h"
#include "phonesim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

class QuietReport : public JobReport {
public:
    void postUpdateProgress(const QString&, int, const QString&) override { ++updates; }
    void postErrorOccurred(const QString& err) override { error = err; }
    void postSucceed(const QString&) override { ok = true; }
    void postTipsWait(const QString&) override {}
    bool userCanceled() const override { return false; }
    bool waitingTips() const override { return false; }

    std::atomic<qint64> updates {0};
    bool ok = false;
    QString error;
};

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct Setup {
    std::unique_ptr<phonesim::PhoneSim> sim;
    AndroidDeviceInfo device;
    int messages = 0;
};

Setup& setup()
{
    static Setup s = [] {
        Setup out;
        out.messages = envInt("BENCH_MESSAGES", 100000);
        const int conversations = envInt("BENCH_CONVERSATIONS", 2000);
        phonesim::PhoneSim::Options o;
        o.address = QHostAddress(QStringLiteral("127.0.90.1"));
        o.idleTimeoutMs = 600000;
        o.acceptTimeoutMs = 60000;
        out.sim = std::make_unique<phonesim::PhoneSim>(
            phonesim::makeLargeFixture(out.messages, conversations, 10000, 50000), o);
        QString error;
        if (!out.sim->start(&error))
            qFatal("simulator: %s", qPrintable(error));
        out.device.isWiFi = true;
        out.device.host = o.address.toString();
        out.device.port = PhoneAgentPackage::kWifiControlPort;
        out.device.imei = QStringLiteral("356938035600001");
        out.device.mmc = QStringLiteral("262");
        simpleprotocol::setLocalPortProvider([] { return freePort(); });
        return out;
    }();
    return s;
}

// The "mms2" dialogue with no database: every line read, every part taken.
qint64 bareTransfer(const AndroidDeviceInfo& device)
{
    const QString url = QStringLiteral("backup://127.0.0.1:%1/mms2").arg(simpleprotocol::nextLocalPort());
    std::unique_ptr<QTcpSocket> s(device.connect(url, 10000));
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    qint64 lines = 0;
    for (;;) {
        const QString line = simpleprotocol::readCommand(s.get(), -1);
        ++lines;
        if (line.startsWith(QLatin1String("$bye:")))
            break;
        if (!line.startsWith(QLatin1String("$batch:")))
            continue;
        for (;;) {
            const QString rec = simpleprotocol::readCommand(s.get(), -1);
            ++lines;
            if (rec.startsWith(QLatin1String("$end:"))) {
                simpleprotocol::sendCommand(s.get(), QStringLiteral("$batch:"), QString(), true, -1);
                break;
            }
            const QStringList f = rec.split(QLatin1Char(','));
            const int parts = f.size() > 6 ? f.at(6).toInt() : 0;
            if (parts < 1)
                continue;
            simpleprotocol::sendCommand(s.get(), QStringLiteral("1"), QString(), true, -1);
            for (int i = 0; i < parts; ++i) {
                simpleprotocol::expectCommand(s.get(), QStringLiteral("$atta:"), -1);
                while (!simpleprotocol::readLine(s.get(), -1).startsWith(QLatin1Char('.')))
                    ++lines;
                simpleprotocol::sendCommand(s.get(), QStringLiteral("."), QString(), true, -1);
            }
        }
    }
    simpleprotocol::sendCommand(s.get(), QStringLiteral("$bye:"), QString(), true, -1);
    return lines;
}

// The same messages written straight through the store writer.
void rawInsert(const phonesim::Fixture& fixture, const QString& folder, const QString& attachmentFile)
{
    ExportMessagesDb writer {QDir(folder), QStringLiteral("262")};
    writer.begin();
    const QJsonArray all = fixture.section(QStringLiteral("messages")).toArray();
    const _Country& country = writer.store().countryDb().getCurCountry();
    for (const QJsonValue& v : all) {
        const QJsonObject m = v.toObject();
        const QString address = country.normalizeNumber(m.value(QStringLiteral("address")).toString());
        _MsgHandle handle;
        handle.id = address;
        _MsgChat chat;
        chat.guid = QStringLiteral("SMS;-;") + address;
        chat.chat_identifier = address;
        chat.handles.insert(address, &handle);
        _MsgMessage msg;
        msg.handle = &handle;
        msg.chat = &chat;
        msg.text = m.value(QStringLiteral("body")).toString();
        msg.service = QStringLiteral("SMS");
        msg.date = int(m.value(QStringLiteral("date")).toInteger() - kIosEpochOffset);
        msg.is_from_me = m.value(QStringLiteral("type")).toInt() == 2;
        msg.guid = makeGuidFromData(makeLogicHash(&msg).toUtf8());
        writer.write(msg);
        for (const QJsonValue& a : m.value(QStringLiteral("attachments")).toArray()) {
            _MsgAttachment att;
            att.guid = makeGuidFromData((msg.guid + a.toObject().value(QStringLiteral("name")).toString()).toUtf8());
            att.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/p.jpg")
                               .arg(att.guid.left(2).toLower(), att.guid.mid(2, 2).toLower(), att.guid);
            att.mime_type = QStringLiteral("image/jpeg");
            att.localPath = attachmentFile;
            _MsgMessage part = msg;
            part.text = QString(QChar(0xFFFC));
            part.attachments.insert(QStringLiteral("0"), &att);
            part.guid = makeGuidFromData(makeLogicHash(&part).toUtf8());
            writer.write(part);
        }
    }
    writer.end();
}

double load(AndroidDeviceInfo& device)
{
    QuietReport report;
    AndroidLoadMessagesThread job(&device, &report);
    QElapsedTimer t;
    t.start();
    job.start();
    job.wait();
    const double secs = t.nsecsElapsed() / 1e9;
    if (!report.ok)
        qFatal("load failed: %s", qPrintable(report.error));
    return secs;
}

void BM_LoadMessages(benchmark::State& state)
{
    Setup& s = setup();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const qint64 lines = bareTransfer(s.device);
        const double bare = t.nsecsElapsed() / 1e9;

        QTemporaryDir rawDir;
        QFile picture(rawDir.filePath(QStringLiteral("p.jpg")));
        picture.open(QIODevice::WriteOnly);
        picture.write(QByteArray(1500, 'x'));
        picture.close();
        t.restart();
        rawInsert(s.sim->fixture(), rawDir.path(), picture.fileName());
        const double insert = t.nsecsElapsed() / 1e9;

        // An empty cache store for the full load.
        AndroidDeviceInfo device = s.device;
        device.imei = QStringLiteral("bench-%1").arg(QDateTime::currentMSecsSinceEpoch());
        const double full = load(device);
        const double incremental = load(device);

        const double ratio = full / (bare + insert);
        std::printf("messages %d, lines %lld\n", s.messages, lines);
        std::printf("bare transfer      %8.3f s\n", bare);
        std::printf("raw insert         %8.3f s\n", insert);
        std::printf("full load          %8.3f s   ratio to bare + insert %.2f (target <= 3)\n", full, ratio);
        std::printf("incremental load   %8.3f s   ratio to full load %.2f\n", incremental, incremental / full);
        std::fflush(stdout);
        state.counters["bare_s"] = bare;
        state.counters["insert_s"] = insert;
        state.counters["full_s"] = full;
        state.counters["full_ratio"] = ratio;
        state.counters["incremental_s"] = incremental;
        state.counters["incremental_ratio"] = incremental / full;
        removeDir(device.cacheDir().absolutePath());
    }
}

} // namespace

BENCHMARK(BM_LoadMessages)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    // The cache stores go to a private data root, removed at the end.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setup().sim->stop();
    return 0;
}
