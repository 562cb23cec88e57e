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

// Start time of a process from /proc, or an invalid time.
QDateTime processStart(qint64 pid, qint64* parent, QString* name)
{
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!statFile.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = statFile.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    const qsizetype open = stat.indexOf('(');
    if (close < 0 || open < 0)
        return {};
    *name = QString::fromUtf8(stat.mid(open + 1, close - open - 1));
    // Fields after the name: state (3), ppid (4), ..., starttime (22).
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 20)
        return {};
    *parent = fields.at(1).toLongLong();
    const qint64 ticks = fields.at(19).toLongLong();

    QFile procStat(QStringLiteral("/proc/stat"));
    if (!procStat.open(QIODevice::ReadOnly))
        return {};
    qint64 boot = 0;
    for (const QByteArray& line : procStat.readAll().split('\n')) {
        if (line.startsWith("btime "))
            boot = line.mid(6).trimmed().toLongLong();
    }
    const long hz = sysconf(_SC_CLK_TCK);
    if (boot <= 0 || hz <= 0)
        return {};
    return QDateTime::fromMSecsSinceEpoch(boot * 1000 + ticks * 1000 / hz);
}

// When the test run began: the start of the ctest process above us, else
// of our parent (the sandbox script).
QDateTime runStart()
{
    qint64 pid = getppid();
    QDateTime fallback;
    for (int depth = 0; depth < 8 && pid > 1; ++depth) {
        qint64 parent = 0;
        QString name;
        const QDateTime start = processStart(pid, &parent, &name);
        if (!start.isValid())
            break;
        if (!fallback.isValid())
            fallback = start;
        if (name == QLatin1String("ctest"))
            return start;
        pid = parent;
    }
    return fallback.isValid() ? fallback : QDateTime::currentDateTime().addSecs(-60);
}

QDateTime latestTime(const QFileInfo& fi)
{
    QDateTime t = fi.lastModified();
    const QDateTime born = fi.birthTime();
    if (born.isValid() && born > t)
        t = born;
    return t;
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
