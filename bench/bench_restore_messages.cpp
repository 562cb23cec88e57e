// Transferring a large store's messages to a simulated phone over loopback,
// against a bare transfer of the very lines the job sent (as the simulator
// recorded them) through the same service: what the job adds on top is its
// cache look-ups and writes, reading the files and re-encoding the pictures.
//
// BENCH_MESSAGES (default 20000) messages, one in BENCH_PICTURE_EVERY
// (default 20) with a 640x480 JPEG picture.
#include "jobs/androidrestoremessagesthread.h"
#include "messagestore/exportmessagesdb.h"
#include "messagestore/msgrecords.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "benchsupport.h"
#include "phonesim.h"
#include "restoreservices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

using benchsupport::envInt;
using benchsupport::QuietReport;

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The source store: messages over 200 conversations, some with a picture of
// their own.
void writeSource(const QString& folder, int messages, int pictureEvery)
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xff, (y * 5) & 0xff, ((x + y) * 3) & 0xff));
    benchsupport::writeStore(folder, messages, 200, pictureEvery,
                             [&image](const QString& path, int) { image.save(path, "JPG"); });
}

// Sends the recorded lines as they are, waiting for the phone's answers
// where the dialogue has them.
void bareTransfer(const AndroidDeviceInfo& device, const QList<QByteArray>& lines)
{
    const QString url = QStringLiteral("restore://127.0.0.1:%1/mms2").arg(simpleprotocol::nextLocalPort());
    std::unique_ptr<QTcpSocket> s(device.connect(url, 10000));
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    simpleprotocol::expectCommand(s.get(), QStringLiteral("$defsmsapp:"), -1);
    for (const QByteArray& line : lines) {
        const QByteArray out = line + '\n';
        const bool answered = line == "$end:" || line == ".";
        simpleprotocol::writeData(s.get(), out.constData(), out.size(), answered || line.startsWith("$atta:"), -1);
        if (line == "$end:")
            simpleprotocol::expectCommand(s.get(), QStringLiteral("$batch:"), -1);
        else if (line == ".")
            simpleprotocol::expectCommand(s.get(), QStringLiteral("."), -1);
        if (line == "$bye:")
            break;
    }
    s->disconnectFromHost();
}

void BM_RestoreMessages(benchmark::State& state)
{
    const int messages = envInt("BENCH_MESSAGES", 20000);
    const int pictureEvery = envInt("BENCH_PICTURE_EVERY", 20);
    QTemporaryDir sourceDir;
    writeSource(sourceDir.path(), messages, pictureEvery);
    MsgDataSetPtr ds = newMsgDataSet();
    {
        IOS6MessageDb db(QDir(sourceDir.path()), QStringLiteral("262"), false);
        db.loadChats(*ds);
        db.loadMessages(*ds, 0);
    }
    const MsgMessageList list = getDataSetMessages(*ds);

    for (auto _ : state) {
        phonesim::PhoneSim::Options o;
        o.address = QHostAddress(QStringLiteral("127.0.91.1"));
        o.idleTimeoutMs = 600000;
        o.acceptTimeoutMs = 60000;
        phonesim::PhoneSim sim(phonesim::Fixture::fromJson(QJsonObject()), o);
        std::shared_ptr<phonesim::RestoreStore> store = phonesim::registerRestoreServices(sim);
        QString error;
        if (!sim.start(&error))
            qFatal("simulator: %s", qPrintable(error));
        AndroidDeviceInfo device;
        device.isWiFi = true;
        device.host = o.address.toString();
        device.port = PhoneAgentPackage::kWifiControlPort;
        device.imei = QStringLiteral("bench-%1").arg(QDateTime::currentMSecsSinceEpoch());
        device.mmc = QStringLiteral("262");

        QuietReport report;
        AndroidRestoreMessagesThread job(&device, list, &report);
        QElapsedTimer t;
        t.start();
        job.start();
        job.wait();
        const double transfer = t.nsecsElapsed() / 1e9;
        if (!report.error.isEmpty())
            qFatal("transfer failed: %s", qPrintable(report.error));
        sim.waitFinished(QStringLiteral("service"), 1, 60000);
        const QList<QByteArray> lines = sim.linesReceived(QStringLiteral("mms2"));
        qint64 bytes = 0;
        for (const QByteArray& l : lines)
            bytes += l.size() + 1;

        t.restart();
        bareTransfer(device, lines);
        sim.waitFinished(QStringLiteral("service"), 2, 60000);
        const double bare = t.nsecsElapsed() / 1e9;
        if (!store->errors().isEmpty())
            qFatal("the phone refused a line: %s", qPrintable(store->errors().join(QLatin1Char('\n'))));

        const double ratio = transfer / bare;
        std::printf("messages %lld, pictures %d, lines %lld, %.1f MB\n", qint64(list.size()), messages / pictureEvery,
                    qint64(lines.size()), bytes / 1e6);
        std::printf("bare transfer      %8.3f s\n", bare);
        std::printf("job transfer       %8.3f s   ratio to bare %.2f (target < 3)\n", transfer, ratio);
        std::fflush(stdout);
        state.counters["bare_s"] = bare;
        state.counters["transfer_s"] = transfer;
        state.counters["ratio"] = ratio;
        sim.stop();
    }
}

} // namespace

BENCHMARK(BM_RestoreMessages)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    // The cache stores go to a private data root, removed at the end.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    simpleprotocol::setLocalPortProvider([] { return freePort(); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
