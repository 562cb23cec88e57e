#include "shell/core/dataroot.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kId = QLatin1String(dataroot::kProductId);

QString redirectFile()
{
    return getMakerDataDir() + QLatin1Char('/') + kId + QStringLiteral(".redirect");
}

void writeRedirect(const QByteArray& content)
{
    QDir().mkpath(QFileInfo(redirectFile()).absolutePath());
    QFile f(redirectFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// When the test run began: the start of the ctest process above us, else of
// our parent (the sandbox script); read from /proc.
QDateTime runStart()
{
    QFile procStat(QStringLiteral("/proc/stat"));
    const QString procText = procStat.open(QIODevice::ReadOnly) ? QString::fromLatin1(procStat.readAll()) : QString();
    const qint64 boot = QRegularExpression(QStringLiteral("btime (\\d+)")).match(procText).captured(1).toLongLong();
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

class TestDataRoot : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QFile::remove(redirectFile()); }

    void dataRootIsCreatedFixedAndRecreated()
    {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY(dataHome.startsWith(testsupport::sandboxDir()));
        const QString expected = QDir(dataHome).absoluteFilePath(QStringLiteral("QuillHarbor/") + kId);
        QVERIFY(!QFileInfo::exists(expected));
        QCOMPARE(getDataDir().absolutePath(), expected);
        QCOMPARE(getLocalDatabasesDir().absolutePath(), expected + QStringLiteral("/local_databases"));
        QVERIFY(QFileInfo(expected + QStringLiteral("/local_databases")).isDir());

        // A redirect written later does not move it; deleting it makes it again.
        const QString target = testsupport::makeTempDir(QStringLiteral("later-redirect"));
        writeRedirect(target.toUtf8());
        QVERIFY(QDir(expected).removeRecursively());
        QCOMPARE(getLocalDatabasesDir().absolutePath(), expected + QStringLiteral("/local_databases"));
        QVERIFY(QFileInfo(expected + QStringLiteral("/local_databases")).isDir());
        QVERIFY(!QFileInfo::exists(target + QLatin1Char('/') + kId));
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
        const QString target = testsupport::makeTempDir(QStringLiteral("redirect Zoë"));
        writeRedirect(suffix == "empty" ? QByteArray() : target.toUtf8() + suffix);
        QCOMPARE(readRedirectDir(), followed ? target : QString());
        QCOMPARE(dataroot::resolveDataDir(),
                 followed ? QDir(target).absoluteFilePath(kId) : getMakerDataDir() + QLatin1Char('/') + kId);
    }

    // Runs after every other test of the run (see dataroot.cmake): the real
    // user's data root was neither created nor written to while they ran.
    void realDataRootUntouchedByTheRun()
    {
        const QString realHome = qEnvironmentVariable("APP_REAL_HOME");
        if (realHome.isEmpty())
            QSKIP("APP_REAL_HOME is not set");
        const QString realRoot
            = QDir(realHome).absoluteFilePath(QStringLiteral(".local/share/") + QLatin1String(dataroot::kMakerName)
                                              + QLatin1Char('/') + QLatin1String(dataroot::kProductId));
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
            QVERIFY2(latestTime(fi) < start,
                     qPrintable(fi.absoluteFilePath() + QStringLiteral(" written by the test run")));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataRoot)
#include "test_dataroot.moc"
