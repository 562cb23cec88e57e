#include "phonesim.h"

#include "dataservices.h"
#include "restoreservices.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <future>
#include <utility>

namespace phonesim {

namespace {

constexpr int kSliceMs = 50;
// A service connection waiting for the PC looks again this often, so that a
// reader waiting for the simulator to settle waits this long at most.
constexpr int kReadSliceMs = 10;
// Bytes written before they are sent on without waiting for a read.
constexpr qint64 kWriteRun = 64 * 1024;
constexpr qint64 kMaxLine = 64ll * 1024 * 1024;
constexpr qint64 kMaxControlLine = 64 * 1024;

// A server that hands out socket descriptors, so that each connection can be
// served by a socket made on its own thread.
class DescriptorServer : public QTcpServer {
public:
    QList<qintptr> pending;

protected:
    void incomingConnection(qintptr descriptor) override { pending.append(descriptor); }
};

// Waits for one connection in short slices; -1 when none came.
qintptr acceptOne(DescriptorServer& server, int timeoutMs, const std::function<bool()>& stop)
{
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    while (server.pending.isEmpty()) {
        if (stop() || deadline.hasExpired())
            return -1;
        server.waitForNewConnection(kSliceMs);
    }
    return server.pending.takeFirst();
}

void writeAndFlush(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    const QDeadlineTimer deadline(5000);
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired() && socket.state() == QAbstractSocket::ConnectedState)
        socket.waitForBytesWritten(kSliceMs);
}

void closeGently(QTcpSocket& socket)
{
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
}

} // namespace

bool parseServiceUrl(const QString& url, int* port, QString* service)
{
    static const QRegularExpression re(
        QStringLiteral("\\A(backup|restore)://127\\.0\\.0\\.1:([0-9]{1,5})/([A-Za-z0-9_\\-]+)\\z"));
    const QRegularExpressionMatch m = re.match(url);
    if (!m.hasMatch())
        return false;
    const int p = m.captured(2).toInt();
    if (p < 1 || p > 65535)
        return false;
    if (port)
        *port = p;
    if (service)
        *service = m.captured(3);
    return true;
}

// ---------------------------------------------------------------- Session

Session::Session(PhoneSim* sim, QTcpSocket* socket, int logId, const QString& url, const QString& service)
    : m_sim(sim)
    , m_socket(socket)
    , m_logId(logId)
    , m_url(url)
    , m_service(service)
    , m_releasesAtOpen(sim->stallReleases())
{
}

int Session::port() const
{
    int p = 0;
    parseServiceUrl(m_url, &p, nullptr);
    return p;
}

const Fixture& Session::fixture() const
{
    return m_sim->fixture();
}

FileStore& Session::files() const
{
    return m_sim->files();
}

ContactBook& Session::contactBook() const
{
    return m_sim->contactBook();
}

MediaStore& Session::media() const
{
    return m_sim->media();
}

void Session::recordOut(const QByteArray& line)
{
    m_sim->logOut(m_logId, line);
}

void Session::writeRaw(const QByteArray& bytes)
{
    // Lines are sent in runs, as an agent writing through a buffered stream
    // does: everything goes out before the simulator reads, stalls or ends.
    // Short pieces are joined into one write (the socket would send each
    // piece it holds in a segment of its own); a large block goes as it is.
    if (bytes.size() < kWriteRun) {
        m_run += bytes;
        if (m_run.size() < kWriteRun)
            return;
    } else {
        handOver();
        if (m_socket->write(bytes) < 0)
            throw SessionEnd("closed by peer");
    }
    handOver();
    if (m_socket->bytesToWrite() >= kWriteRun)
        flushOut();
}

void Session::handOver()
{
    if (m_run.isEmpty())
        return;
    const QByteArray run = std::exchange(m_run, QByteArray());
    if (m_socket->write(run) < 0)
        throw SessionEnd("closed by peer");
}

void Session::flushOut()
{
    handOver();
    const QDeadlineTimer deadline(m_sim->options().idleTimeoutMs);
    while (m_socket->bytesToWrite() > 0) {
        if (m_sim->stopping())
            throw SessionEnd("simulator stopped");
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            throw SessionEnd("closed by peer");
        if (deadline.hasExpired())
            throw SessionEnd("write timed out");
        m_socket->waitForBytesWritten(kSliceMs);
    }
}

bool Session::applyFault(bool isBlock, const QByteArray& bytes)
{
    for (const Fault& f : std::as_const(m_faults)) {
        const bool blockFault = f.kind == Fault::Kind::BlockSizeAt || f.kind == Fault::Kind::EofMidBlock;
        if (blockFault ? !(isBlock && m_step >= f.step) : m_step != f.step)
            continue;
        switch (f.kind) {
        case Fault::Kind::RefuseControl:
            continue;
        case Fault::Kind::ErrorAt: {
            const QByteArray line = "$error:" + codec::text(QString::fromUtf8(f.text));
            recordOut(line);
            writeRaw(line + '\n');
            flushOut();
            throw SessionEnd("fault: error at step " + std::to_string(m_step));
        }
        case Fault::Kind::WrongLineAt:
            recordOut(f.text);
            writeRaw(f.text + '\n');
            return true;
        case Fault::Kind::DropLineAt:
            return true;
        case Fault::Kind::LineBeforeAt:
            if (isBlock)
                continue;
            recordOut(f.text);
            recordOut(bytes);
            writeRaw(f.text + '\n' + bytes + '\n');
            return true;
        case Fault::Kind::CloseAt:
            if (!f.text.isEmpty())
                writeRaw(f.text);
            flushOut();
            throw SessionEnd("fault: close at step " + std::to_string(m_step));
        case Fault::Kind::StallAt:
            flushOut();
            m_sim->logReadsNoMore(m_logId);
            while (!m_sim->stopping() && m_sim->stallReleases() == m_releasesAtOpen)
                QThread::msleep(kSliceMs);
            throw SessionEnd("fault: stall at step " + std::to_string(m_step));
        case Fault::Kind::OversizedLineAt: {
            recordOut("<line of " + QByteArray::number(f.size) + " bytes>");
            const QByteArray chunk(1024 * 1024, 'A');
            for (qint64 left = f.size; left > 0; left -= chunk.size())
                writeRaw(left >= chunk.size() ? chunk : chunk.left(int(left)));
            writeRaw("\n");
            return true;
        }
        case Fault::Kind::BlockSizeAt: {
            const QByteArray line = "$block:" + QByteArray::number(f.size);
            recordOut(line);
            writeRaw(line + '\n');
            return true;
        }
        case Fault::Kind::EofMidBlock: {
            const QByteArray line = "$block:" + QByteArray::number(bytes.size());
            recordOut(line);
            writeRaw(line + '\n' + bytes.left(int(f.size > 0 ? f.size : bytes.size() / 2)));
            flushOut();
            throw SessionEnd("fault: end of stream in a block at step " + std::to_string(m_step));
        }
        }
    }
    return false;
}

void Session::sendLine(const QByteArray& line)
{
    ++m_step;
    if (applyFault(false, line))
        return;
    recordOut(line);
    writeRaw(line + '\n');
}

void Session::sendBlock(const QByteArray& bytes)
{
    ++m_step;
    if (!applyFault(true, bytes)) {
        const QByteArray line = "$block:" + QByteArray::number(bytes.size());
        recordOut(line);
        // The line goes out with the bytes (a large block is not copied).
        writeRaw(line + '\n');
        writeRaw(bytes);
    }
    expectLine(".");
}

void Session::sendError(const QString& text)
{
    const QByteArray line = "$error:" + codec::text(text);
    recordOut(line);
    writeRaw(line + '\n');
}

void Session::waitReadable()
{
    flushOut();
    const QDeadlineTimer deadline(m_sim->options().idleTimeoutMs);
    while (m_socket->bytesAvailable() == 0) {
        if (m_sim->stopping())
            throw SessionEnd("simulator stopped");
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            throw SessionEnd("closed by peer");
        if (deadline.hasExpired())
            throw SessionEnd("idle timeout");
        const quint64 epoch = m_sim->settleEpoch();
        if (!m_socket->waitForReadyRead(kReadSliceMs) && m_socket->bytesAvailable() == 0
            && m_socket->state() == QAbstractSocket::ConnectedState)
            m_sim->logQuiet(m_logId, epoch);
    }
}

QByteArray Session::readLine()
{
    QByteArray line;
    while (!line.endsWith('\n')) {
        const QByteArray piece = m_socket->readLine(64 * 1024);
        if (piece.isEmpty()) {
            waitReadable();
            continue;
        }
        line += piece;
        if (line.size() > kMaxLine)
            throw SessionEnd("line from the PC too long");
    }
    m_sim->logIn(m_logId, line, nullptr);
    line.chop(1);
    m_sim->logIn(m_logId, QByteArray(), &line);
    QByteArray clean = line;
    clean.replace('\r', QByteArray());
    if (clean.startsWith("$error:"))
        throw SessionEnd("PC error: " + codec::untext(clean.mid(7)).toStdString());
    return line;
}

QByteArray Session::expectLine(const QByteArray& prefix)
{
    const QByteArray line = readLine();
    if (!line.startsWith(prefix))
        throw SessionEnd("expected " + prefix.toStdString() + ", got " + line.left(200).toStdString());
    return line;
}

QByteArray Session::readBytes(qint64 n)
{
    QByteArray out(n, Qt::Uninitialized);
    readInto(out.data(), n);
    return out;
}

void Session::readInto(char* buffer, qint64 n)
{
    for (qint64 got = 0; got < n;) {
        const qint64 piece = m_socket->read(buffer + got, n - got);
        if (piece < 0)
            throw SessionEnd("closed by peer");
        if (piece == 0)
            waitReadable();
        got += piece;
    }
    m_sim->logIn(m_logId, QByteArray::fromRawData(buffer, n), nullptr);
}

QByteArray Session::readBlock(const QByteArray& blockLine)
{
    bool ok = false;
    const qint64 n = blockLine.mid(7).toLongLong(&ok);
    if (!blockLine.startsWith("$block:") || !ok || n < 0 || n > kMaxLine)
        throw SessionEnd("bad block line " + blockLine.left(100).toStdString());
    const QByteArray bytes = readBytes(n);
    recordOut(".");
    writeRaw(".\n");
    return bytes;
}

// ---------------------------------------------------------------- PhoneSim

struct PhoneSim::Listener {
    QHostAddress address;
    quint16 port = 0;
    std::function<void(qintptr)> onConnection;
};

struct PhoneSim::Threads {
    QMutex mutex;
    QList<QThread*> running;
};

PhoneSim::PhoneSim(const Fixture& fixture)
    : PhoneSim(fixture, Options())
{
}

PhoneSim::PhoneSim(const Fixture& fixture, const Options& options)
    : m_fixture(fixture)
    , m_contactBook(fixture.contacts())
    , m_options(options)
    , m_files(std::make_unique<FileStore>(fixture.section(QStringLiteral("files")).toObject()))
    , m_media(std::make_unique<MediaStore>(fixture.section(QStringLiteral("media")).toObject()))
    , m_threads(std::make_unique<Threads>())
{
    registerService(QStringLiteral("device-info"), [](Session& s) {
        s.sendLine("$hello:" + helloPayload(s.fixture().deviceInfo()));
        s.expectLine("$bye:");
    });
    registerDataServices(*this);
    // Tests that inspect what the phone received register their own store.
    registerRestoreServices(*this);
}

PhoneSim::~PhoneSim()
{
    stop();
}

void PhoneSim::spawn(std::function<void()> work)
{
    QThread* t = QThread::create(std::move(work));
    QMutexLocker lock(&m_threads->mutex);
    m_threads->running.append(t);
    t->start();
}

bool PhoneSim::start(QString* error)
{
    if (m_started.exchange(true))
        return true;
    m_stopping = false;
    struct Plan {
        QHostAddress address;
        quint16 port;
        quint16* out;
        std::function<void(qintptr)> handler;
    };
    QList<Plan> plans;
    if (m_options.wifi)
        plans.append(
            {m_options.address, m_options.controlPort, &m_controlPort, [this](qintptr d) { handleControl(d); }});
    plans.append({m_options.usbAddress, m_options.bridgePort, &m_bridgePort, [this](qintptr d) { handleBridge(d); }});
    for (const Plan& plan : plans) {
        auto bound = std::make_shared<std::promise<QString>>();
        std::future<QString> result = bound->get_future();
        spawn([this, plan, bound] {
            DescriptorServer server;
            if (!server.listen(plan.address, plan.port)) {
                bound->set_value(QStringLiteral("can not listen on %1:%2: %3")
                                     .arg(plan.address.toString())
                                     .arg(plan.port)
                                     .arg(server.errorString()));
                return;
            }
            *plan.out = server.serverPort();
            bound->set_value(QString());
            while (!stopping()) {
                const qintptr d = acceptOne(server, 200, [this] { return stopping(); });
                if (d >= 0)
                    spawn([this, d, h = plan.handler] { h(d); });
            }
        });
        const QString failure = result.get();
        if (!failure.isEmpty()) {
            if (error)
                *error = failure;
            stop();
            return false;
        }
    }
    return true;
}

void PhoneSim::stop()
{
    m_stopping = true;
    for (;;) {
        QList<QThread*> threads;
        {
            QMutexLocker lock(&m_threads->mutex);
            threads.swap(m_threads->running);
        }
        if (threads.isEmpty())
            break;
        for (QThread* t : threads) {
            t->wait();
            delete t;
        }
    }
    m_started = false;
}

QString PhoneSim::bridgeAddress() const
{
    return QStringLiteral("%1:%2").arg(m_options.usbAddress.toString()).arg(m_bridgePort);
}

void PhoneSim::registerService(const QString& name, ServiceHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_services.insert(name, std::move(handler));
}

ServiceHandler PhoneSim::serviceHandler(const QString& name) const
{
    QMutexLocker lock(&m_mutex);
    return m_services.value(name);
}

void PhoneSim::addFault(const Fault& fault)
{
    QMutexLocker lock(&m_mutex);
    m_faults.append(fault);
}

void PhoneSim::clearFaults()
{
    QMutexLocker lock(&m_mutex);
    m_faults.clear();
}

void PhoneSim::releaseStalls()
{
    ++m_stallReleases;
}

QList<Fault> PhoneSim::claimFaults(const QString& url, const QString& service)
{
    QMutexLocker lock(&m_mutex);
    QList<Fault> claimed;
    const QString directed = url.section(QLatin1Char(':'), 0, 0) + QLatin1Char(':') + service;
    for (auto it = m_faults.begin(); it != m_faults.end();) {
        if (it->kind != Fault::Kind::RefuseControl
            && (it->service.isEmpty() || it->service == service || it->service == directed)) {
            if (it->skip > 0) {
                --it->skip;
                ++it;
                continue;
            }
            claimed.append(*it);
            if (it->times > 0 && --it->times == 0) {
                it = m_faults.erase(it);
                continue;
            }
        }
        ++it;
    }
    return claimed;
}

std::optional<Fault> PhoneSim::claimControlFault(const QString& service)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->kind == Fault::Kind::RefuseControl && (it->service.isEmpty() || it->service == service)) {
            const Fault f = *it;
            if (it->times > 0 && --it->times == 0)
                m_faults.erase(it);
            return f;
        }
    }
    return std::nullopt;
}

QByteArray PhoneSim::readRequestLine(QTcpSocket& socket, int log, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!socket.canReadLine()) {
        if (stopping() || deadline.hasExpired() || socket.bytesAvailable() > kMaxControlLine)
            return {};
        const quint64 epoch = settleEpoch();
        if (socket.waitForReadyRead(kReadSliceMs) || socket.canReadLine())
            continue;
        if (socket.state() != QAbstractSocket::ConnectedState)
            return {};
        // A PC that has yet to send its request may be waiting for these
        // records itself (a test's cancel check does).
        logQuiet(log, epoch);
    }
    QByteArray line = socket.readLine();
    line.chop(1);
    logReadsNoMore(log);
    return line;
}

void PhoneSim::handleControl(qintptr descriptor)
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(descriptor))
        return;
    const int log = newLog(QStringLiteral("control"), QString(), QString());
    const QByteArray raw = readRequestLine(socket, log, m_options.idleTimeoutMs);
    if (raw.isEmpty()) {
        logEnd(log, QStringLiteral("no request"));
        return;
    }
    logIn(log, raw + '\n', &raw);
    QByteArray request = raw;
    request.replace('\r', QByteArray());
    const QString url = QString::fromUtf8(request);
    QString service;
    QString refusal;
    {
        QMutexLocker lock(&m_mutex);
        m_logs[log - 1].url = url;
    }
    if (!parseServiceUrl(url, nullptr, &service)) {
        refusal = QStringLiteral("invalid url %1").arg(url);
    } else {
        {
            QMutexLocker lock(&m_mutex);
            m_logs[log - 1].service = service;
            if (!m_services.contains(service))
                refusal = QStringLiteral("unknown service %1").arg(service);
        }
        if (refusal.isEmpty()) {
            if (const std::optional<Fault> f = claimControlFault(service))
                refusal = QString::fromUtf8(f->text);
        }
        if (refusal.isEmpty() && !openService(m_options.address, url, &refusal) && refusal.isEmpty())
            refusal = QStringLiteral("can not open %1").arg(url);
    }
    const QByteArray reply = refusal.isEmpty() ? QByteArray("1") : "0" + codec::text(refusal);
    logOut(log, reply);
    writeAndFlush(socket, reply + '\n');
    closeGently(socket);
    logEnd(log, refusal.isEmpty() ? QStringLiteral("accepted") : QStringLiteral("refused: ") + refusal);
}

void PhoneSim::handleBridge(qintptr descriptor)
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(descriptor))
        return;
    const int log = newLog(QStringLiteral("bridge"), QString(), QString());
    const QByteArray line = readRequestLine(socket, log, 5000);
    logIn(log, line + '\n', &line);
    const QStringList parts = QString::fromUtf8(line).split(QLatin1Char('\t'));
    {
        QMutexLocker lock(&m_mutex);
        m_bridgeCommands.append(parts.join(QLatin1Char(' ')));
    }
    QByteArray reply = "ok";
    const QString verb = parts.value(0);
    if (verb == QLatin1String("broadcast")) {
        const QString url = parts.value(2);
        QString service;
        QString failure;
        // A stopped agent gets no broadcasts; the sender cannot tell.
        if (m_running && parseServiceUrl(url, nullptr, &service)) {
            bool known = false;
            {
                QMutexLocker lock(&m_mutex);
                known = m_services.contains(service);
                m_logs[log - 1].url = url;
                m_logs[log - 1].service = service;
            }
            if (known && !openService(m_options.usbAddress, url, &failure))
                reply = "error " + failure.toUtf8();
        }
    } else if (verb == QLatin1String("force-stop")) {
        m_running = false;
    } else if (verb == QLatin1String("start")) {
        m_running = true;
    } else {
        reply = "error unknown command";
    }
    logOut(log, reply);
    writeAndFlush(socket, reply + '\n');
    closeGently(socket);
    logEnd(log, QString::fromUtf8(reply));
}

bool PhoneSim::openService(const QHostAddress& address, const QString& url, QString* error)
{
    int port = 0;
    QString service;
    if (!parseServiceUrl(url, &port, &service)) {
        *error = QStringLiteral("invalid url %1").arg(url);
        return false;
    }
    auto bound = std::make_shared<std::promise<QString>>();
    std::future<QString> result = bound->get_future();
    spawn([this, address, port, url, service, bound] {
        DescriptorServer server;
        if (!server.listen(address, quint16(port))) {
            bound->set_value(QStringLiteral("port %1 busy: %2").arg(port).arg(server.errorString()));
            return;
        }
        bound->set_value(QString());
        const qintptr d = acceptOne(server, m_options.acceptTimeoutMs, [this] { return stopping(); });
        server.close();
        if (d < 0)
            return;
        QTcpSocket socket;
        if (!socket.setSocketDescriptor(d))
            return;
        // Lines go out one by one; without this each waits for the PC's
        // delayed acknowledgement.
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const int log = newLog(QStringLiteral("service"), url, service);
        ServiceHandler handler;
        {
            QMutexLocker lock(&m_mutex);
            handler = m_services.value(service);
        }
        Session session(this, &socket, log, url, service);
        session.m_faults = claimFaults(url, service);
        QString note = QStringLiteral("done");
        try {
            session.sendLine("$ready:");
            if (handler)
                handler(session);
        } catch (const SessionEnd& e) {
            note = QString::fromStdString(e.what());
        } catch (const std::exception& e) {
            note = QStringLiteral("handler failed: ") + QString::fromStdString(e.what());
        }
        try {
            session.flushOut();
        } catch (const SessionEnd&) {
        }
        // Take what the PC still sends (its "$error:" after a fault) into the log.
        if (note != QLatin1String("done")) {
            socket.waitForReadyRead(100);
            const QByteArray rest = socket.readAll();
            if (!rest.isEmpty())
                logIn(log, rest, nullptr);
            for (const QByteArray& l : rest.split('\n'))
                if (!l.isEmpty())
                    logIn(log, QByteArray(), &l);
            socket.abort();
        } else {
            logReadsNoMore(log);
            closeGently(socket);
        }
        logEnd(log, note);
    });
    const QString failure = result.get();
    if (!failure.isEmpty()) {
        *error = failure;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- records

int PhoneSim::newLog(const QString& kind, const QString& url, const QString& service)
{
    QMutexLocker lock(&m_mutex);
    ConnectionLog l;
    l.id = int(m_logs.size()) + 1;
    l.kind = kind;
    l.url = url;
    l.service = service;
    m_logs.append(l);
    m_quiet.append(Quiet());
    m_changed.wakeAll();
    return l.id;
}

void PhoneSim::logIn(int id, const QByteArray& bytes, const QByteArray* line)
{
    QMutexLocker lock(&m_mutex);
    ConnectionLog& l = m_logs[id - 1];
    if (m_options.keepLines) {
        l.bytesIn += bytes.left(std::max<qint64>(0, ConnectionLog::kMaxBytesIn - l.bytesIn.size()));
        if (line)
            l.linesIn.append(*line);
    }
    m_changed.wakeAll();
}

void PhoneSim::logOut(int id, const QByteArray& line)
{
    QMutexLocker lock(&m_mutex);
    if (m_options.keepLines)
        m_logs[id - 1].linesOut.append(line);
}

void PhoneSim::logEnd(int id, const QString& note)
{
    QMutexLocker lock(&m_mutex);
    m_logs[id - 1].finished = true;
    m_logs[id - 1].note = note;
    m_changed.wakeAll();
}

quint64 PhoneSim::settleEpoch() const
{
    QMutexLocker lock(&m_mutex);
    return m_settleEpoch;
}

void PhoneSim::logQuiet(int id, quint64 epoch)
{
    QMutexLocker lock(&m_mutex);
    m_quiet[id - 1].since = epoch;
    m_changed.wakeAll();
}

void PhoneSim::logReadsNoMore(int id)
{
    QMutexLocker lock(&m_mutex);
    m_quiet[id - 1].readsNoMore = true;
    m_changed.wakeAll();
}

bool PhoneSim::waitSettled(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    // A slice that began before this call may have missed what the PC sent
    // just before it; only one begun after it tells.
    const quint64 ticket = ++m_settleEpoch;
    const auto settled = [&](int i) {
        const Quiet& q = m_quiet.at(i);
        return m_logs.at(i).finished || q.readsNoMore || q.since >= ticket;
    };
    for (;;) {
        int i = 0;
        while (i < m_logs.size() && settled(i))
            ++i;
        if (i == m_logs.size())
            return true;
        if (!m_changed.wait(&m_mutex, deadline)) {
            qWarning("phone-sim: connection %d (%s) did not settle within %d ms", i + 1,
                     qUtf8Printable(m_logs.at(i).url), timeoutMs);
            return false;
        }
    }
}

QList<ConnectionLog> PhoneSim::connections() const
{
    waitSettled();
    QMutexLocker lock(&m_mutex);
    return m_logs;
}

QList<ConnectionLog> PhoneSim::connections(const QString& kind) const
{
    QList<ConnectionLog> out;
    for (const ConnectionLog& l : connections())
        if (l.kind == kind)
            out.append(l);
    return out;
}

QList<QByteArray> PhoneSim::linesReceived(const QString& service) const
{
    QList<QByteArray> out;
    for (const ConnectionLog& l : connections(QStringLiteral("service")))
        if (l.service == service)
            out += l.linesIn;
    return out;
}

bool PhoneSim::waitFinished(const QString& kind, int n, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    for (;;) {
        int done = 0;
        for (const ConnectionLog& l : m_logs)
            if (l.kind == kind && l.finished)
                ++done;
        if (done >= n)
            return true;
        if (!m_changed.wait(&m_mutex, deadline))
            return false;
    }
}

QStringList PhoneSim::bridgeCommands() const
{
    QMutexLocker lock(&m_mutex);
    return m_bridgeCommands;
}

} // namespace phonesim
