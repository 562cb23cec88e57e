#include "shell/core/everycore.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSemaphore>
#include <QThreadPool>

#include <exception>
#include <new>
#include <stdexcept>

namespace {

// How long the caller's thread waits for an item before it asks for a
// cancel again.
constexpr int kCancelSliceMs = 20;

// The first failure of the items, kept for the caller's thread.
class FirstFailure {
public:
    void keep(std::exception_ptr failure)
    {
        const QMutexLocker lock(&m_mutex);
        if (!m_failure)
            m_failure = std::move(failure);
    }
    // Throws the kept failure, if any, on the calling thread.
    void rethrow()
    {
        std::exception_ptr failure;
        {
            const QMutexLocker lock(&m_mutex);
            failure = m_failure;
        }
        if (!failure)
            return;
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            // What the user reads of it.
            throw std::runtime_error(
                QCoreApplication::translate("everycore", "Not enough memory to finish the work.").toStdString());
        }
    }

private:
    QMutex m_mutex;
    std::exception_ptr m_failure;
};

} // namespace

namespace everycore {

void run(int count, const std::function<void(int, const std::atomic_bool&)>& work,
         const std::function<void()>& checkCanceled, const std::function<void(int, int)>& progress)
{
    if (count <= 0)
        return;
    std::atomic_bool stop = false;
    FirstFailure failure;
    QSemaphore done;
    QThreadPool pool;
    for (int i = 0; i < count; ++i) {
        pool.start([i, &work, &stop, &done, &failure] {
            // An exception must not leave a pool thread (it would end the
            // program): the first one stops the run and reaches the caller.
            try {
                if (!stop)
                    work(i, stop);
            } catch (...) {
                failure.keep(std::current_exception());
                stop = true;
            }
            done.release();
        });
    }
    try {
        for (int finished = 0; finished < count;) {
            if (done.tryAcquire(1, kCancelSliceMs)) {
                ++finished;
                if (progress)
                    progress(finished, count);
            }
            if (stop)
                failure.rethrow();
            checkCanceled();
        }
    } catch (...) {
        stop = true;
        pool.waitForDone();
        throw;
    }
}

} // namespace everycore
