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
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
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
    void linesCarryTheLevelLetterAndTime()
    {
        const QTime t(9, 5, 7);
        QCOMPARE(applog::formatLine(QtDebugMsg, t, QStringLiteral("hi")), QStringLiteral("(D 09:05:07) hi\n"));
        QCOMPARE(applog::formatLine(QtWarningMsg, t, QStringLiteral("w")), QStringLiteral("(W 09:05:07) w\n"));
        QCOMPARE(applog::formatLine(QtCriticalMsg, t, QStringLiteral("c")), QStringLiteral("(C 09:05:07) c\n"));
        QCOMPARE(applog::formatLine(QtFatalMsg, t, QStringLiteral("f")), QStringLiteral("(F 09:05:07) f\n"));
        // Any other kind has the time alone.
        QCOMPARE(applog::formatLine(QtInfoMsg, t, QStringLiteral("i")), QStringLiteral("(09:05:07) i\n"));
        QCOMPARE(applog::logFileName(QDate(2026, 1, 5)), QStringLiteral("log-20260105.txt"));
    }

    void pruningKeepsTheNewestFiles()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("qlogs"));
        for (int day = 1; day <= 12; ++day)
            touch(QDir(dir).filePath(applog::logFileName(QDate(2025, 12, 20).addDays(day))));
        QVERIFY(QDir().mkdir(dir + QStringLiteral("/subfolder")));
        QCOMPARE(applog::pruneLogs(dir, 10), 2);
        const QStringList left = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 10);
        QCOMPARE(left.first(), QStringLiteral("log-20251223.txt"));
        QCOMPARE(left.last(), QStringLiteral("log-20260101.txt"));
        QVERIFY(QFileInfo(dir + QStringLiteral("/subfolder")).isDir());
        QCOMPARE(applog::pruneLogs(dir, 10), 0);
        QCOMPARE(applog::pruneLogs(dir + QStringLiteral("/missing"), 10), 0);
    }

    void messagesAreAppendedToTheDaysFile()
    {
        HandlerRestorer restore;
        const QString dir = testsupport::makeTempDir(QStringLiteral("log")) + QStringLiteral("/data/qlogs");
        QVERIFY(QDir().mkpath(dir));
        for (int i = 1; i <= 12; ++i)
            touch(QDir(dir).filePath(applog::logFileName(QDate(2024, 1, i))));
        installLog(dir, 10);
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 10);

        QVERIFY(QDir(dir).removeRecursively()); // the handler makes the folder again
        qDebug("debug %s", "Zoë 张");
        qWarning() << "warn";
        qCritical("crit");
        qInfo("info");
        qInstallMessageHandler(restore.previous);

        const QStringList lines = logLines(dir);
        QCOMPARE(lines.size(), 4);
        const QRegularExpression re(QStringLiteral("^\\(([DWC] )?\\d\\d:\\d\\d:\\d\\d\\) (.*)$"));
        const QStringList letters = { "D ", "W ", "C ", "" };
        const QStringList texts = { QStringLiteral("debug Zoë 张"), "warn", "crit", "info" };
        for (int i = 0; i < 4; ++i) {
            const auto m = re.match(lines.at(i));
            QVERIFY2(m.hasMatch(), qPrintable(lines.at(i)));
            QCOMPARE(m.captured(1), letters.at(i));
            QCOMPARE(m.captured(2), texts.at(i));
        }
    }

    void concurrentMessagesStayWholeLines()
    {
        HandlerRestorer restore;
        const QString dir = testsupport::makeTempDir(QStringLiteral("logthreads"));
        installLog(dir, 10);
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    qWarning("thread %d line %d with some padding text", t, i);
            });
            threads.last()->start();
        }
        for (QThread* th : threads) {
            QVERIFY(th->wait(30000));
            delete th;
        }
        qInstallMessageHandler(restore.previous);
        const QStringList lines = logLines(dir);
        QCOMPARE(lines.size(), 800);
        const QRegularExpression re(
            QStringLiteral("^\\(W \\d\\d:\\d\\d:\\d\\d\\) thread \\d line \\d+ with some padding text$"));
        for (const QString& line : lines)
            QVERIFY2(re.match(line).hasMatch(), qPrintable(line));
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
        // The debug text is echoed on standard output as it is.
        QVERIFY(child.readAllStandardOutput().contains("echoed Zo\xC3\xAB\n"));
        const QStringList lines = logLines(dir);
        QCOMPARE(lines.size(), 2);
        QVERIFY(QRegularExpression(QStringLiteral("^\\(D \\d\\d:\\d\\d:\\d\\d\\) echoed Zoë$"))
                    .match(lines.at(0))
                    .hasMatch());
        QVERIFY(
            QRegularExpression(QStringLiteral("^\\(F \\d\\d:\\d\\d:\\d\\d\\) the end$")).match(lines.at(1)).hasMatch());
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
