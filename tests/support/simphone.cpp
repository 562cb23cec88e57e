#include "simphone.h"

#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>

namespace testsupport {

QJsonObject defaultDevice()
{
    return QJsonObject {{QStringLiteral("version"), 20},
                        {QStringLiteral("model"), QStringLiteral("Rocket 7")},
                        {QStringLiteral("manufacturer"), QStringLiteral("Acme")},
                        {QStringLiteral("imei"), QStringLiteral("356938035643809")},
                        {QStringLiteral("uid"), QStringLiteral("uid-7f3a")},
                        {QStringLiteral("sdk"), QStringLiteral("13")},
                        {QStringLiteral("mmc"), QStringLiteral("262")}};
}

QJsonObject fixtureFile(const QString& relativePath)
{
    QFile f(sourceDir() + QLatin1Char('/') + relativePath);
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object();
}

QJsonObject simContact(qint64 id, const QJsonArray& rows)
{
    return QJsonObject {{QStringLiteral("id"), id}, {QStringLiteral("rows"), rows}};
}

QJsonObject simContactRow(int kind, qint64 id, const QJsonObject& columns)
{
    QJsonObject row = columns;
    row.insert(QStringLiteral("kind"), kind);
    row.insert(QStringLiteral("id"), id);
    return row;
}

namespace {

// The second octet of the block this program holds: the first k (starting
// from one picked by process id) whose 127.k.255.254 on the Wi-Fi control
// port could be listened on. The listener stays open until the program ends,
// so no other test program can claim the block meanwhile; the phones' own
// addresses never use host 255.
int claimedBlock()
{
    static const int block = [] {
        auto* claim = new QTcpServer; // lives as long as the program, on purpose
        const int first = int(QCoreApplication::applicationPid() % 250);
        for (int i = 0; i < 250; ++i) {
            const int k = 1 + (first + i) % 250;
            if (claim->listen(QHostAddress(QStringLiteral("127.%1.255.254").arg(k)),
                              PhoneAgentPackage::kWifiControlPort))
                return k;
        }
        qFatal("no free loopback block for the simulated phones");
        return 0;
    }();
    return block;
}

SimPhone::Options wifiOptions(const QString& address, const QJsonObject& fixture)
{
    SimPhone::Options o;
    o.address = address;
    o.fixture = fixture;
    return o;
}
} // namespace

QString loopback(const QString& address)
{
    static const QRegularExpression pattern(QStringLiteral("^127\\.0\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch m = pattern.match(address);
    if (!m.hasMatch() || (m.captured(1) == QLatin1String("0") && m.captured(2) == QLatin1String("1")))
        return address;
    return QStringLiteral("127.%1.%2.%3").arg(claimedBlock()).arg(m.captured(1), m.captured(2));
}

SimPhone::SimPhone(const QString& address, const QJsonObject& fixture)
    : SimPhone(wifiOptions(address, fixture))
{
}

SimPhone::SimPhone(const Options& options)
{
    QJsonObject fixture = options.fixture;
    if (!fixture.contains(QLatin1String("device")))
        fixture.insert(QStringLiteral("device"), defaultDevice());
    const QJsonObject info = fixture.value(QLatin1String("device")).toObject();

    device.manufacturer = info.value(QLatin1String("manufacturer")).toString();
    device.model = info.value(QLatin1String("model")).toString();
    device.uid = info.value(QLatin1String("uid")).toString();
    device.mmc = info.value(QLatin1String("mmc")).toString();
    device.isWiFi = !options.address.isEmpty();
    if (device.isWiFi) {
        device.host = loopback(options.address);
        device.port = PhoneAgentPackage::kWifiControlPort;
        device.imei = options.imei.isEmpty() ? QStringLiteral("sim-") + options.address : options.imei;
    } else {
        device.serial = QStringLiteral("USB0001");
        device.imei = options.imei.isEmpty() ? QStringLiteral("sim-usb") : options.imei;
    }
    if (!options.listen)
        return;

    phonesim::PhoneSim::Options o;
    o.wifi = device.isWiFi;
    if (o.wifi)
        o.address = QHostAddress(device.host);
    o.acceptTimeoutMs = options.timeoutMs;
    o.idleTimeoutMs = options.timeoutMs;
    sim = std::make_unique<phonesim::PhoneSim>(phonesim::Fixture::fromJson(fixture), o);
    store = phonesim::registerRestoreServices(*sim);
    if (!sim->start(&error))
        return;
    if (!device.isWiFi) {
        adb = std::make_unique<phonesim::FakeAdb>(makeTempDir(QStringLiteral("fakeadb")));
        if (!adb->isValid()) {
            error = QStringLiteral("fake-adb is not built");
            return;
        }
        adb->install();
        adb->setDevices(
            {phonesim::FakeAdb::Device(device.serial, QStringLiteral("device"), 20, 100, sim->bridgeAddress())});
    }
}

SimPhone::~SimPhone() = default;

bool SimPhone::forceStopped() const
{
    return adb && !adb->commandLines().filter(QLatin1String("force-stop")).isEmpty();
}

int SimPhone::loads(const QString& service) const
{
    int n = 0;
    if (!sim)
        return n;
    for (const phonesim::ConnectionLog& c : sim->connections(QStringLiteral("service")))
        n += c.service == service && c.url.startsWith(QLatin1String("backup://")) ? 1 : 0;
    return n;
}

QList<QByteArray> SimPhone::restoreLines(const QString& service) const
{
    QList<QByteArray> lines;
    if (!sim)
        return lines;
    for (const phonesim::ConnectionLog& c : sim->connections(QStringLiteral("service")))
        if (c.service == service && c.url.startsWith(QLatin1String("restore://")))
            lines += c.linesIn;
    return lines;
}

QString SimPhone::verdict(int sessions) const
{
    if (!sim || !sim->waitFinished(QStringLiteral("service"), sessions, kHangGuardMs))
        return QStringLiteral("the sessions did not end");
    return store->errors().join(QLatin1Char('\n'));
}

} // namespace testsupport
