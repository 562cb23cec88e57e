// One connection to a Phone Agent service, opened and ended the same way by
// every job, loader and download.
//
// open() asks the descriptor for the service ("backup://" to read from the
// phone, "restore://" to write to it, on a fresh local port) and sets the
// options every exchange wants. The session owns the socket, which lives on
// the thread that opened it, and ends it one of three ways:
// - close(): after the last word of a finished exchange (the caller sends
//   "$bye:"), the connection is closed in order;
// - fail(): after a failure or a cancel, the connection is dropped without a
//   word and the Phone Agent is force-stopped (over USB; nothing on Wi-Fi),
//   also when no connection was made: the attempt may have started it;
// - drop(): dropped without a word; the Phone Agent keeps running.
// A session that goes out of scope while an exception passes through it (a
// failure, or the thrown cancel) ends with fail(), or with drop() when it
// was made with KeepAgent; at any other time with close().
#pragma once

#include <QString>

#include <memory>

class AndroidDeviceInfo;
class QTcpSocket;

class PhoneSession {
public:
    // Every opening allows the Phone Agent this long.
    static constexpr int kConnectTimeoutMs = 10000;

    enum class Scheme { Backup, Restore };
    // What a failure does to the Phone Agent besides dropping the connection.
    enum class OnFailure { StopAgent, KeepAgent };

    // Nothing is opened yet. The device is not owned and must outlive the
    // session.
    explicit PhoneSession(const AndroidDeviceInfo& device, OnFailure onFailure = OnFailure::StopAgent);
    ~PhoneSession();
    PhoneSession(const PhoneSession&) = delete;
    PhoneSession& operator=(const PhoneSession&) = delete;

    // Opens "<scheme>://127.0.0.1:<port>/<service>" (a connection still held
    // is dropped first) and returns the socket, on which "$ready:" has been
    // read. Throws what AndroidDeviceInfo::connect throws; nothing is held
    // then.
    QTcpSocket* open(Scheme scheme, const QString& service);
    // The open connection; null before open() and after it ended.
    QTcpSocket* socket() const { return m_socket.get(); }
    bool isOpen() const { return m_socket != nullptr; }

    void close();
    void fail();
    void drop();

private:
    const AndroidDeviceInfo& m_device;
    OnFailure m_onFailure;
    int m_exceptionsAtStart;
    std::unique_ptr<QTcpSocket> m_socket;
};
