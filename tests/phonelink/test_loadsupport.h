// Helpers for the loader tests: a simulated phone on its own loopback
// address (Wi-Fi road) or behind the adb stand-in (USB road), fresh ports
// for every service, and running a job to its end.
#pragma once

#include "phonelink/androiddeviceinfo.h"

#include "fakeadbenv.h"
#include "simtestutil.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonObject>

// Runs a job to its end and checks it posted success.
#define LOAD_OK(job, report)                                                                                           \
    do {                                                                                                               \
        QVERIFY(loadtest::runJob(job));                                                                                \
        QVERIFY2((report).succeeded(), qPrintable((report).errors().join(QLatin1Char('\n'))));                         \
    } while (false)
#define PHONE_OK(phone) QVERIFY2((phone).ok(), qPrintable((phone).error))

namespace loadtest {

// A simulated phone with the fixture's data, on Wi-Fi at the address or, with
// none, on USB; the device the loaders are given.
struct SimPhone {
    SimPhone(const QJsonObject& fixture, const QString& address)
    {
        phonesim::PhoneSim::Options o;
        o.wifi = device.isWiFi = !address.isEmpty();
        if (o.wifi)
            o.address = QHostAddress(address);
        o.acceptTimeoutMs = 5000;
        o.idleTimeoutMs = 5000;
        sim = std::make_unique<phonesim::PhoneSim>(phonesim::Fixture::fromJson(fixture), o);
        sim->start(&error);
        device.host = address;
        device.mmc = QStringLiteral("262");
    }
    virtual ~SimPhone() = default;
    virtual bool ok() const { return error.isEmpty(); }

    QString error;
    std::unique_ptr<phonesim::PhoneSim> sim;
    AndroidDeviceInfo device;
};

// A phone on Wi-Fi at 127.0.<net>.<n>, n counting up per call; a phone given
// an earlier one's IMEI shares its cache.
struct WifiPhone : SimPhone {
    WifiPhone(int net, const QJsonObject& fixture, const QString& imei = QString())
        : SimPhone(fixture, QStringLiteral("127.0.%1.%2").arg(net).arg(next++))
    {
        device.port = PhoneAgentPackage::kWifiControlPort;
        device.imei = imei.isEmpty() ? QStringLiteral("35693803564") + device.host.section(QLatin1Char('.'), 3) : imei;
    }
    inline static int next = 10;
};

// A phone on USB: fake-adb hands broadcasts to the simulator.
struct UsbPhone : SimPhone {
    explicit UsbPhone(const QJsonObject& fixture)
        : SimPhone(fixture, QString())
        , adb(testsupport::makeTempDir(QStringLiteral("fakeadb")))
    {
        adb.install();
        adb.setDevices({phonesim::FakeAdb::Device(QStringLiteral("USB0001"), QStringLiteral("device"), 20, 100,
                                                  sim->bridgeAddress())});
        device.serial = QStringLiteral("USB0001");
        device.imei = QStringLiteral("356938035649999");
    }
    bool ok() const override { return SimPhone::ok() && adb.isValid(); }
    bool forceStopped() const { return !adb.commandLines().filter(QLatin1String("force-stop")).isEmpty(); }

    phonesim::FakeAdb adb;
};

// A fixture of tools/phone-sim/fixtures.
inline QJsonObject fixtureFile(const QString& name)
{
    QFile f(testsupport::sourceDir() + QStringLiteral("/tools/phone-sim/fixtures/") + name);
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}

// "a|b|c" as a list.
inline QStringList list(const char* items)
{
    return QString::fromUtf8(items).split(QLatin1Char('|'));
}

// Every service opening gets a port that is free at that moment.
inline void useFreePorts()
{
    simpleprotocol::setLocalPortProvider([] { return simtest::freePort(); });
}

inline bool runJob(QThread& job, int ms = 20000)
{
    job.start();
    return simtest::finish(job, ms);
}

// Whether the PC sent "$error:" on the named service once its session ended.
inline bool phoneToldError(const phonesim::PhoneSim& sim, const QString& service)
{
    sim.waitFinished(QStringLiteral("service"), 1, 5000);
    const QList<QByteArray> lines = sim.linesReceived(service);
    return std::any_of(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("$error:"); });
}

} // namespace loadtest
