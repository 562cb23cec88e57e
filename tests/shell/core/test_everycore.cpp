// Work spread over every core: an item that throws ends the run for the
// caller, not the program.
#include "shell/core/everycore.h"

#include <QSemaphore>
#include <QThreadPool>
#include <QtTest>

#include <new>
#include <stdexcept>

class TestEveryCore : public QObject {
    Q_OBJECT

private slots:
    void anItemThatThrows_stopsTheRun_andReachesTheCaller_data();
    void anItemThatThrows_stopsTheRun_andReachesTheCaller();
};

void TestEveryCore::anItemThatThrows_stopsTheRun_andReachesTheCaller_data()
{
    QTest::addColumn<bool>("outOfMemory");
    QTest::addColumn<QString>("error");
    QTest::newRow("out of memory") << true << QStringLiteral("Not enough memory to finish the work.");
    QTest::newRow("an error of its own") << false << QStringLiteral("item 0 failed");
}

void TestEveryCore::anItemThatThrows_stopsTheRun_andReachesTheCaller()
{
    QFETCH(bool, outOfMemory);
    QFETCH(QString, error);
    constexpr int kItems = 1000;
    const int threads = QThreadPool().maxThreadCount();
    // Item 0, the first to begin, throws once every item under way has
    // begun (one a thread); those hear the stop, and no other item begins.
    QSemaphore begun;
    std::atomic_int ran = 0;
    std::atomic_int sawStop = 0;
    QString caught;
    try {
        everycore::run(
            kItems,
            [&](int i, const std::atomic_bool& stop) {
                ++ran;
                if (i == 0) {
                    begun.tryAcquire(qMin(threads, kItems) - 1, 60000); // a hang guard
                    if (outOfMemory)
                        throw std::bad_alloc();
                    throw std::runtime_error("item 0 failed");
                }
                if (i < threads)
                    begun.release();
                // Until the stop, as a long decode would (a hang guard ends it).
                QDeadlineTimer hangGuard(60000);
                while (!stop && !hangGuard.hasExpired())
                    QThread::yieldCurrentThread();
                if (stop)
                    ++sawStop;
            },
            [] {});
    } catch (const std::exception& e) {
        caught = QString::fromUtf8(e.what());
    }
    QCOMPARE(caught, error);
    QCOMPARE(sawStop.load(), ran.load() - 1);
    QVERIFY2(ran < kItems, qPrintable(QString::number(ran)));
    QVERIFY2(ran <= threads, qPrintable(QStringLiteral("%1 items ran on %2 threads").arg(ran).arg(threads)));

    // The program goes on, and so does the next run.
    std::atomic_int next = 0;
    everycore::run(
        10, [&next](int, const std::atomic_bool&) { ++next; }, [] {});
    QCOMPARE(next.load(), 10);
}

QTEST_GUILESS_MAIN(TestEveryCore)
#include "test_everycore.moc"
