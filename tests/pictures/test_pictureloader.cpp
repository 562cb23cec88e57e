// Pictures made off the window's thread: each made once on a worker, told
// on the loader's thread, kept; a stop (the page going) reaches what is
// under way, drops what waits, and never makes the window wait.
#include "pictures/pictureloader.h"

#include "testsupport.h"

#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QImage square(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

// A make that waits at a gate until the test lets it go or it is stopped,
// and says on which thread it ran and whether it heard the stop.
struct Gate {
    QSemaphore entered;
    QSemaphore open;
    std::atomic_int runs {0};
    std::atomic_bool heardStop {false};
    QMutex mutex;
    QList<QThread*> threads;

    PictureLoader::Make make(int side)
    {
        return [this, side](const std::atomic_bool& stop) {
            ++runs;
            {
                QMutexLocker lock(&mutex);
                threads << QThread::currentThread();
            }
            entered.release();
            while (!open.tryAcquire(1, 5)) {
                if (stop) {
                    heardStop = true;
                    return QImage();
                }
            }
            return square(side);
        };
    }
};

} // namespace

class TestPictureLoader : public QObject {
    Q_OBJECT

private slots:
    void aPictureIsMadeOnceOnAWorkerAndToldOnTheLoadersThread()
    {
        PictureLoader loader;
        QSignalSpy ready(&loader, &PictureLoader::ready);
        auto gate = std::make_shared<Gate>();
        QVERIFY(!loader.picture(u"a"_s, gate->make(4)));
        QVERIFY(gate->entered.tryAcquire(1, testsupport::kHangGuardMs));
        // Asked again while under way: not made twice.
        QVERIFY(!loader.picture(u"a"_s, gate->make(4)));
        QCOMPARE(loader.pending(), 1);
        gate->open.release();
        QVERIFY(ready.wait(testsupport::kHangGuardMs));
        QCOMPARE(ready.first().first().toString(), u"a"_s);
        QCOMPARE(gate->runs.load(), 1);
        QCOMPARE(gate->threads.size(), 1);
        QVERIFY(gate->threads.first() != QThread::currentThread());
        const std::optional<QImage> made = loader.picture(u"a"_s, gate->make(4));
        QVERIFY(made);
        QCOMPARE(made->size(), QSize(4, 4));
        QCOMPARE(loader.pending(), 0);
        QCOMPARE(gate->runs.load(), 1);
    }

    void noPictureToShowIsKeptAsMadeAndAFailingMakeIsNoPicture()
    {
        PictureLoader loader;
        QSignalSpy ready(&loader, &PictureLoader::ready);
        loader.picture(u"none"_s, [](const std::atomic_bool&) { return QImage(); });
        loader.picture(u"throws"_s, [](const std::atomic_bool&) -> QImage { throw std::bad_alloc(); });
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 2, testsupport::kHangGuardMs);
        QVERIFY(loader.made(u"none"_s) && loader.made(u"none"_s)->isNull());
        QVERIFY(loader.made(u"throws"_s) && loader.made(u"throws"_s)->isNull());
    }

    void theLoaderGoingStopsWhatRunsWithoutWaitingAndTellsNothing()
    {
        auto gate = std::make_shared<Gate>();
        auto loader = std::make_unique<PictureLoader>();
        int told = 0;
        connect(loader.get(), &PictureLoader::ready, this, [&told] { ++told; });
        loader->picture(u"a"_s, gate->make(4));
        QVERIFY(gate->entered.tryAcquire(1, testsupport::kHangGuardMs));
        // The make is held at its gate: the loader goes without waiting.
        loader.reset();
        QTRY_VERIFY_WITH_TIMEOUT(gate->heardStop.load(), testsupport::kHangGuardMs);
        QCoreApplication::processEvents();
        QCOMPARE(told, 0);
    }

    void aStopDropsWhatWaitsAndKeepsWhatWasMade()
    {
        PictureLoader loader;
        QSignalSpy ready(&loader, &PictureLoader::ready);
        loader.picture(u"kept"_s, [](const std::atomic_bool&) { return square(2); });
        QVERIFY(ready.wait(testsupport::kHangGuardMs));

        // Every worker held, then one more asked for: it waits.
        auto gate = std::make_shared<Gate>();
        const int workers = qMax(2, QThread::idealThreadCount());
        for (int i = 0; i < workers; ++i)
            loader.picture(u"held%1"_s.arg(i), gate->make(4));
        for (int i = 0; i < workers; ++i)
            QVERIFY(gate->entered.tryAcquire(1, testsupport::kHangGuardMs));
        std::atomic_bool waitingRan {false};
        loader.picture(u"waiting"_s, [&waitingRan](const std::atomic_bool&) {
            waitingRan = true;
            return square(1);
        });
        loader.stopAll();
        QCOMPARE(loader.pending(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(gate->heardStop.load(), testsupport::kHangGuardMs);
        QTRY_COMPARE_WITH_TIMEOUT(gate->runs.load(), workers, testsupport::kHangGuardMs);
        QCoreApplication::processEvents();
        QVERIFY(!waitingRan);
        QVERIFY(!loader.made(u"held0"_s));
        QVERIFY(loader.made(u"kept"_s));
        // Asked for again after the stop, it is made.
        QVERIFY(!loader.picture(u"held0"_s, [](const std::atomic_bool&) { return square(3); }));
        QTRY_VERIFY_WITH_TIMEOUT(loader.made(u"held0"_s).has_value(), testsupport::kHangGuardMs);
        QCOMPARE(loader.made(u"held0"_s)->size(), QSize(3, 3));
    }
};

QTEST_GUILESS_MAIN(TestPictureLoader)
#include "test_pictureloader.moc"
