// How soon the application answers the user where no page benchmark looks:
// how long work goes on after Cancel or a stop, how close to its interval a
// time limit ends a wait, and two inputs far beyond the usual. Each figure
// has its limit; the run fails when one is exceeded. Every step is measured
// kRounds times and the fastest counts (the machine may be shared).
//
// After Cancel (a stalled phone answers nothing until the end):
//   a worker waiting on a silent socket in 50 ms slices sees the progress
//   dialog's Cancel (from the press)                                 200 ms
//   a file-system listing ends (from the cancel)                     1000 ms
//   the file-system page's listing ends (from the press until the
//   page is back)                                                    1000 ms
//   an upload stalled by the phone ends (from the cancel)            1000 ms
//   a calls load stalled by the phone ends (from its start, with the
//   cancel 200 ms after the phone greeted it)                        4000 ms
//   the thumbnail worker stops a stalled fetch                       3000 ms
//   a Wi-Fi connection to a stalled phone ends (from the cancel)     3000 ms
//   the USB connection ends while adb's install hangs (from its
//   start, Cancel pressed after 300 ms)                              3000 ms
//   a hung adb ends (from its start, cancelled after 200 ms)         5000 ms
//   the USB monitor shuts down while its adb listing hangs           3000 ms
//   the simulator stops with a stalled session                       2000 ms
// Time limits (from the start of the wait):
//   a line wait of 300 ms on a silent peer                           2000 ms
//   a listing's wait of 800 ms between lines on a stalled phone      3000 ms
//   adb that hangs past its limit of 300 ms                          5000 ms
//   a USB connection of 600 ms to a stopped Phone Agent              8000 ms
// Large input:
//   a message box with 2 MB of text opened and closed                5000 ms
//   a phone folder of 3,004 entries expanded on the file-system page 5000 ms
#include "jobs/androiduploadfilesthread.h"
#include "phonelink/adbhelper.h"
#include "phonelink/androidconnectthreads.h"
#include "phonelink/androidloadcallsthread.h"
#include "phonelink/androidloadfilesys.h"
#include "phonelink/androidloadthumbnailsthread.h"
#include "phonelink/androidmonitor.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcallhistorydb.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "views/media/filesysmainform.h"
#include "views/media/itemmodelfilesys.h"

#include "simphone.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kRounds = 3;
// How long a stalled phone or a hung adb would keep a wait going: longer
// than any limit here.
constexpr int kForeverMs = 600000;
bool g_failed = false;

using testsupport::RecordingJobReport;
using testsupport::SimPhone;
using Fault = phonesim::Fault;

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs round() kRounds times; each returns its milliseconds, or -1 when the
// step did not happen as it should. Prints the fastest against the limit.
// Milliseconds from Cancel to the end of a job the phone stalls, which
// must end without an end post; -1 when it posted one.
qint64 cancelledStalled(QThread& job, RecordingJobReport& report, SimPhone& phone)
{
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    report.cancel();
    job.wait();
    const qint64 ms = sinceCancel.elapsed();
    phone.sim->releaseStalls();
    return report.endCount() == 0 ? ms : -1;
}

// Milliseconds until run, given an adb whose listing hangs, ends with an
// error; -1 when it returns as if it had listed.
qint64 untilAHungListingStops(SimPhone& phone, const std::function<void(const QElapsedTimer&)>& run)
{
    phone.adb->setHang(QStringLiteral("devices"), kForeverMs);
    QElapsedTimer clock;
    clock.start();
    bool stopped = false;
    try {
        run(clock);
    } catch (const std::runtime_error&) {
        stopped = true;
    }
    const qint64 ms = clock.elapsed();
    phone.adb->clearCommand(QStringLiteral("devices"));
    return stopped ? ms : -1;
}

void measure(benchmark::State& state, const char* what, qint64 limitMs, const std::function<qint64()>& round)
{
    for (auto _ : state) {
        qint64 best = -1;
        bool broken = false;
        for (int i = 0; i < kRounds; ++i) {
            const qint64 ms = round();
            broken = broken || ms < 0;
            if (ms >= 0 && (best < 0 || ms < best))
                best = ms;
        }
        const bool failed = broken || best >= limitMs;
        g_failed = g_failed || failed;
        std::printf("%-72s %6lld ms (limit %lld ms)%s\n", what, static_cast<long long>(best),
                    static_cast<long long>(limitMs),
                    broken       ? "  DID NOT HAPPEN AS IT SHOULD"
                        : failed ? "  EXCEEDED"
                                 : "");
        std::fflush(stdout);
        state.counters["ms"] = double(best);
    }
}

// Waits, running the event loop, until done() holds; false after kForeverMs.
bool waitUntil(const std::function<bool()>& done)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > kForeverMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Presses Cancel (as a click on it does) on the visible progress dialog once
// ready() holds; the press's clock starts then.
class Canceller : public QObject {
public:
    Canceller(std::function<bool()> ready, QElapsedTimer* pressed)
        : m_ready(std::move(ready))
        , m_pressed(pressed)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_pressed->isValid() || !m_ready())
                return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* form = qobject_cast<ProgressForm*>(w); form && form->isVisible()) {
                    m_pressed->start();
                    form->reject();
                }
        });
        m_timer.start(5);
    }

private:
    std::function<bool()> m_ready;
    QElapsedTimer* m_pressed;
    QTimer m_timer;
};

// ---------------------------------------------------------------- Cancel

// The phone's files: a folder "big" of 3,000 short names and four of 255
// bytes in four scripts, and /sdcard/DCIM.
QJsonObject filesFixture()
{
    QJsonArray big;
    for (int i = 0; i < 3000; ++i)
        big.append(QJsonObject {{QStringLiteral("name"), QStringLiteral("file%1.txt").arg(i)},
                                {QStringLiteral("content"), QStringLiteral("x")}});
    for (const QString& letter :
         {QStringLiteral("a"), QStringLiteral("\u0416"), QStringLiteral("\u6587"), QStringLiteral("\U0001F600")}) {
        QString name;
        while ((name + letter).toUtf8().size() < 255)
            name += letter;
        name += QString(255 - name.toUtf8().size(), QLatin1Char('z'));
        big.append(QJsonObject {{QStringLiteral("name"), name}, {QStringLiteral("content"), QStringLiteral("x")}});
    }
    const QJsonArray dcim {QJsonObject {{QStringLiteral("name"), QStringLiteral("a.jpg")},
                                        {QStringLiteral("content"), QStringLiteral("x")}}};
    const QJsonArray sdcard {
        QJsonObject {{QStringLiteral("name"), QStringLiteral("DCIM")}, {QStringLiteral("children"), dcim}}};
    const QJsonArray root {
        QJsonObject {{QStringLiteral("name"), QStringLiteral("big")}, {QStringLiteral("children"), big}},
        QJsonObject {{QStringLiteral("name"), QStringLiteral("sdcard")}, {QStringLiteral("children"), sdcard}}};
    return {{QStringLiteral("files"),
             QJsonObject {{QStringLiteral("name"), QStringLiteral("/")}, {QStringLiteral("children"), root}}}};
}

void BM_ProgressCancelSeen(benchmark::State& state)
{
    measure(state, "progress dialog Cancel seen by a worker waiting in 50 ms slices", 200, [] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        ProgressForm form(QStringLiteral("Waiting"));
        std::atomic<bool> connected {false};
        QElapsedTimer clock;
        clock.start();
        std::atomic<qint64> pressedAt {-1};
        std::atomic<qint64> sawAt {-1};
        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, &form, [&] {
            if (!connected || pressedAt >= 0)
                return;
            pressedAt = clock.elapsed();
            QTest::mousePress(form.findChild<QPushButton*>(QStringLiteral("btnCancel")), Qt::LeftButton);
        });
        presser.start(100);
        std::unique_ptr<QThread> worker(QThread::create([&, port = server.serverPort()] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (!socket.waitForConnected(kForeverMs))
                return;
            connected = true;
            while (!form.userCanceled())
                if (socket.waitForReadyRead(50))
                    socket.readAll();
            sawAt = clock.elapsed();
        }));
        runJob(form, *worker);
        return sawAt < 0 ? -1 : sawAt - pressedAt;
    });
}

void BM_ListingCancel(benchmark::State& state)
{
    measure(state, "a file-system listing of a stalled phone, from the cancel", 1000, [&] {
        SimPhone phone(QStringLiteral("127.0.151.1"), filesFixture());
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("files"), 2, {}, 0, -1));
        std::atomic<bool> cancel {false};
        QElapsedTimer sinceCancel;
        std::atomic<qint64> took {-1};
        const qsizetype asked = phone.sim->linesReceived(QStringLiteral("files")).size();
        std::unique_ptr<QThread> lister(QThread::create([&] {
            AndroidLoadFileSys fs(&phone.device);
            simpleprotocol::CancelScope scope([&] { return cancel.load(); });
            try {
                qDeleteAll(fs.listFolder(QStringLiteral("/")));
            } catch (int) {
                took = sinceCancel.elapsed();
            } catch (const std::exception&) {
            }
        }));
        lister->start();
        waitUntil([&] { return phone.sim->linesReceived(QStringLiteral("files")).size() > asked; });
        sinceCancel.start();
        cancel = true;
        lister->wait();
        return took.load();
    });
}

// The row named name under parent, invalid when none.
QModelIndex rowNamed(const ItemModelFileSys& model, const QString& name, const QModelIndex& parent = {})
{
    for (int r = 0; r < model.rowCount(parent); ++r)
        if (model.index(r, 0, parent).data().toString() == name)
            return model.index(r, 0, parent);
    return {};
}

void BM_PageListingCancel(benchmark::State& state)
{
    measure(state, "the file-system page's listing of a stalled phone, from the press", 1000, [&] {
        SimPhone phone(QStringLiteral("127.0.151.2"), filesFixture());
        ItemModelMain tree;
        _AndroidDeviceItemNode* node = tree.addAndroidDevice(phone.device);
        // Steps of the page's connection: 1 ready, 2..4 "/", 5..6 /sdcard, 7
        // the first line of /sdcard/DCIM.
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("files"), 7));
        FileSysMainForm page(node, tree.devicesRoot());
        const QModelIndex sdcard = rowNamed(*page.fileModel(), QStringLiteral("sdcard"));
        page.treeView()->expand(sdcard);
        const QModelIndex dcim = rowNamed(*page.fileModel(), QStringLiteral("DCIM"), sdcard);
        const auto asked
            = [&] { return phone.sim->linesReceived(QStringLiteral("files")).count("$path:/sdcard/DCIM"); };
        const qsizetype before = asked();
        QElapsedTimer pressed;
        Canceller cancel([&] { return asked() > before; }, &pressed);
        page.treeView()->expand(dcim);
        const qint64 ms = pressed.isValid() ? pressed.elapsed() : -1;
        phone.sim->releaseStalls();
        return ms;
    });
}

void BM_UploadCancel(benchmark::State& state)
{
    QTemporaryDir dir;
    QFile a(dir.filePath(QStringLiteral("a.bin"))), big(dir.filePath(QStringLiteral("big.bin")));
    if (!a.open(QIODevice::WriteOnly) || a.write("a") != 1 || !big.open(QIODevice::WriteOnly)
        || big.write(QByteArray(2 * 524288, 'b')) != 2 * 524288)
        qFatal("cannot write the files to upload");
    a.close();
    big.close();
    measure(state, "an upload stalled by the phone, from the cancel", 1000, [&] {
        SimPhone phone(QStringLiteral("127.0.151.3"));
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("upload"), 4));
        const qsizetype blocks = phone.sim->linesReceived(QStringLiteral("upload")).count("$block:524288");
        RecordingJobReport report;
        AndroidUploadFilesThread job(&phone.device, QStringLiteral("/sdcard"), {QFileInfo(dir.path())}, &report);
        job.start();
        waitUntil([&] { return phone.sim->linesReceived(QStringLiteral("upload")).count("$block:524288") > blocks; });
        return cancelledStalled(job, report, phone);
    });
}

void BM_CallsLoadCancel(benchmark::State& state)
{
    QJsonArray calls;
    for (int i = 0; i < 300; ++i)
        calls.append(QJsonObject {{QStringLiteral("address"), QStringLiteral("+4930%1").arg(i)},
                                  {QStringLiteral("date"), 1600000000 + i},
                                  {QStringLiteral("duration"), 60},
                                  {QStringLiteral("type"), 1}});
    QTemporaryDir dir;
    measure(state, "a calls load stalled by the phone, cancelled, from its start", 4000, [&] {
        SimPhone phone(QStringLiteral("127.0.151.4"), {{QStringLiteral("calls"), calls}});
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("calls"), 2));
        const qsizetype sessions = phone.sim->connections(QStringLiteral("service")).size();
        LocalCallHistoryDb db(dir.filePath(QStringLiteral("calls.db")));
        RecordingJobReport report;
        AndroidLoadCallsThread job(&phone.device, &db, &report);
        QElapsedTimer clock;
        clock.start();
        job.start();
        waitUntil([&] { return phone.sim->connections(QStringLiteral("service")).size() > sessions; });
        QThread::msleep(200);
        report.cancel();
        job.wait();
        const qint64 ms = clock.elapsed();
        phone.sim->releaseStalls();
        return report.endCount() == 0 ? ms : -1;
    });
}

void BM_ThumbnailStop(benchmark::State& state)
{
    const QString path = QStringLiteral("/sdcard/DCIM/a.jpg");
    const QJsonArray images {QJsonObject {{QStringLiteral("path"), path},
                                          {QStringLiteral("bucket"), QStringLiteral("Camera")},
                                          {QStringLiteral("date"), 1600000000},
                                          {QStringLiteral("thumb"), QStringLiteral("eHh4")}}};
    measure(state, "the thumbnail worker stopping a stalled fetch", 3000, [&] {
        SimPhone phone(QStringLiteral("127.0.151.5"),
                       {{QStringLiteral("media"), QJsonObject {{QStringLiteral("images"), images}}}});
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("image-thumbnails"), 2));
        const qsizetype asked = phone.sim->linesReceived(QStringLiteral("image-thumbnails")).size();
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        QFile::remove(thumbs.thumbnailPath(path));
        thumbs.requests = {path};
        thumbs.fetch();
        waitUntil([&] { return phone.sim->linesReceived(QStringLiteral("image-thumbnails")).size() > asked; });
        QElapsedTimer clock;
        clock.start();
        thumbs.stop();
        const qint64 ms = clock.elapsed();
        phone.sim->releaseStalls();
        return ms;
    });
}

void BM_WifiConnectCancel(benchmark::State& state)
{
    measure(state, "a Wi-Fi connection to a stalled phone, from the cancel", 3000, [&] {
        SimPhone phone(QStringLiteral("127.0.151.6"));
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("device-info"), 2));
        const qsizetype sessions = phone.sim->connections(QStringLiteral("service")).size();
        RecordingJobReport report;
        AndroidConnectWithWiFiThread job(phone.device.host, &report);
        job.start();
        waitUntil([&] { return phone.sim->connections(QStringLiteral("service")).size() > sessions; });
        return cancelledStalled(job, report, phone);
    });
}

// A phone on USB behind the adb stand-in, for the adb steps; main ends it.
std::unique_ptr<SimPhone> g_usb;
SimPhone& usbPhone()
{
    if (!g_usb) {
        g_usb = std::make_unique<SimPhone>(SimPhone::Options {});
        if (!g_usb->ok())
            qFatal("the phone on USB: %s", qPrintable(g_usb->error));
    }
    return *g_usb;
}

void BM_UsbConnectCancel(benchmark::State& state)
{
    SimPhone& phone = usbPhone();
    AndroidConnectWithUSBThread::setInstallPauseMs(0);
    measure(state, "the USB connection while adb's install hangs, Cancel after 300 ms", 3000, [&] {
        phone.adb->setDevices({phonesim::FakeAdb::Device(phone.device.serial, QStringLiteral("device"), 0, 21,
                                                         phone.sim->bridgeAddress())});
        phone.adb->setHang(QStringLiteral("install"), kForeverMs);
        ProgressForm progress(QStringLiteral("connecting"));
        AndroidConnectWithUSBThread job(phone.device.serial, &progress);
        QTimer::singleShot(300, &progress, [&] { progress.reject(); });
        QElapsedTimer clock;
        clock.start();
        const JobResult result = runJob(progress, job);
        const qint64 ms = clock.elapsed();
        phone.adb->clearCommand(QStringLiteral("install"));
        return result == JobResult::Cancelled ? ms : -1;
    });
}

void BM_AdbCancel(benchmark::State& state)
{
    SimPhone& phone = usbPhone();
    measure(state, "a hung adb cancelled after 200 ms, from its start", 5000, [&] {
        return untilAHungListingStops(phone, [](const QElapsedTimer& clock) {
            AdbHelper([&clock] { return clock.elapsed() > 200; }).run({QStringLiteral("devices")});
        });
    });
}

void BM_MonitorShutdown(benchmark::State& state)
{
    SimPhone& phone = usbPhone();
    measure(state, "the USB monitor shutting down while its adb listing hangs", 3000, [&] {
        phone.adb->setDevices({});
        auto monitor = std::make_unique<AndroidMonitor>();
        monitor->setPollInterval(50);
        monitor->start();
        // The listing under way as the hang is set may read it already: the
        // stand-in says when one hangs.
        const qsizetype hangs = phone.adb->hangs().size();
        phone.adb->setHang(QStringLiteral("devices"), kForeverMs);
        waitUntil([&] { return phone.adb->hangs().size() > hangs; }); // in the hung listing
        QElapsedTimer clock;
        clock.start();
        monitor.reset();
        const qint64 ms = clock.elapsed();
        phone.adb->clearCommand(QStringLiteral("devices"));
        return ms;
    });
}

void BM_SimulatorStop(benchmark::State& state)
{
    measure(state, "the simulator stopping with a stalled session", 2000, [] {
        SimPhone phone(QStringLiteral("127.0.151.7"));
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("device-info"), 2));
        RecordingJobReport report;
        AndroidConnectWithWiFiThread job(phone.device.host, &report);
        job.start();
        waitUntil([&] { return !phone.sim->connections(QStringLiteral("service")).isEmpty(); });
        QElapsedTimer clock;
        clock.start();
        phone.sim->stop();
        const qint64 ms = clock.elapsed();
        report.cancel();
        job.wait();
        return ms;
    });
}

// ---------------------------------------------------------------- time limits

void BM_LineLimit(benchmark::State& state)
{
    measure(state, "a line wait of 300 ms on a silent peer", 2000, [] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!client.waitForConnected(kForeverMs) || !server.waitForNewConnection(kForeverMs))
            return qint64(-1);
        QElapsedTimer clock;
        clock.start();
        try {
            simpleprotocol::readCommand(&client, 300);
        } catch (const simpleprotocol::SocketDataTransferException&) {
            return clock.elapsed();
        }
        return qint64(-1);
    });
}

void BM_ListingLimit(benchmark::State& state)
{
    SimPhone phone(QStringLiteral("127.0.151.8"), filesFixture());
    phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("files"), 2, {}, 0, -1));
    measure(state, "a listing's wait of 800 ms between lines on a stalled phone", 3000, [&] {
        AndroidLoadFileSys fs(&phone.device);
        fs.setLineTimeoutMs(800);
        QElapsedTimer clock;
        clock.start();
        try {
            qDeleteAll(fs.listFolder(QStringLiteral("/")));
        } catch (const simpleprotocol::SocketDataTransferException&) {
            return clock.elapsed();
        }
        return qint64(-1);
    });
    phone.sim->releaseStalls();
}

void BM_AdbLimit(benchmark::State& state)
{
    SimPhone& phone = usbPhone();
    measure(state, "adb that hangs past its limit of 300 ms", 5000, [&] {
        return untilAHungListingStops(
            phone, [](const QElapsedTimer&) { AdbHelper().run({QStringLiteral("devices")}, false, 300); });
    });
}

void BM_StoppedAgentLimit(benchmark::State& state)
{
    SimPhone& phone = usbPhone();
    measure(state, "a USB connection of 600 ms to a stopped Phone Agent", 8000, [&] {
        phone.adb->setDevices({phonesim::FakeAdb::Device(phone.device.serial, QStringLiteral("device"), 20, 21,
                                                         phone.sim->bridgeAddress())});
        phone.sim->setAgentRunning(false);
        const QString url = QStringLiteral("backup://127.0.0.1:%1/device-info").arg(freePort());
        QElapsedTimer clock;
        clock.start();
        bool gaveUp = false;
        try {
            delete phone.device.connect(url, 600);
        } catch (const std::runtime_error&) {
            gaveUp = true;
        }
        const qint64 ms = clock.elapsed();
        phone.sim->setAgentRunning(true);
        return gaveUp ? ms : -1;
    });
}

// ---------------------------------------------------------------- large input

void BM_HugeMessageBox(benchmark::State& state)
{
    measure(state, "a message box with 2 MB of text, opened and closed", 5000, [] {
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &closer, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Ok)->click();
        });
        closer.start(5);
        QElapsedTimer clock;
        clock.start();
        showWarning(QString(2 * 1024 * 1024, QLatin1Char('x')));
        return clock.elapsed();
    });
}

void BM_LargeFolder(benchmark::State& state)
{
    SimPhone phone(QStringLiteral("127.0.151.9"), filesFixture());
    ItemModelMain tree;
    _AndroidDeviceItemNode* node = tree.addAndroidDevice(phone.device);
    measure(state, "a phone folder of 3,004 entries expanded on the file-system page", 5000, [&] {
        FileSysMainForm page(node, tree.devicesRoot());
        const QModelIndex big = rowNamed(*page.fileModel(), QStringLiteral("big"));
        QElapsedTimer clock;
        clock.start();
        page.treeView()->expand(big);
        const qint64 ms = clock.elapsed();
        return page.fileModel()->rowCount(big) == 3004 ? ms : -1;
    });
}

BENCHMARK(BM_ProgressCancelSeen)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListingCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageListingCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UploadCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CallsLoadCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThumbnailStop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WifiConnectCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UsbConnectCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AdbCancel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MonitorShutdown)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SimulatorStop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LineLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListingLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AdbLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StoppedAgentLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HugeMessageBox)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LargeFolder)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QApplication app(argc, argv);
    simpleprotocol::setLocalPortProvider(freePort);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_usb.reset();
    return g_failed ? 1 : 0;
}
