#include "shell/core/applog.h"
#include "testsupport.h"

#include <QtTest>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

const char kFatalChildEnv[] = "APP_APPLOG_FATAL_DIR";

QStringList logLines(const QString& folder)
{
    const QString file = QDir(folder).filePath(applog::logFileName(QDate::currentDate()));
    return QString::fromUtf8(testsupport::readFile(file)).split(u'\n', Qt::SkipEmptyParts);
}

// Each line is "(" + its pattern, where "T " stands for the time "hh:mm:ss) ".
// A checking helper (see CHECKED).
[[nodiscard]] bool verifyLines(const QStringList& lines, const QStringList& patterns,
                               std::source_location at = std::source_location::current())
{
    HELPER_COMPARE(lines.size(), patterns.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString p = patterns[i];
        const QRegularExpression re(
            u"^\\("_s + p.replace(QLatin1String("T "), QLatin1String("\\d\\d:\\d\\d:\\d\\d\\) ")) + QLatin1Char('$'));
        HELPER_VERIFY2(re.match(lines[i]).hasMatch(), qPrintable(lines[i]));
    }
    return true;
}

} // namespace

class TestAppLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Old files pruned to the newest ten; every level's line format.
    void messagesAreAppendedToTheDaysFile()
    {
        // Qt's test handler comes back however the test ends.
        const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
        const auto restore = qScopeGuard([qtHandler] { qInstallMessageHandler(qtHandler); });
        const QString dir = testsupport::makeTempDir(u"log"_s) + u"/data/qlogs"_s;
        QVERIFY(QDir().mkpath(dir + u"/subfolder"_s));
        for (int day = 0; day < 12; ++day)
            QVERIFY(QFile(QDir(dir).filePath(applog::logFileName(QDate(2024, 1, 1).addDays(day))))
                        .open(QIODevice::WriteOnly));
        installLog(dir, 10);
        const QStringList left = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 10);
        QCOMPARE(left.first(), u"log-20240103.txt"_s);
        QVERIFY(QFileInfo(dir + u"/subfolder"_s).isDir());

        QVERIFY(QDir(dir).removeRecursively()); // the handler makes the folder again
        qDebug("debug %s", "Zoë 张");
        qWarning() << "warn";
        qCritical("crit");
        qInfo("info");
        qInstallMessageHandler(qtHandler);
        CHECKED(verifyLines(logLines(dir), {u"D T debug Zoë 张"_s, "W T warn", "C T crit", "T info"}));
    }

    void fatalMessageReachesTheFileBeforeAbort()
    {
        const QString dir = testsupport::makeTempDir(u"logfatal"_s);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(kFatalChildEnv), dir);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(child.readAllStandardOutput().contains("echoed Zo\xC3\xAB\n")); // echoed as it is
        CHECKED(verifyLines(logLines(dir), {u"D T echoed Zoë"_s, "F T the end"}));
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
