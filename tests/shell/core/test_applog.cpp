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

// Each line is "(" + its pattern, where "T " stands for the time "hh:mm:ss) ".
void verifyLines(const QStringList& lines, const QStringList& patterns)
{
    QCOMPARE(lines.size(), patterns.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString p = patterns[i];
        const QRegularExpression re(QStringLiteral("^\\(")
                                    + p.replace(QLatin1String("T "), QLatin1String("\\d\\d:\\d\\d:\\d\\d\\) "))
                                    + QLatin1Char('$'));
        QVERIFY2(re.match(lines[i]).hasMatch(), qPrintable(lines[i]));
    }
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
        for (int day = 0; day < 12; ++day)
            QVERIFY(QFile(QDir(dir).filePath(applog::logFileName(QDate(2024, 1, 1).addDays(day))))
                        .open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkdir(dir + QStringLiteral("/subfolder")));
        installLog(dir, 10); // keeps the newest 10 files
        const QStringList left = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 10);
        QCOMPARE(left.first(), QStringLiteral("log-20240103.txt"));
        QVERIFY(QFileInfo(dir + QStringLiteral("/subfolder")).isDir());

        QVERIFY(QDir(dir).removeRecursively()); // the handler makes the folder again
        qDebug("debug %s", "Zoë 张");
        qWarning() << "warn";
        qCritical("crit");
        qInfo("info");
        qInstallMessageHandler(restore.previous);

        verifyLines(logLines(dir), {QStringLiteral("D T debug Zoë 张"), "W T warn", "C T crit", "T info"});
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
        verifyLines(logLines(dir), QStringList(800, QStringLiteral("W T thread \\d line \\d+ with some padding text")));
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
        verifyLines(logLines(dir), {QStringLiteral("D T echoed Zoë"), "F T the end"});
    }
};

int main(int argc, char** argv)
{
    const QString fatalDir = qEnvironmentVariable(kFatalChildEnv);
    if (!fatalDir.isEmpty()) {
        // Child run of fatalMessageReachesTheFileBeforeAbort: no core file.
        struct rlimit none = {0, 0};
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
