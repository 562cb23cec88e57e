// Proves that the test run kept to its private folders: this test's data
// root lies in its sandbox, and the real user's data root was neither
// created nor written to while the tests ran. CTest runs it after every
// other test of the run (see sandbox.cmake).
#include "shell/core/dataroot.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <unistd.h>

namespace {

// When the test run began: the start of the ctest process above us, else of
// our parent (the sandbox script); read from /proc.
QDateTime runStart()
{
    QFile procStat(QStringLiteral("/proc/stat"));
    qint64 boot = 0;
    if (procStat.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : procStat.readAll().split('\n'))
            if (line.startsWith("btime "))
                boot = line.mid(6).trimmed().toLongLong();
    }
    const long hz = sysconf(_SC_CLK_TCK);
    QDateTime first;
    qint64 pid = getppid();
    for (int depth = 0; depth < 8 && pid > 1 && boot > 0 && hz > 0; ++depth) {
        QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
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

class TestSandbox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dataRootLiesInTheSandbox()
    {
        const QString sandbox = qEnvironmentVariable("APP_TEST_SANDBOX");
        QVERIFY2(!sandbox.isEmpty(), "tests must run through tests/run-test.sh");
        QCOMPARE(QDir::homePath(), QDir(sandbox).absoluteFilePath(QStringLiteral("home")));
        const QString root = getDataDir().absolutePath();
        QVERIFY2(root.startsWith(QDir(sandbox).absolutePath() + QLatin1Char('/')), qPrintable(root));
        QVERIFY(getLocalDatabasesDir().absolutePath().startsWith(root));
    }

    void realDataRootUntouchedByTheRun()
    {
        const QString realHome = qEnvironmentVariable("APP_REAL_HOME");
        if (realHome.isEmpty())
            QSKIP("APP_REAL_HOME is not set");
        const QString realRoot = QDir(realHome).absoluteFilePath(QStringLiteral(".local/share/")
            + QLatin1String(dataroot::kMakerName) + QLatin1Char('/') + QLatin1String(dataroot::kProductId));
        QVERIFY(realRoot != getDataDir().absolutePath());
        const QFileInfo rootInfo(realRoot);
        if (!rootInfo.exists())
            return; // nothing was created there

        // A data root of the user's own: nothing in it may be newer than the run.
        const QDateTime start = runStart().addSecs(-1);
        QVERIFY2(latestTime(rootInfo) < start, qPrintable(realRoot + QStringLiteral(" changed during the test run")));
        QDirIterator it(realRoot, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        int seen = 0;
        while (it.hasNext() && seen++ < 20000) {
            const QFileInfo fi = it.nextFileInfo();
            QVERIFY2(
                latestTime(fi) < start, qPrintable(fi.absoluteFilePath() + QStringLiteral(" written by the test run")));
        }
    }
};

QTEST_GUILESS_MAIN(TestSandbox)
#include "test_sandbox.moc"
