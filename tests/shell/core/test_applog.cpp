#include "shell/core/applog.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>

namespace {

const char kFatalChildEnv[] = "APP_APPLOG_FATAL_DIR";

QStringList logLines(const QString& folder)
{
    QFile f(QDir(folder).filePath(applog::logFileName(QDate::currentDate())));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void touchLogs(const QString& dir, QDate first, int days)
{
    for (int day = 0; day < days; ++day) {
        QFile f(QDir(dir).filePath(applog::logFileName(first.addDays(day))));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
}

void verifyLines(const QStringList& lines, const QString& pattern)
{
    const QRegularExpression re(QStringLiteral("^\\(") + pattern + QStringLiteral("$"));
    for (const QString& line : lines)
        QVERIFY2(re.match(line).hasMatch(), qPrintable(line));
}

// Puts Qt's test handler back when a test that installed the log ends.
struct HandlerRestorer {
    QtMessageHandler previous;
    HandlerRestorer()
        : previous(qInstallMessageHandler(nullptr))
    {
        qInstallMessageHandler(previous);
    }
    ~HandlerRestorer() { qInstallMessageHandler(previous); }
};

} // namespace

class TestAppLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messagesAreAppendedToTheDaysFile()
    {
        HandlerRestorer restore;
        const QString dir = testsupport::makeTempDir(QStringLiteral("log")) + QStringLiteral("/data/qlogs");
        QVERIFY(QDir().mkpath(dir));
        touchLogs(dir, QDate(2024, 1, 1), 12);
        QVERIFY(QDir().mkdir(dir + QStringLiteral("/subfolder")));
        installLog(dir, 10); // keeps the newest 10 files
        const QStringList left = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 10);
        QCOMPARE(left.first(), QStringLiteral("log-20240103.txt"));
        QVERIFY(QFileInfo(dir + QStringLiteral("/subfolder")).isDir());
        QCOMPARE(applog::pruneLogs(dir + QStringLiteral("/missing"), 10), 0);

        QVERIFY(QDir(dir).removeRecursively()); // the handler makes the folder again
        qDebug("debug %s", "Zoë 张");
        qWarning() << "warn";
        qCritical("crit");
        qInfo("info");
        qInstallMessageHandler(restore.previous);

        const QStringList lines = logLines(dir);
        QCOMPARE(lines.size(), 4);
        const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\) ");
        verifyLines(lines.mid(0, 1), QStringLiteral("D ") + time + QStringLiteral("debug Zoë 张"));
        verifyLines(lines.mid(1, 1), QStringLiteral("W ") + time + QStringLiteral("warn"));
        verifyLines(lines.mid(2, 1), QStringLiteral("C ") + time + QStringLiteral("crit"));
        verifyLines(lines.mid(3, 1), time + QStringLiteral("info"));
    }

    void concurrentMessagesStayWholeLines()
    {
        HandlerRestorer restore;
        const QString dir = testsupport::makeTempDir(QStringLiteral("logthreads"));
        installLog(dir, 10);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    qWarning("thread %d line %d with some padding text", t, i);
            }));
            threads.back()->start();
        }
        for (auto& th : threads)
            QVERIFY(th->wait(30000));
        qInstallMessageHandler(restore.previous);
        const QStringList lines = logLines(dir);
        QCOMPARE(lines.size(), 800);
        verifyLines(lines, QStringLiteral("W \\d\\d:\\d\\d:\\d\\d\\) thread \\d line \\d+ with some padding text"));
    }

    void fatalMessageReachesTheFileBeforeAbort()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("logfatal"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(kFatalChildEnv), dir);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(child.readAllStandardOutput().contains("echoed Zo\xC3\xAB\n")); // echoed as it is
        const QStringList lines = logLines(dir);
        QCOMPARE(lines.size(), 2);
        verifyLines(lines.mid(0, 1), QStringLiteral("D \\d\\d:\\d\\d:\\d\\d\\) echoed Zoë"));
        verifyLines(lines.mid(1, 1), QStringLiteral("F \\d\\d:\\d\\d:\\d\\d\\) the end"));
    }
};

int main(int argc, char** argv)
{
    const QString fatalDir = qEnvironmentVariable(kFatalChildEnv);
    if (!fatalDir.isEmpty()) {
        // Child run of fatalMessageReachesTheFileBeforeAbort: no core file.
        struct rlimit none = { 0, 0 };
        setrlimit(RLIMIT_CORE, &none);
        QCoreApplication app(argc, argv);
        installLog(fatalDir, 10);
        qDebug("echoed Zoë");
        qFatal("the end");
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestAppLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_applog.moc"
