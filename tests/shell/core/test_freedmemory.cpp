// The allocator as the application sets it up at start: a job's thread that
// freed its peak keeps little of it by itself, also after large blocks came
// and went (which, left to the allocator, raise how much it keeps).
#include "shell/core/freedmemory.h"

#include "testsupport.h"

#include <QtTest>

#include <cstdlib>
#include <thread>
#include <vector>

namespace {

void* touched(size_t bytes)
{
    auto* block = static_cast<volatile char*>(std::malloc(bytes));
    for (size_t at = 0; at < bytes; at += 4096)
        block[at] = 1;
    return const_cast<char*>(block);
}

} // namespace

class TestFreedMemory : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { freedmemory::keepLittle(); }

    void aThreadsFreedPeak_goesBackByItself()
    {
        const double before = testsupport::residentMb();
        std::thread job([] {
            // A large block comes and goes first.
            std::free(touched(24 * 1024 * 1024));
            // Then 40 MiB in blocks of 64 KiB, freed from the last, so that
            // they end up as the free end of the thread's heap.
            std::vector<void*> blocks;
            blocks.reserve(640);
            for (int i = 0; i < 640; ++i)
                blocks.push_back(touched(64 * 1024));
            for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
                std::free(*it);
        });
        job.join();
        const double after = testsupport::residentMb();
        QVERIFY2(after < before + 12,
                 qPrintable(QStringLiteral("resident %1 MB, %2 MB before").arg(after).arg(before)));
    }
};

QTEST_GUILESS_MAIN(TestFreedMemory)
#include "test_freedmemory.moc"
