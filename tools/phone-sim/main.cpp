// phone-sim: a simulated phone for running the application by hand.
//
//   phone-sim <fixture.json> [listen-address] [--control-port N] [--bridge-port N]
//   phone-sim --large MESSAGES[,CONVERSATIONS] [listen-address] ...
//
// --large plays the generated phone of the benchmarks instead of a fixture
// file (one message in ten with a small picture).
//
// Listens on the Wi-Fi control port of the address (default 127.0.0.1,
// port 48889) until interrupted.
#include "dataservices.h"
#include "phonesim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated phone running the Phone Agent."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("fixture"), QStringLiteral("The phone's data (JSON)."));
    parser.addPositionalArgument(QStringLiteral("address"), QStringLiteral("Listen address, 127.0.0.1 by default."));
    QCommandLineOption controlPort(QStringLiteral("control-port"), QStringLiteral("Wi-Fi control port."),
                                   QStringLiteral("port"), QStringLiteral("48889"));
    QCommandLineOption bridgePort(QStringLiteral("bridge-port"), QStringLiteral("Port for the adb stand-in (0: any)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    QCommandLineOption large(QStringLiteral("large"), QStringLiteral("A generated phone instead of a fixture file."),
                             QStringLiteral("messages[,conversations]"));
    parser.addOption(controlPort);
    parser.addOption(bridgePort);
    parser.addOption(large);
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    QStringList args = parser.positionalArguments();
    phonesim::Fixture fixture;
    QString error;
    if (parser.isSet(large)) {
        const QStringList counts = parser.value(large).split(QLatin1Char(','));
        const int messages = counts.value(0).toInt();
        const int conversations = counts.size() > 1 ? counts.at(1).toInt() : std::max(1, messages / 50);
        fixture = phonesim::makeLargeFixture(messages, conversations, 0, 0);
        args.prepend(QString());
    } else if (args.isEmpty()) {
        err << "phone-sim: a fixture file is required\n";
        return 2;
    } else if (!fixture.load(args.at(0), &error)) {
        err << "phone-sim: " << error << "\n";
        return 1;
    }
    phonesim::PhoneSim::Options options;
    if (args.size() > 1) {
        options.address = QHostAddress(args.at(1));
        if (options.address.isNull()) {
            err << "phone-sim: not an address: " << args.at(1) << "\n";
            return 2;
        }
    }
    options.controlPort = quint16(parser.value(controlPort).toUInt());
    options.bridgePort = quint16(parser.value(bridgePort).toUInt());
    options.idleTimeoutMs = 5 * 60 * 1000;
    options.keepLines = false; // nobody reads them here
    options.acceptTimeoutMs = 60 * 1000;

    phonesim::PhoneSim sim(fixture, options);
    if (!sim.start(&error)) {
        err << "phone-sim: " << error << "\n";
        return 1;
    }
    out << "phone-sim: Wi-Fi control on " << options.address.toString() << ":" << sim.controlPort()
        << ", adb bridge on " << sim.bridgeAddress() << "\n";
    out.flush();

    if (::pipe(g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    sim.stop();
    return rc;
}
