#include "phonelink/adbhelper.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/jobreport.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <stdexcept>

namespace {

QMutex g_programMutex;
QString g_program; // empty: "adb" from PATH

constexpr int kWaitSliceMs = 50;

QString commandLine(const QStringList& args)
{
    return QStringLiteral("adb ") + args.join(QLatin1Char(' '));
}

} // namespace

AdbHelper::AdbHelper(std::function<bool()> canceled)
    : m_canceled(std::move(canceled))
{
}

void AdbHelper::setProgram(const QString& path)
{
    QMutexLocker lock(&g_programMutex);
    g_program = path;
}

QString AdbHelper::program()
{
    QMutexLocker lock(&g_programMutex);
    return g_program.isEmpty() ? QStringLiteral("adb") : g_program;
}

QString AdbHelper::adbProgram(QProcess& process, int port)
{
    if (port > 0) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ANDROID_ADB_SERVER_PORT"), QString::number(port));
        process.setProcessEnvironment(env);
    }
    return program();
}

QString AdbHelper::run(const QStringList& args, bool throwOnError, int timeoutMs)
{
    return execute(args, kServerPort, throwOnError, timeoutMs);
}

QString AdbHelper::execute(const QStringList& args, int port, bool throwOnError, int timeoutMs)
{
    QProcess process;
    const QString prog = adbProgram(process, port);
    process.start(prog, args, QIODevice::ReadWrite);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        process.kill();
        const QString failed = QStringLiteral("run adb failed.");
        if (throwOnError)
            throw std::runtime_error(failed.toStdString());
        return failed;
    }
    // adb gets nothing on standard input; closing it keeps a reader from
    // waiting for us.
    process.closeWriteChannel();

    // Wait in short slices so that a cancel or the time limit ends adb even
    // when it hangs.
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    while (process.state() != QProcess::NotRunning) {
        if (process.waitForFinished(kWaitSliceMs))
            break;
        if (process.state() == QProcess::NotRunning)
            break;
        if (m_canceled && m_canceled()) {
            process.kill();
            process.waitForFinished(1000);
            throw std::runtime_error(QStringLiteral("%1 was stopped.").arg(commandLine(args)).toStdString());
        }
        // A job's cancel (the calling thread's cancel scope) ends adb too:
        // the job then unwinds as any cancelled job does.
        if (simpleprotocol::isCanceled()) {
            process.kill();
            process.waitForFinished(1000);
            throw int(jobreport::kCanceled);
        }
        if (deadline.hasExpired()) {
            process.kill();
            process.waitForFinished(1000);
            throw std::runtime_error(QStringLiteral("%1 did not finish within %2 seconds and was stopped.")
                                         .arg(commandLine(args))
                                         .arg((timeoutMs + 999) / 1000)
                                         .toStdString());
        }
    }

    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (err.isEmpty())
        return out;
    if (throwOnError)
        throw std::runtime_error(err.toStdString());
    return QStringLiteral("%1\n%2").arg(err, out);
}

void AdbHelper::killServer(int timeoutMs)
{
    try {
        run({QStringLiteral("kill-server")}, false, timeoutMs);
    } catch (const std::exception& e) {
        qDebug("AdbHelper::killServer, %s", e.what());
    }
}

void AdbHelper::killDefaultServer(int timeoutMs)
{
    try {
        execute({QStringLiteral("kill-server")}, 0, false, timeoutMs);
    } catch (const std::exception& e) {
        qDebug("AdbHelper::killDefaultServer, %s", e.what());
    }
}

QList<AdbDevice> AdbHelper::parseDevices(const QString& output)
{
    // A serial may be a network address ("192.168.1.5:5555"), so it runs up
    // to the first white space; the state is the next word.
    static const QRegularExpression line(QStringLiteral("^(\\S+)\\s+(\\S+)"));
    QList<AdbDevice> result;
    bool header = false;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString trimmed = raw.trimmed();
        if (!header) {
            header = trimmed.compare(QLatin1String("List of devices attached"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const QRegularExpressionMatch m = line.match(trimmed);
        if (!m.hasMatch())
            continue;
        result.append(AdbDevice {trimmed, m.captured(1), m.captured(2)});
    }
    return result;
}

QList<AdbDevice> AdbHelper::devices()
{
    return parseDevices(run({QStringLiteral("devices")}));
}

void AdbHelper::forward(const QString& serial, int localPort, int remotePort)
{
    const QStringList args {QStringLiteral("-s"), serial, QStringLiteral("forward"),
                            QStringLiteral("tcp:%1").arg(localPort), QStringLiteral("tcp:%1").arg(remotePort)};
    const QString out = run(args);
    qDebug("AdbHelper::forward, %s\n%s", qUtf8Printable(args.join(QLatin1Char(' '))), qUtf8Printable(out));
}

void AdbHelper::forceStop(const QString& serial, const QString& package)
{
    run({QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("am"), QStringLiteral("force-stop"),
         package});
}

int AdbHelper::parseVersionCode(const QString& output)
{
    static const QRegularExpression re(QStringLiteral("versionCode=(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(output);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

int AdbHelper::versionCode(const QString& serial, const QString& package, QString& output)
{
    output = run({QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("dumpsys"),
                  QStringLiteral("package"), package});
    return parseVersionCode(output);
}

bool AdbHelper::hasErrorLine(const QString& output)
{
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& l : lines) {
        if (l.trimmed().toLower().startsWith(QLatin1String("error:")))
            return true;
    }
    return false;
}

void AdbHelper::trigger(const QString& serial, const QString& verb, const QString& component, const QString& action,
                        const QString& data, const QStringList& categories, const QString& type)
{
    QStringList args {QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("am"), verb};
    if (!component.isEmpty())
        args << QStringLiteral("-n") << component;
    if (!action.isEmpty())
        args << QStringLiteral("-a") << action;
    if (!data.isEmpty())
        args << QStringLiteral("-d") << data;
    for (const QString& c : categories)
        args << QStringLiteral("-c") << c;
    if (!type.isEmpty())
        args << QStringLiteral("-t") << type;

    const QString out = run(args);
    qDebug("AdbHelper::trigger, %s\n%s", qUtf8Printable(args.join(QLatin1Char(' '))), qUtf8Printable(out));
    if (hasErrorLine(out))
        throw std::runtime_error(out.toStdString());
}
