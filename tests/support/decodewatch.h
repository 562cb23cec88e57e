// The decodes of a phone's or a file's pictures as the picture reader's
// decode observers see them: how many began, how many on the window's
// (the application's) thread, which never should decode, and how many
// ended stopped (their stop reached them: a cancel heard while one
// decodes); a hostile picture
// is refused by its header before any decode. While the gate is closed, a
// decode on a worker waits at it as it begins, so that a test sees what
// shows before (one on the window's thread is only counted: it must not
// hold the window); an action given to watch() runs as each decode begins
// (a Cancel pressed then).
#pragma once

#include "pictures/picturereader.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <functional>

namespace decodewatch {

struct Decodes {
    std::atomic_int began {0};
    std::atomic_int onWindowThread {0};
    std::atomic_int stopped {0};
    std::atomic_bool closed {false};
    QSemaphore gate;
    std::function<void()> onBegin;
};

inline Decodes& decodes()
{
    static Decodes d;
    return d;
}

// Counts from zero from now on, with the gate closed when asked.
inline Decodes& watch(bool closeGate = false, std::function<void()> onBegin = {})
{
    Decodes& d = decodes();
    pictures::setDecodeObserver(nullptr);
    pictures::setDecodeEndObserver(nullptr);
    d.began = 0;
    d.onWindowThread = 0;
    d.stopped = 0;
    d.gate.acquire(d.gate.available());
    d.closed = closeGate;
    d.onBegin = std::move(onBegin);
    pictures::setDecodeObserver([] {
        Decodes& w = decodes();
        ++w.began;
        if (w.onBegin)
            w.onBegin();
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++w.onWindowThread;
        else if (w.closed)
            w.gate.tryAcquire(1, testsupport::kHangGuardMs);
    });
    pictures::setDecodeEndObserver([](bool stopped) {
        if (stopped)
            ++decodes().stopped;
    });
    return d;
}

// Lets every decode waiting at the gate, and those to come, go on.
inline void open()
{
    decodes().closed = false;
    decodes().gate.release(1000);
}

// The observer off.
inline void unwatch()
{
    pictures::setDecodeObserver(nullptr);
    pictures::setDecodeEndObserver(nullptr);
    open();
}

} // namespace decodewatch

namespace testsupport {

// A watch with no gate for as long as it lives.
class DecodeWatch {
public:
    DecodeWatch() { decodewatch::watch(); }
    ~DecodeWatch() { decodewatch::unwatch(); }
    DecodeWatch(const DecodeWatch&) = delete;
    DecodeWatch& operator=(const DecodeWatch&) = delete;

    // Decodes begun since the watch was made, and those on the window's
    // thread.
    static int count() { return decodewatch::decodes().began; }
    static int onWindowThread() { return decodewatch::decodes().onWindowThread; }
};

} // namespace testsupport
