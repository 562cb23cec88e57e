#include "shell/core/dataroot.h"
#include "testsupport.h"

#include <QtTest>

#include <sys/resource.h>
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

// The tests the run's record (tests/run-test.sh) names as stopped since
// the given time for a data root outside their sandbox: "<program> <root>".
QStringList stoppedSince(const QString& record, const QDateTime& since)
{
    QFile file(record);
    QStringList stopped;
    if (!file.open(QIODevice::ReadOnly))
        return stopped;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.section(u' ', 0, 0).toLongLong() >= since.toSecsSinceEpoch())
            stopped << line.section(u' ', 1);
    }
    return stopped;
}

// Set in the child run of a program that writes the data root of the
// given home (see main).
constexpr char kWriterHomeEnv[] = "DATAROOT_TEST_WRITER_HOME";

// Starts this program as a writer of home's data root: as the test run's
// runner starts a test when asTest, else as another program of the user.
// Its exit code, or -1 when it crashed or did not end.
int runWriter(const QString& home, bool asTest, const QString& binaryDir)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kWriterHomeEnv), home);
    env.insert(u"APP_BINARY_DIR"_s, binaryDir);
    if (!asTest)
        env.remove(u"APP_TEST_SANDBOX"_s);
    child.setProcessEnvironment(env);
    if (asTest)
        child.start(qEnvironmentVariable("APP_SOURCE_DIR") + u"/tests/run-test.sh"_s,
                    {QCoreApplication::applicationFilePath()});
    else
        child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(testsupport::kHangGuardMs) || child.exitStatus() != QProcess::NormalExit)
        return -1;
    return child.exitCode();
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

    // A program of the user writes its data root while the tests run: the
    // run knows nothing of it. A test whose data root is that one is
    // stopped before it writes there, and the run records it, which fails
    // realDataRootUntouchedByTheRun.
    void aTestsWriteIsToldFromAnotherPrograms()
    {
        const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
        const QString home = testsupport::makeTempDir(u"home"_s);
        const QString binaryDir = testsupport::makeTempDir(u"build"_s);
        const QString record = binaryDir + u"/Testing/data-roots-outside-the-sandbox.log"_s;
        const QString root = home + u"/.local/share/QuillHarbor/"_s + kId;

        QCOMPARE(runWriter(home, false, binaryDir), 0);
        QCOMPARE(QDir(root).entryList(QDir::Files), QStringList {u"countries.db"_s});
        QCOMPARE(stoppedSince(record, start), QStringList());

        const QDateTime written = QFileInfo(root + u"/countries.db"_s).lastModified();
        QVERIFY(runWriter(home, true, binaryDir) != 0);
        QCOMPARE(stoppedSince(record, start), QStringList {u"test_dataroot "_s + root});
        QCOMPARE(QDir(root).entryList(QDir::Files), QStringList {u"countries.db"_s});
        QCOMPARE(QFileInfo(root + u"/countries.db"_s).lastModified(), written);
    }

    // Runs after every other test of the run (RUN_LAST): no test was stopped
    // for a data root outside its sandbox, the user's among them (see
    // getDataDir), and this one's is inside.
    void realDataRootUntouchedByTheRun()
    {
        QVERIFY(getDataDir().absolutePath().startsWith(testsupport::sandboxDir() + u'/'));
        const QStringList stopped = stoppedSince(qEnvironmentVariable("APP_TEST_ESCAPES"), runStart().addSecs(-1));
        QVERIFY2(stopped.isEmpty(),
                 qPrintable(u"stopped for a data root outside their sandbox:\n"_s + stopped.join(u'\n')));
    }
};

int main(int argc, char** argv)
{
    const QString writerHome = qEnvironmentVariable(kWriterHomeEnv);
    if (!writerHome.isEmpty()) {
        // Child run of aTestsWriteIsToldFromAnotherPrograms: writes the data
        // root of the given home, unless it is stopped (without a core file).
        struct rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
        qputenv("XDG_DATA_HOME", QFile::encodeName(writerHome + u"/.local/share"_s));
        QCoreApplication app(argc, argv);
        QFile file(getDataDir().filePath(QLatin1String(dataroot::kCountriesDb)));
        return file.open(QIODevice::WriteOnly) && file.write("written") > 0 ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    TestDataRoot test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_dataroot.moc"
