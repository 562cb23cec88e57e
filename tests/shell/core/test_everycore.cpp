// Work spread over every core: an item that throws ends the run for the
// caller, not the program.
#include "shell/core/everycore.h"

#include <QSemaphore>
#include <QThreadPool>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <new>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Answers every look-up in the catalogue with "[context] text", so that a
// test sees which texts are looked up there, and how.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override
    {
        return u"[%1] %2"_s.arg(QString::fromUtf8(context), QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};

// Whether a .ts file of the sources' catalogue holds text in context.
bool catalogueHolds(const QString& context, const QString& text)
{
    QDirIterator it(qEnvironmentVariable("APP_SOURCE_DIR") + u"/src/resources/i18n"_s, {u"*.ts"_s}, QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QXmlStreamReader xml(&file);
        QString inContext;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == "name"_L1)
                inContext = xml.readElementText();
            else if (xml.name() == "source"_L1 && inContext == context && xml.readElementText() == text)
                return true;
        }
    }
    return false;
}

} // namespace

class TestEveryCore : public QObject {
    Q_OBJECT

    MarkingTranslator m_translator;

private slots:
    void initTestCase() { QCoreApplication::installTranslator(&m_translator); }
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
    if (outOfMemory) {
        // The text the user reads is the catalogue's, which holds it.
        const QRegularExpressionMatch mark = QRegularExpression(u"^\\[(.+)\\] (.+)$"_s).match(caught);
        QVERIFY2(mark.hasMatch(), qPrintable(caught));
        QCOMPARE(mark.captured(2), error);
        QVERIFY2(catalogueHolds(mark.captured(1), error), qPrintable(mark.captured(1)));
    } else {
        QCOMPARE(caught, error);
    }
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
