// A soak of the message and contact jobs against two simulated phones, for
// finding what memory a long session keeps. Not a benchmark: "make bench"
// does not run it (its name does not start with bench_).
//
// Phone A holds SOAK_MESSAGES (66000) messages in SOAK_CONVERSATIONS (1320)
// conversations, one in SOAK_PICTURE_EVERY (10) with a picture, and
// SOAK_CONTACTS (2000) contacts; phone B holds 500 messages and 100
// contacts of its own. Each phone is a child process (this program with
// --phone), so what is measured here is the application's side alone.
//
// One round runs what the messages and contacts pages run, each step a job
// as the page starts it:
//   load A       A's messages into its cache (AndroidLoadMessagesThread)
//   page A       A's cache store read as the messages page reads it; the
//                data set stays until the next round's page replaces it
//   load B       B's messages into its cache (the transfer's target)
//   transfer     all of A's messages to B (AndroidRestoreMessagesThread)
//   backup       all of A's messages into one backup folder (BackupMMSThread)
//   contacts A   A's contacts into its cache (AndroidLoadContactsThread)
//   contacts bk  A's contacts into the backup folder (BackupContactsThread)
//   contacts B   A's contacts to B (AndroidRestoreContactsThread)
// After each step it prints the resident set (VmRSS), what the allocator
// holds in use and free (mallinfo2, over all arenas), and the most that was
// in use during the step (sampled).
//
//   soak_two_phones [rounds]        (default 20: 160 steps)
//
// Environment:
//   SOAK_MESSAGES, SOAK_CONVERSATIONS, SOAK_PICTURE_EVERY, SOAK_CONTACTS
//                   phone A, as above
//   SOAK_GIVE_BACK=1  freed memory handled as the application handles it
//                   (freedmemory.h): the allocator set up as at start, and
//                   freed memory given back after each step as the main
//                   window does once modal work ends
//   SOAK_NET=n      the phones listen on 127.0.n.1 and 127.0.n.2 (93), so
//                   that soaks can run side by side
//   SOAK_ARENAS=1   at the end, each arena's size and free part, and the
//                   mappings that hold the most of the resident set
//   SOAK_PAUSE=n    waits 20 s before step n and prints the process id,
//                   to attach a heap profiler (heaptrack -p) to that step
//   SOAK_KEEP=1     keeps the data root and prints where it is
#include "jobs/androidrestorecontactsthread.h"
#include "jobs/androidrestoremessagesthread.h"
#include "jobs/backupmmsthread.h"
#include "jobs/backupthreads.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androidloadcontactsthread.h"
#include "phonelink/androidloadmessagesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/contactcombinerule.h"
#include "records/localcontactsdb.h"
#include "shell/core/freedmemory.h"
#include "shell/core/jobreport.h"

#include "benchsupport.h"
#include "dataservices.h"
#include "phonesim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using benchsupport::envInt;
using benchsupport::QuietReport;

double rssMb()
{
    return benchsupport::statusMb("VmRSS");
}

// ---- the phones ----------------------------------------------------------

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

// soak_two_phones --phone ADDRESS IMEI MESSAGES CONVERSATIONS CONTACTS PICTURE_EVERY
int runPhone(const QStringList& args)
{
    if (args.size() < 7)
        return 2;
    phonesim::Fixture fixture
        = phonesim::makeLargeFixture(args.at(3).toInt(), args.at(4).toInt(), args.at(5).toInt(), 0, args.at(6).toInt());
    QJsonObject root = fixture.root();
    QJsonObject device = root.value(QStringLiteral("device")).toObject();
    device.insert(QStringLiteral("imei"), args.at(2));
    device.insert(QStringLiteral("uid"), args.at(2));
    root.insert(QStringLiteral("device"), device);
    phonesim::PhoneSim::Options o;
    o.address = QHostAddress(args.at(1));
    o.idleTimeoutMs = 10 * 60 * 1000;
    o.acceptTimeoutMs = 60 * 1000;
    o.keepLines = false;
    phonesim::PhoneSim sim(phonesim::Fixture::fromJson(root), o);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "phone %s: %s\n", qPrintable(args.at(1)), qPrintable(error));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    if (::pipe(g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    const int rc = QCoreApplication::exec();
    sim.stop();
    return rc;
}

// A phone in a child process, stopped with the object.
class ChildPhone {
public:
    ChildPhone(const QString& address, const QString& imei, int messages, int conversations, int contacts,
               int pictureEvery)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A heap profiler that runs this program follows only this process.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("LD_PRELOAD"));
        env.remove(QStringLiteral("DUMP_HEAPTRACK_OUTPUT"));
        m_process.setProcessEnvironment(env);
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--phone"), address, imei, QString::number(messages),
                         QString::number(conversations), QString::number(contacts), QString::number(pictureEvery)});
        if (!m_process.waitForStarted(10000) || !m_process.waitForReadyRead(300000)
            || !m_process.readLine().startsWith("ready"))
            qFatal("phone %s did not start", qPrintable(address));
        device.isWiFi = true;
        device.host = address;
        device.port = PhoneAgentPackage::kWifiControlPort;
        device.imei = imei;
        device.uid = imei;
        device.mmc = QStringLiteral("262");
    }
    ~ChildPhone()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(10000);
    }
    ChildPhone(const ChildPhone&) = delete;
    ChildPhone& operator=(const ChildPhone&) = delete;

    AndroidDeviceInfo device;

private:
    QProcess m_process;
};

// ---- the session ---------------------------------------------------------

QSharedPointer<AbsContactCombineRule> newRule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

// Runs a job to its end; a failure stops the soak.
void runJob(QThread& job, const QuietReport& report, const char* step)
{
    job.start();
    job.wait();
    if (!report.error.isEmpty())
        qFatal("%s failed: %s", step, qPrintable(report.error));
}

double heapInUseMb()
{
    const struct mallinfo2 mi = mallinfo2();
    return double(mi.uordblks + mi.hblkhd) / 1048576.0;
}

// The most heap in use while it lives, sampled every 5 ms: what a step
// needed at its peak, which the allocator may keep afterwards.
class PeakSampler {
public:
    PeakSampler()
        : m_thread([this] {
            while (!m_stop.load()) {
                m_peak = std::max(m_peak.load(), heapInUseMb());
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        })
    {
    }
    ~PeakSampler() { stop(); }
    PeakSampler(const PeakSampler&) = delete;
    PeakSampler& operator=(const PeakSampler&) = delete;
    double stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return std::max(m_peak.load(), heapInUseMb());
    }

private:
    std::atomic<bool> m_stop {false};
    std::atomic<double> m_peak {0};
    std::thread m_thread;
};

// Per arena of the allocator: its size and what of it is free (from
// malloc_info), one line each.
void printArenas()
{
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    if (!f)
        return;
    malloc_info(0, f);
    std::fclose(f);
    const QString xml = QString::fromUtf8(text, qsizetype(size));
    std::free(text);
    // <heap nr="N"> ... <total type="rest" count=".." size="FREE"/> ... <system type="current" size="SIZE"/>
    static const QRegularExpression heap(QStringLiteral("<heap nr=\"(\\d+)\">(.*?)</heap>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression rest(QStringLiteral("<total type=\"rest\" count=\"\\d+\" size=\"(\\d+)\"/>"));
    static const QRegularExpression fast(QStringLiteral("<total type=\"fast\" count=\"\\d+\" size=\"(\\d+)\"/>"));
    static const QRegularExpression current(QStringLiteral("<system type=\"current\" size=\"(\\d+)\"/>"));
    std::printf("arena   size MB   free MB\n");
    for (auto it = heap.globalMatch(xml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString body = m.captured(2);
        const double sys = current.match(body).captured(1).toDouble() / 1048576.0;
        const double free
            = (rest.match(body).captured(1).toDouble() + fast.match(body).captured(1).toDouble()) / 1048576.0;
        if (sys >= 1)
            std::printf("%5s %9.1f %9.1f\n", qPrintable(m.captured(1)), sys, free);
    }
}

// The mappings that hold the most of the resident set (/proc/self/smaps).
void printMappings()
{
    QFile f(QStringLiteral("/proc/self/smaps"));
    if (!f.open(QIODevice::ReadOnly))
        return;
    struct Mapping {
        QByteArray what;
        double rssMb = 0;
    };
    QList<Mapping> all;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (!fields.isEmpty() && fields.first().contains('-') && !fields.first().endsWith(':'))
            all.append({fields.first() + ' ' + (fields.size() > 5 ? fields.at(5) : QByteArray("[anon]"))});
        else if (line.startsWith("Rss:") && !all.isEmpty())
            all.last().rssMb = fields.value(1).toDouble() / 1024.0;
    }
    std::sort(all.begin(), all.end(), [](const Mapping& x, const Mapping& y) { return x.rssMb > y.rssMb; });
    std::printf("largest mappings (RSS MB):\n");
    for (qsizetype i = 0; i < std::min<qsizetype>(12, all.size()); ++i)
        std::printf("%9.1f  %s\n", all.at(i).rssMb, all.at(i).what.constData());
}

// Time to attach a heap profiler before the step SOAK_PAUSE names.
constexpr int kPauseSeconds = 20;

// A phone's messages into its cache, as the messages page loads them.
QString loadMessages(AndroidDeviceInfo& device, const char* step)
{
    QuietReport r;
    AndroidLoadMessagesThread job(&device, &r);
    runJob(job, r, step);
    device.messagesLoadTime = QDateTime::currentDateTime();
    return r.result;
}

struct Step {
    const char* name;
    std::function<QString()> run; // the job's result text
};

int runSoak(int rounds)
{
    const bool giveBack = qEnvironmentVariableIntValue("SOAK_GIVE_BACK") == 1;
    const int pauseBefore = envInt("SOAK_PAUSE", 0);
    const int pictureEvery = envInt("SOAK_PICTURE_EVERY", 10);
    const int net = envInt("SOAK_NET", 93);
    ChildPhone a(QStringLiteral("127.0.%1.1").arg(net), QStringLiteral("356938035600091"),
                 envInt("SOAK_MESSAGES", 66000), envInt("SOAK_CONVERSATIONS", 1320), envInt("SOAK_CONTACTS", 2000),
                 pictureEvery);
    ChildPhone b(QStringLiteral("127.0.%1.2").arg(net), QStringLiteral("356938035600092"), 500, 10, 100, pictureEvery);
    QTemporaryDir backupRoot;
    const QDir backupFolder(backupRoot.path());

    // What the pages hold between their commands.
    MsgDataSetPtr pageSet;
    std::unique_ptr<IOS6MessageDb> pageStore;
    QList<pim::_Contact> contactsA;

    const QList<Step> steps {
        {"load A", [&] { return loadMessages(a.device, "load A"); }},
        {"page A",
         [&] {
             // As the messages page: a new page's data set replaces the old one.
             pageStore.reset();
             pageSet.reset();
             pageSet = newMsgDataSet();
             pageStore = std::make_unique<IOS6MessageDb>(a.device.cacheDir(), a.device.mmc, true);
             pageStore->loadChats(*pageSet);
             pageStore->loadMessages(*pageSet, 0);
             return QStringLiteral("%1 messages").arg(pageSet->messages.size());
         }},
        {"load B", [&] { return loadMessages(b.device, "load B"); }},
        {"transfer",
         [&] {
             QuietReport r;
             AndroidRestoreMessagesThread job(&b.device, getDataSetMessages(*pageSet), &r);
             runJob(job, r, "transfer");
             return r.result;
         }},
        {"backup",
         [&] {
             QuietReport r;
             BackupMMSThread job(backupFolder, a.device.mmc, getDataSetMessages(*pageSet), &r);
             runJob(job, r, "backup");
             return r.result;
         }},
        {"contacts A",
         [&] {
             // As the contacts page: the cache is loaded afresh.
             LocalContactsDb db(a.device.cacheDir().absoluteFilePath(QStringLiteral("contacts.db")), newRule());
             db.closeAndRemoveFile();
             QuietReport r;
             AndroidLoadContactsThread job(&db, &a.device, &r);
             runJob(job, r, "contacts A");
             contactsA = db.loadAll();
             return QStringLiteral("%1 contacts").arg(contactsA.size());
         }},
        {"contacts bk",
         [&] {
             LocalContactsDb db(backupFolder.absoluteFilePath(QStringLiteral("contacts.db")), newRule());
             QuietReport r;
             BackupContactsThread job(&db, contactsA, &r);
             runJob(job, r, "contacts backup");
             return r.result;
         }},
        {"contacts B",
         [&] {
             LocalContactsDb db(b.device.cacheDir().absoluteFilePath(QStringLiteral("contacts.db")), newRule());
             QuietReport r;
             if (b.device.contactsLoadTime.isNull()) {
                 db.closeAndRemoveFile();
                 AndroidLoadContactsThread load(&db, &b.device, &r);
                 runJob(load, r, "contacts B load");
                 b.device.contactsLoadTime = QDateTime::currentDateTime();
             }
             AndroidRestoreContactsThread job(&b.device, &contactsA, &db, &r);
             runJob(job, r, "contacts transfer");
             return r.result;
         }},
    };

    std::printf("%-5s %-12s %7s %8s %8s %8s %8s  %s\n", "step", "operation", "secs", "RSS MB", "used MB", "free MB",
                "peak MB", "result");
    QElapsedTimer total;
    total.start();
    double peak = 0;
    double lastRss = 0;
    double longestGiveBack = 0;
    int n = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const Step& step : steps) {
            if (n + 1 == pauseBefore) {
                std::printf("pid %lld: waiting %d s before step %d\n", qint64(::getpid()), kPauseSeconds, n + 1);
                std::fflush(stdout);
                std::this_thread::sleep_for(std::chrono::seconds(kPauseSeconds));
            }
            QElapsedTimer t;
            t.start();
            PeakSampler sampler;
            const QString result = step.run();
            const double stepPeak = sampler.stop();
            const double secs = t.nsecsElapsed() / 1e9;
            if (giveBack) {
                QElapsedTimer g;
                g.start();
                freedmemory::giveBack();
                longestGiveBack = std::max(longestGiveBack, g.nsecsElapsed() / 1e6);
            }
            const double rss = rssMb();
            const struct mallinfo2 mi = mallinfo2();
            peak = std::max(peak, rss);
            lastRss = rss;
            std::printf("%-5d %-12s %7.2f %8.1f %8.1f %8.1f %8.1f  %s\n", ++n, step.name, secs, rss,
                        double(mi.uordblks + mi.hblkhd) / 1048576.0, double(mi.fordblks) / 1048576.0, stepPeak,
                        qPrintable(result.left(60)));
            std::fflush(stdout);
        }
    }
    std::printf("%d steps in %.0f s; RSS at the end %.1f MB, highest after a step %.1f MB\n", n,
                total.nsecsElapsed() / 1e9, lastRss, peak);
    if (giveBack)
        std::printf("giving the freed memory back took %.1f ms at the most\n", longestGiveBack);
    if (qEnvironmentVariableIntValue("SOAK_ARENAS") == 1) {
        printArenas();
        printMappings();
    }
    if (qEnvironmentVariableIntValue("SOAK_KEEP") == 1)
        std::printf("data root: %s\n", qgetenv("XDG_DATA_HOME").constData());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--phone") == 0) {
        QCoreApplication app(argc, argv);
        return runPhone(QCoreApplication::arguments().mid(1));
    }
    // As the application starts.
    if (qEnvironmentVariableIntValue("SOAK_GIVE_BACK") == 1)
        freedmemory::keepLittle();
    // The caches go to a private data root, removed at the end.
    QTemporaryDir dataHome;
    dataHome.setAutoRemove(qEnvironmentVariableIntValue("SOAK_KEEP") != 1);
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    // The jobs' debug lines are no part of the figures.
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QCoreApplication app(argc, argv);
    simpleprotocol::setLocalPortProvider([] { return benchsupport::freePort(); });
    return runSoak(argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20);
}
