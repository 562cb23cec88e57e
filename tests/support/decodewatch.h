// Which threads decode pictures from a phone or a file while a watch lives
// (pictures::setDecodeObserver), for the tests that show the window's
// thread never decodes, and that a hostile picture is refused by its
// header before any decode.
#pragma once

#include "pictures/picturereader.h"

#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace testsupport {

class DecodeWatch {
public:
    DecodeWatch()
    {
        reset();
        pictures::setDecodeObserver(&record);
    }
    ~DecodeWatch() { pictures::setDecodeObserver(nullptr); }
    DecodeWatch(const DecodeWatch&) = delete;
    DecodeWatch& operator=(const DecodeWatch&) = delete;

    // Decodes begun since the watch was made.
    static int count()
    {
        const QMutexLocker lock(&state().mutex);
        return int(state().threads.size());
    }
    // Starts counting from none again.
    static void reset()
    {
        const QMutexLocker lock(&state().mutex);
        state().threads.clear();
    }
    // How many of them ran on the window's (the application's) thread.
    static int onWindowThread()
    {
        const QMutexLocker lock(&state().mutex);
        return int(state().threads.count(QCoreApplication::instance()->thread()));
    }

private:
    struct State {
        QMutex mutex;
        QList<QThread*> threads;
    };
    static State& state()
    {
        static State s;
        return s;
    }
    static void record()
    {
        const QMutexLocker lock(&state().mutex);
        state().threads << QThread::currentThread();
    }
};

} // namespace testsupport
