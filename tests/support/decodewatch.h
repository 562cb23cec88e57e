// Which threads decode pictures from a phone or a file while a watch lives
// (pictures::setDecodeObserver): the window's thread never should, and a
// hostile picture is refused by its header before any decode.
#pragma once

#include "pictures/picturereader.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>

namespace testsupport {

class DecodeWatch {
public:
    DecodeWatch()
    {
        const QMutexLocker lock(&mutex());
        threads().clear();
        pictures::setDecodeObserver([] {
            const QMutexLocker lock(&mutex());
            threads() << QThread::currentThread();
        });
    }
    ~DecodeWatch() { pictures::setDecodeObserver(nullptr); }
    DecodeWatch(const DecodeWatch&) = delete;
    DecodeWatch& operator=(const DecodeWatch&) = delete;

    // Decodes begun since the watch was made, and those on the window's thread.
    static int count() { return int(snapshot().size()); }
    static int onWindowThread() { return int(snapshot().count(QCoreApplication::instance()->thread())); }

private:
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QList<QThread*>& threads()
    {
        static QList<QThread*> t;
        return t;
    }
    static QList<QThread*> snapshot()
    {
        const QMutexLocker lock(&mutex());
        return threads();
    }
};

} // namespace testsupport
