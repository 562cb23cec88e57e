// A large file extracted from the simulated phone and a large file uploaded
// to it, over loopback, beside the floor they cannot beat: a bare socket copy
// of the same number of bytes (one thread writes, another reads, no
// protocol, no files). And many small files extracted, beside a bare
// exchange of the same lines and blocks between two threads (no files, no
// checks): there the time goes into the round trips of every file. The
// machine may be shared: compare the figures of one run with each other,
// not across runs.
//
// BENCH_TRANSFER_MB (default 200) sets the file size, BENCH_SMALL_FILES
// (default 1000) the number of small files of 4 KB, BENCH_TRANSFER_DIR the
// folder the files are extracted into (default: a RAM disk when there is
// one).
#include "jobs/androiduploadfilesthread.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/remotefile.h"
#include "shell/core/jobreport.h"

#include "filestore.h"
#include "phonesim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>

namespace {

class QuietReport : public JobReport {
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

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

qint64 transferBytes()
{
    bool ok = false;
    const int mb = qEnvironmentVariableIntValue("BENCH_TRANSFER_MB", &ok);
    return qint64(ok && mb > 0 ? mb : 200) * 1000 * 1000;
}

constexpr qint64 kSmallFileBytes = 4096;

int smallFiles()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("BENCH_SMALL_FILES", &ok);
    return ok && n > 0 ? n : 1000;
}

QString smallName(int i)
{
    return QStringLiteral("f%1.bin").arg(i, 5, 10, QLatin1Char('0'));
}

struct Setup {
    std::unique_ptr<phonesim::PhoneSim> sim;
    AndroidDeviceInfo device;
    qint64 bytes = 0;
    int small = 0;
};

Setup& setup()
{
    static Setup s = [] {
        Setup out;
        out.bytes = transferBytes();
        out.small = smallFiles();
        const QJsonObject big {{QStringLiteral("name"), QStringLiteral("big.bin")},
                               {QStringLiteral("generated"), out.bytes}};
        QJsonArray small;
        for (int i = 0; i < out.small; ++i)
            small.append(
                QJsonObject {{QStringLiteral("name"), smallName(i)}, {QStringLiteral("generated"), kSmallFileBytes}});
        const QJsonObject root {{QStringLiteral("name"), QStringLiteral("/")},
                                {QStringLiteral("children"),
                                 QJsonArray {QJsonObject {{QStringLiteral("name"), QStringLiteral("bench")},
                                                          {QStringLiteral("children"), QJsonArray {big}}},
                                             QJsonObject {{QStringLiteral("name"), QStringLiteral("small")},
                                                          {QStringLiteral("children"), small}}}}};
        // The phone's blocks as large as the PC's upload blocks; the phone
        // checks and counts what it receives without keeping it in memory.
        const QJsonObject fixture {{QStringLiteral("files"), root},
                                   {QStringLiteral("blockSize"), 512 * 1024},
                                   {QStringLiteral("keepUploads"), false}};
        phonesim::PhoneSim::Options o;
        o.address = QHostAddress(QStringLiteral("127.0.93.1"));
        o.idleTimeoutMs = 600000;
        o.acceptTimeoutMs = 60000;
        out.sim = std::make_unique<phonesim::PhoneSim>(phonesim::Fixture::fromJson(fixture), o);
        QString error;
        if (!out.sim->start(&error))
            qFatal("simulator: %s", qPrintable(error));
        out.device.isWiFi = true;
        out.device.host = o.address.toString();
        out.device.port = PhoneAgentPackage::kWifiControlPort;
        out.device.imei = QStringLiteral("bench-transfer");
        simpleprotocol::setLocalPortProvider([] { return freePort(); });
        return out;
    }();
    return s;
}

// Seconds to move bytes from one thread's socket to another's on loopback.
double bareCopy(qint64 bytes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    const QByteArray chunk(512 * 1024, 'x');
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QThread> writer(QThread::create([port, bytes, &chunk] {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        s.waitForConnected(10000);
        for (qint64 left = bytes; left > 0;) {
            const qint64 n = std::min<qint64>(left, chunk.size());
            s.write(chunk.constData(), n);
            while (s.bytesToWrite() > 0)
                s.waitForBytesWritten(1000);
            left -= n;
        }
        s.disconnectFromHost();
        if (s.state() != QAbstractSocket::UnconnectedState)
            s.waitForDisconnected(10000);
    }));
    writer->start();
    server.waitForNewConnection(10000);
    std::unique_ptr<QTcpSocket> in(server.nextPendingConnection());
    QByteArray buffer(512 * 1024, Qt::Uninitialized);
    qint64 received = 0;
    while (received < bytes) {
        const qint64 n = in->read(buffer.data(), buffer.size());
        if (n > 0)
            received += n;
        else if (!in->waitForReadyRead(10000))
            break;
    }
    const double secs = t.nsecsElapsed() / 1e9;
    writer->wait();
    if (received != bytes)
        qFatal("bare copy: %lld of %lld bytes", received, bytes);
    return secs;
}

// Seconds for the dialogue of downloading "files" files of "size" bytes
// each between two threads on loopback, both with the low-delay option as
// the PC and the phone set it: the same lines and blocks, nothing checked,
// nothing written. As in the download, the phone listens and each side has
// a thread of its own while this one waits.
double bareExchange(int files, qint64 size)
{
    const auto readLine = [](QTcpSocket& s) {
        while (!s.canReadLine())
            if (!s.waitForReadyRead(10000))
                qFatal("bare exchange: no line");
        return s.readLine();
    };
    const auto send = [](QTcpSocket& s, const QByteArray& bytes) {
        s.write(bytes);
        while (s.bytesToWrite() > 0)
            s.waitForBytesWritten(1000);
    };
    std::promise<quint16> listening;
    std::future<quint16> port = listening.get_future();
    QElapsedTimer t;
    t.start();
    // The phone: "$ready:", then per request "$file:", one block, ".".
    std::unique_ptr<QThread> phone(QThread::create([&] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        listening.set_value(server.serverPort());
        server.waitForNewConnection(10000);
        std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const QByteArray data(size, 'x');
        send(*s, "$ready:\n");
        for (;;) {
            const QByteArray request = readLine(*s);
            if (request.startsWith("$bye:"))
                break;
            send(*s, "$file:" + QByteArray::number(size) + "\n$block:" + QByteArray::number(size) + '\n' + data);
            readLine(*s); // "."
            send(*s, ".\n");
            readLine(*s); // "$file:"
        }
    }));
    std::unique_ptr<QThread> pc(QThread::create([&] {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port.get());
        s.waitForConnected(10000);
        s.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QByteArray block(size, Qt::Uninitialized);
        readLine(s); // "$ready:"
        for (int i = 0; i < files; ++i) {
            send(s, "$dload:/small/" + smallName(i).toUtf8() + '\n');
            readLine(s); // "$file:"
            readLine(s); // "$block:"
            for (qint64 got = 0; got < size;) {
                const qint64 n = s.read(block.data() + got, size - got);
                if (n > 0)
                    got += n;
                else if (!s.waitForReadyRead(10000))
                    qFatal("bare exchange: block cut short");
            }
            send(s, ".\n");
            readLine(s); // "."
            send(s, "$file:\n");
        }
        send(s, "$bye:\n");
    }));
    phone->start();
    pc->start();
    pc->wait();
    const double secs = t.nsecsElapsed() / 1e9;
    phone->wait();
    return secs;
}

template <typename Job> double timed(Job& job, const QuietReport& report, const char* what)
{
    QElapsedTimer t;
    t.start();
    job.start();
    job.wait();
    const double secs = t.nsecsElapsed() / 1e9;
    if (!report.ok)
        qFatal("%s failed: %s", what, qPrintable(report.error));
    return secs;
}

void print(const char* what, qint64 bytes, double secs, double bare)
{
    const double mbs = bytes / 1e6 / secs;
    const double bareMbs = bytes / 1e6 / bare;
    std::printf("%-9s %8.1f MB/s   bare socket copy %8.1f MB/s   bare is %.2fx faster (target <= 2)\n", what, mbs,
                bareMbs, mbs > 0 ? bareMbs / mbs : 0.0);
}

// The folder the file is extracted into: BENCH_TRANSFER_DIR, else a RAM disk
// when there is one, so that the disk's speed does not hide the transfer's.
QString scratchBase()
{
    const QString given = qEnvironmentVariable("BENCH_TRANSFER_DIR");
    if (!given.isEmpty())
        return given;
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

void BM_FileTransfer(benchmark::State& state)
{
    Setup& s = setup();
    constexpr int kRounds = 5;
    for (auto _ : state) {
        QTemporaryDir dir(scratchBase() + QStringLiteral("/bench-transfer-XXXXXX"));
        const QString local = dir.filePath(QStringLiteral("big.bin"));
        // Best of a few rounds each: the machine may be busy with other work.
        double bareDown = 1e9, down = 1e9, bareUp = 1e9, up = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            bareDown = std::min(bareDown, bareCopy(s.bytes));
            _RemoteFile remote(nullptr, false, QStringLiteral("/bench/big.bin"), QString(), true, true, true,
                               QString());
            QuietReport downReport;
            AndroidDownloadFilesThread download(&s.device, {&remote}, QDir(dir.path()), &downReport);
            down = std::min(down, timed(download, downReport, "download"));
            if (QFileInfo(local).size() != s.bytes)
                qFatal("download: wrong size");

            bareUp = std::min(bareUp, bareCopy(s.bytes));
            QuietReport upReport;
            AndroidUploadFilesThread upload(&s.device, QStringLiteral("/bench/up"), {QFileInfo(local)}, &upReport);
            up = std::min(up, timed(upload, upReport, "upload"));
            const QList<phonesim::FileStore::Entry> stored = s.sim->files().list(QStringLiteral("/bench/up"));
            if (stored.size() != 1 || stored.first().size != s.bytes)
                qFatal("upload: not stored whole");
            s.sim->files().remove(QStringLiteral("/bench/up"));
        }

        std::printf("file of %.0f MB over loopback, extracted into %s, best of %d rounds\n", s.bytes / 1e6,
                    qPrintable(scratchBase()), kRounds);
        print("download", s.bytes, down, bareDown);
        print("upload", s.bytes, up, bareUp);
        std::fflush(stdout);
        state.counters["download_MBps"] = s.bytes / 1e6 / down;
        state.counters["upload_MBps"] = s.bytes / 1e6 / up;
        state.counters["bare_download_MBps"] = s.bytes / 1e6 / bareDown;
        state.counters["bare_upload_MBps"] = s.bytes / 1e6 / bareUp;
        state.counters["download_ratio"] = down / bareDown;
        state.counters["upload_ratio"] = up / bareUp;
    }
}

void BM_SmallFiles(benchmark::State& state)
{
    Setup& s = setup();
    // A round is short and its time hangs on where the scheduler puts the
    // two threads: more rounds, best of each.
    constexpr int kRounds = 15;
    for (auto _ : state) {
        double bare = 1e9, down = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            bare = std::min(bare, bareExchange(s.small, kSmallFileBytes));
            QTemporaryDir dir(scratchBase() + QStringLiteral("/bench-small-XXXXXX"));
            _RemoteFile folder(nullptr, true, QStringLiteral("/small"), QString(), true, true, true, QString());
            for (int i = 0; i < s.small; ++i)
                folder.children.append(new _RemoteFile(&folder, false, QStringLiteral("/small/") + smallName(i),
                                                       QString(), true, true, true, QString()));
            QuietReport report;
            AndroidDownloadFilesThread download(&s.device, {&folder}, QDir(dir.path()), &report);
            down = std::min(down, timed(download, report, "small files download"));
            if (QDir(dir.filePath(QStringLiteral("small"))).entryList(QDir::Files).size() != s.small)
                qFatal("small files download: files missing");
        }
        std::printf("%d files of %lld bytes over loopback, extracted into %s, best of %d rounds\n", s.small,
                    kSmallFileBytes, qPrintable(scratchBase()), kRounds);
        std::printf("download %8.1f files/s (%.2f ms each)   bare exchange %8.1f files/s (%.2f ms each)   download "
                    "takes %.2fx as long (target <= 2)\n",
                    s.small / down, down * 1000 / s.small, s.small / bare, bare * 1000 / s.small, down / bare);
        std::fflush(stdout);
        state.counters["download_files_per_s"] = s.small / down;
        state.counters["bare_files_per_s"] = s.small / bare;
        state.counters["download_ratio"] = down / bare;
    }
}

} // namespace

BENCHMARK(BM_FileTransfer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SmallFiles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setup().sim->stop();
    return 0;
}
