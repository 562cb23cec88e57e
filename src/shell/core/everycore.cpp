#include "shell/core/everycore.h"

#include <QSemaphore>
#include <QThreadPool>

namespace {

// How long the caller's thread waits for an item before it asks for a
// cancel again.
constexpr int kCancelSliceMs = 20;

} // namespace

namespace everycore {

void run(int count, const std::function<void(int, const std::atomic_bool&)>& work,
         const std::function<void()>& checkCanceled, const std::function<void(int, int)>& progress)
{
    if (count <= 0)
        return;
    std::atomic_bool stop = false;
    QSemaphore done;
    QThreadPool pool;
    for (int i = 0; i < count; ++i) {
        pool.start([i, &work, &stop, &done] {
            if (!stop)
                work(i, stop);
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
            checkCanceled();
        }
    } catch (...) {
        stop = true;
        pool.waitForDone();
        throw;
    }
}

} // namespace everycore
