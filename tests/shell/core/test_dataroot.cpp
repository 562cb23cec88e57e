#include "shell/core/dataroot.h"
#include "testsupport.h"

#include <QtTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kId = QLatin1String(dataroot::kProductId);

QString redirectFile()
{
    return getMakerDataDir() + QLatin1Char('/') + kId + u".redirect"_s;
}

// When the test run began: the start of the ctest process above us, else of
// our parent (the sandbox script); read from /proc.
QDateTime runStart()
{
    QFile procStat(u"/proc/stat"_s);
    const QString procText = procStat.open(QIODevice::ReadOnly) ? QString::fromLatin1(procStat.readAll()) : QString();
    const qint64 boot = QRegularExpression(u"btime (\\d+)"_s).match(procText).captured(1).toLongLong();
    const long hz = sysconf(_SC_CLK_TCK);
    QDateTime first;
    qint64 pid = getppid();
    for (int depth = 0; depth < 8 && pid > 1 && boot > 0 && hz > 0; ++depth) {
        QFile statFile(u"/proc/%1/stat"_s.arg(pid));
        if (!statFile.open(QIODevice::ReadOnly))
            break;
        const QByteArray stat = statFile.readAll();
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        // Fields after the name: state (3), ppid (4), ..., starttime (22).
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (open < 0 || close < 0 || fields.size() < 20)
            break;
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(boot * 1000 + fields.at(19).toLongLong() * 1000 / hz);
        if (!first.isValid())
            first = start;
        if (stat.mid(open + 1, close - open - 1) == "ctest")
            return start;
        pid = fields.at(1).toLongLong();
    }
    return first.isValid() ? first : QDateTime::currentDateTime().addSecs(-60);
}

QDateTime latestTime(const QFileInfo& fi)
{
    const QDateTime born = fi.birthTime();
    return born.isValid() && born > fi.lastModified() ? born : fi.lastModified();
}

} // namespace

class TestDataRoot : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QFile::remove(redirectFile()); }

    void dataRootIsCreatedInTheDataHome()
    {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY(dataHome.startsWith(testsupport::sandboxDir()));
        const QString expected = QDir(dataHome).absoluteFilePath(u"QuillHarbor/"_s + kId);
        QVERIFY(!QFileInfo::exists(expected));
        QCOMPARE(getDataDir().absolutePath(), expected);
        QCOMPARE(getLocalDatabasesDir().absolutePath(), expected + u"/local_databases"_s);
    }

    void redirectFileMovesTheDataRoot_data()
    {
        QTest::addColumn<QByteArray>("suffix"); // appended to the target path in the file
        QTest::addColumn<bool>("followed");
        QTest::newRow("exact path") << QByteArray() << true;
        QTest::newRow("zero byte ends the path") << QByteArray("\0garbage", 8) << true;
        QTest::newRow("trailing line break") << QByteArray("\n") << false;
        QTest::newRow("dangling target") << QByteArray("/missing") << false;
        QTest::newRow("empty file") << QByteArray("empty") << false;
    }
    void redirectFileMovesTheDataRoot()
    {
        QFETCH(QByteArray, suffix);
        QFETCH(bool, followed);
        const QString target = testsupport::makeTempDir(u"redirect Zoë"_s);
        QDir().mkpath(getMakerDataDir());
        QFile f(redirectFile());
        QVERIFY(f.open(QIODevice::WriteOnly)
                && f.write(suffix == "empty" ? QByteArray() : target.toUtf8() + suffix) >= 0);
        f.close();
        QCOMPARE(readRedirectDir(), followed ? target : QString());
        QCOMPARE(dataroot::resolveDataDir(),
                 followed ? QDir(target).absoluteFilePath(kId) : getMakerDataDir() + QLatin1Char('/') + kId);
    }

    // Runs after every other test of the run (RUN_LAST): the real
    // user's data root was neither created nor written to while they ran.
    void realDataRootUntouchedByTheRun()
    {
        const QString realHome = qEnvironmentVariable("APP_REAL_HOME");
        if (realHome.isEmpty())
            QSKIP("APP_REAL_HOME is not set");
        const QString realRoot
            = QDir(realHome).absoluteFilePath(u".local/share/"_s + QLatin1String(dataroot::kMakerName)
                                              + QLatin1Char('/') + QLatin1String(dataroot::kProductId));
        QVERIFY(realRoot != getDataDir().absolutePath());
        const QFileInfo rootInfo(realRoot);
        if (!rootInfo.exists())
            return; // nothing was created there

        // A data root of the user's own: nothing in it may be newer than the run.
        const QDateTime start = runStart().addSecs(-1);
        QVERIFY2(latestTime(rootInfo) < start, qPrintable(realRoot + u" changed during the test run"_s));
        QDirIterator it(realRoot, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        int seen = 0;
        while (it.hasNext() && seen++ < 20000) {
            const QFileInfo fi = it.nextFileInfo();
            QVERIFY2(latestTime(fi) < start, qPrintable(fi.absoluteFilePath() + u" written by the test run"_s));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataRoot)
#include "test_dataroot.moc"
