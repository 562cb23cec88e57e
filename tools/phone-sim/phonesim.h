// A simulated phone running the Phone Agent, for tests and for running the
// application by hand without a phone.
//
// It listens on the Wi-Fi control port (48889 by default) of its own address
// (each test may take another 127.0.0.x), and on a bridge port where the
// adb stand-in (tools/fake-adb) hands over "am broadcast" URLs and
// force-stops, which opens the same services on 127.0.0.1 for the USB road.
// Each service connection runs its handler on a thread of its own with a
// blocking Session; a new service is one registerService() call.
//
// Everything received is recorded per connection, and faults can be injected
// by step: step 1 is the "$ready:" line, every further line or block the
// simulator sends is the next step.
#pragma once

#include "contactbook.h"
#include "filestore.h"
#include "fixture.h"
#include "mediastore.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class QTcpSocket;

namespace phonesim {

struct Fault {
    enum class Kind {
        RefuseControl, // control port answers "0" + Base64(text)
        ErrorAt, // "$error:" + Base64(text) instead of step k, then close
        WrongLineAt, // text instead of step k's line, then go on
        CloseAt, // text (may be a partial line) instead of step k, then close
        StallAt, // nothing more from step k on; hold the connection
        OversizedLineAt, // a line of size bytes instead of step k, then go on
        BlockSizeAt, // a block at step k announces size instead, sends no bytes
        EofMidBlock, // a block at step k sends size bytes (half when 0), then close
        DropLineAt, // nothing instead of step k's line, then go on
        LineBeforeAt, // text as a line of its own, then step k's line
    };
    Fault(Kind kind = Kind::ErrorAt, const QString& service = QString(), int step = 1, const QByteArray& text = {},
          qint64 size = 0, int times = 1)
        : kind(kind)
        , service(service)
        , step(step)
        , text(text)
        , size(size)
        , times(times)
    {
    }

    Kind kind;
    // Empty: any service; "restore:<name>" or "backup:<name>": that
    // service's sessions in that direction only.
    QString service;
    int step;
    QByteArray text;
    qint64 size;
    int times; // sessions it applies to; -1 for all
    int skip = 0; // sessions of its service it leaves alone first
};

// What one connection brought. kind is "control", "bridge" or "service".
struct ConnectionLog {
    int id = 0;
    QString kind;
    QString url; // the service URL (service connections and control)
    QString service; // the service name
    // Bytes kept of what came in (a large upload is not kept whole).
    static constexpr qint64 kMaxBytesIn = 16 * 1024 * 1024;

    QList<QByteArray> linesIn; // every line received, raw (CR kept, no LF)
    QByteArray bytesIn; // the first kMaxBytesIn bytes received, lines and blocks
    QList<QByteArray> linesOut; // every line sent (no LF); blocks as "$block:n"
    bool finished = false;
    QString note; // how it ended: "done", "closed by peer", "fault: ...", an error
};

class SessionEnd : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PhoneSim;

// One service connection, as a blocking stream. Reads and writes throw
// SessionEnd when the PC closed, sent "$error:", or the simulator stops.
class Session {
public:
    Session(PhoneSim* sim, QTcpSocket* socket, int logId, const QString& url, const QString& service);

    QString url() const { return m_url; }
    QString service() const { return m_service; }
    int port() const;
    bool isRestore() const { return m_url.startsWith(QLatin1String("restore://")); }
    const Fixture& fixture() const;
    // The phone's files, shared by every session of the simulator.
    FileStore& files() const;
    // The phone's address book (the "contacts" service's both sides).
    ContactBook& contactBook() const;
    // The phone's media collections, shared likewise.
    MediaStore& media() const;

    // Sends one line (LF added), subject to the injected faults. Lines go
    // out in runs: at the latest before the session reads, stalls or ends.
    void sendLine(const QByteArray& line);
    // Sends "$block:n" and the bytes, then waits for the PC's ".".
    void sendBlock(const QByteArray& bytes);
    void sendError(const QString& text);
    // One line without its LF (CR kept). "$error:" from the PC ends the session.
    QByteArray readLine();
    // Reads a line and checks its prefix; SessionEnd otherwise.
    QByteArray expectLine(const QByteArray& prefix);
    QByteArray readBytes(qint64 n);
    // Reads exactly n bytes into buffer.
    void readInto(char* buffer, qint64 n);
    // Receives one "$block:" (its line already read) and answers ".".
    QByteArray readBlock(const QByteArray& blockLine);

private:
    friend class PhoneSim;
    void writeRaw(const QByteArray& bytes);
    // Hands the joined short writes to the socket.
    void handOver();
    // Sends everything written so far.
    void flushOut();
    void waitReadable();
    bool applyFault(bool isBlock, const QByteArray& bytes);
    void recordOut(const QByteArray& line);

    PhoneSim* m_sim;
    QTcpSocket* m_socket;
    QByteArray m_run; // short writes not yet handed to the socket
    int m_logId;
    QString m_url;
    QString m_service;
    quint64 m_releasesAtOpen; // PhoneSim::stallReleases() as the session opened
    int m_step = 0;
    QList<Fault> m_faults; // the faults claimed for this session
};

using ServiceHandler = std::function<void(Session&)>;

class PhoneSim {
public:
    struct Options {
        QHostAddress address = QHostAddress(QStringLiteral("127.0.0.1")); // Wi-Fi side
        quint16 controlPort = 48889; // 0: any free port
        QHostAddress usbAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        quint16 bridgePort = 0; // adb bridge; 0: any free port
        bool wifi = true; // listen on the control port
        int acceptTimeoutMs = 15000; // a service port waits this long for the PC
        int idleTimeoutMs = 30000; // a read waits this long for the PC
        // Keep every line and byte of the services in connections(); off for
        // long benchmark runs, whose data would fill the memory.
        bool keepLines = true;
    };

    explicit PhoneSim(const Fixture& fixture);
    PhoneSim(const Fixture& fixture, const Options& options);
    ~PhoneSim();
    PhoneSim(const PhoneSim&) = delete;
    PhoneSim& operator=(const PhoneSim&) = delete;

    // Binds the control and bridge ports; false with *error set on failure.
    bool start(QString* error = nullptr);
    // Closes everything and joins every thread; a stall ends here too.
    void stop();

    quint16 controlPort() const { return m_controlPort; }
    quint16 bridgePort() const { return m_bridgePort; }
    // "127.0.0.1:<bridgePort>", for FAKE_ADB state files.
    QString bridgeAddress() const;
    const Options& options() const { return m_options; }
    const Fixture& fixture() const { return m_fixture; }
    // The phone's files: the fixture's "files" tree, as changed since.
    FileStore& files() const { return *m_files; }
    // What the phone's contacts are now: the fixture's, then what restores
    // made of them.
    ContactBook& contactBook() { return m_contactBook; }
    // The phone's media: the fixture's "media" section, as restored since.
    MediaStore& media() const { return *m_media; }

    void registerService(const QString& name, ServiceHandler handler);
    // The handler registered under name (empty when none), for wrapping it.
    ServiceHandler serviceHandler(const QString& name) const;
    void addFault(const Fault& fault);
    void clearFaults();
    // Lets the sessions opened so far go past their StallAt fault, held now or
    // reached later, and close; a session opened after this stalls again.
    void releaseStalls();

    // The Phone Agent's run state on the USB side: broadcasts reach a stopped
    // agent not at all (as after "am force-stop"); "am start" runs it again.
    bool agentRunning() const { return m_running.load(); }
    void setAgentRunning(bool on) { m_running = on; }

    // How long a reader below waits for the simulator to settle at most:
    // a guard against a session that never does, far above any wait for one
    // that does.
    static constexpr int kSettleTimeoutMs = 60000;
    // Waits until the simulator has taken in everything the PC sent so far:
    // each connection has ended, is held by a StallAt fault, has read all it
    // reads (a service connection that ended its session, a control or
    // bridge connection that has its request) and only closes, or has waited
    // for the PC through a whole read slice that began after this call.
    // False when timeoutMs passed first. A PC that ended
    // its exchange has sent its last lines ("$bye:", "$error:") unanswered:
    // only this tells that the simulator has read them.
    bool waitSettled(int timeoutMs = kSettleTimeoutMs) const;

    // The records, once the simulator settled (waitSettled), so that they
    // hold everything the PC sent before the call.
    QList<ConnectionLog> connections() const;
    QList<ConnectionLog> connections(const QString& kind) const;
    // Every line received on the named service's connections, in order.
    QList<QByteArray> linesReceived(const QString& service) const;
    // Waits until n connections of that kind have finished (or the time is up).
    bool waitFinished(const QString& kind, int n, int timeoutMs) const;
    // Every bridge command received ("broadcast <serial> <url>", ...).
    QStringList bridgeCommands() const;

private:
    friend class Session;
    struct Listener;

    void acceptLoop(Listener* l);
    void spawn(std::function<void()> work);
    void handleControl(qintptr descriptor);
    // Reads the one request line of a control or bridge connection; empty
    // on failure. A slice that gets nothing counts as quiet (logQuiet), and
    // once the line is in the connection reads nothing more.
    QByteArray readRequestLine(QTcpSocket& socket, int log, int timeoutMs);
    void handleBridge(qintptr descriptor);
    // Listens on address:port for one service connection; false with *error.
    bool openService(const QHostAddress& address, const QString& url, QString* error);
    void runService(std::shared_ptr<void> server, QString url, QString service);
    QList<Fault> claimFaults(const QString& url, const QString& service);
    std::optional<Fault> claimControlFault(const QString& service);

    int newLog(const QString& kind, const QString& url, const QString& service);
    void logIn(int id, const QByteArray& bytes, const QByteArray* line);
    void logOut(int id, const QByteArray& line);
    void logEnd(int id, const QString& note);
    // The settle epoch, taken as a read slice begins.
    quint64 settleEpoch() const;
    // A read slice begun at epoch got nothing from the PC.
    void logQuiet(int id, quint64 epoch);
    // The connection reads nothing more: a StallAt fault holds it, or its
    // session ended and it only closes.
    void logReadsNoMore(int id);
    bool stopping() const { return m_stopping.load(); }
    // How often releaseStalls() was called.
    quint64 stallReleases() const { return m_stallReleases.load(); }

    Fixture m_fixture;
    ContactBook m_contactBook;
    Options m_options;
    std::unique_ptr<FileStore> m_files;
    std::unique_ptr<MediaStore> m_media;
    quint16 m_controlPort = 0;
    quint16 m_bridgePort = 0;
    std::atomic<bool> m_stopping {false};
    std::atomic<quint64> m_stallReleases {0};
    std::atomic<bool> m_running {true};
    std::atomic<bool> m_started {false};

    mutable QMutex m_mutex;
    mutable QWaitCondition m_changed;
    QMap<QString, ServiceHandler> m_services;
    QList<Fault> m_faults;
    QList<ConnectionLog> m_logs;
    // Per log (by id - 1): the epoch at the start of the latest read slice
    // that got nothing (0: none yet), and whether it reads nothing more.
    struct Quiet {
        quint64 since = 0;
        bool readsNoMore = false;
    };
    QList<Quiet> m_quiet;
    mutable quint64 m_settleEpoch = 1;
    QStringList m_bridgeCommands;
    QList<std::shared_ptr<Listener>> m_listeners;
    struct Threads;
    std::unique_ptr<Threads> m_threads;
};

// Splits "backup://127.0.0.1:<port>/<service>" (or restore://); false when the
// URL is not of that form.
bool parseServiceUrl(const QString& url, int* port, QString* service);

} // namespace phonesim
