// Helpers for the loader tests: a simulated phone on its own loopback
// address (Wi-Fi road) or behind the adb stand-in (USB road), fresh ports
// for every service, and running a job to its end.
#pragma once

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "dataservices.h"
#include "fakeadbenv.h"
#include "phonesim.h"
#include "simtestutil.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <memory>

namespace loadtest {

// A phone on Wi-Fi at 127.0.<net>.<n>, n counting up per call.
class WifiPhone {
public:
    WifiPhone(int net, const QJsonObject& fixture)
    {
        static int next = 10;
        address = QStringLiteral("127.0.%1.%2").arg(net).arg(next++);
        phonesim::PhoneSim::Options o;
        o.address = QHostAddress(address);
        o.acceptTimeoutMs = 5000;
        o.idleTimeoutMs = 5000;
        sim = std::make_unique<phonesim::PhoneSim>(phonesim::Fixture::fromJson(fixture), o);
        sim->start(&error);
        device.isWiFi = true;
        device.host = address;
        device.port = PhoneAgentPackage::kWifiControlPort;
        device.imei = QStringLiteral("35693803564%1").arg(next);
        device.mmc = QStringLiteral("262");
    }
    bool ok() const { return error.isEmpty(); }

    QString address;
    QString error;
    std::unique_ptr<phonesim::PhoneSim> sim;
    AndroidDeviceInfo device;
};

// A phone on USB: fake-adb hands broadcasts to the simulator.
class UsbPhone {
public:
    explicit UsbPhone(const QJsonObject& fixture)
        : adb(testsupport::makeTempDir(QStringLiteral("fakeadb")))
    {
        adb.install();
        phonesim::PhoneSim::Options o;
        o.wifi = false;
        o.acceptTimeoutMs = 5000;
        o.idleTimeoutMs = 5000;
        sim = std::make_unique<phonesim::PhoneSim>(phonesim::Fixture::fromJson(fixture), o);
        sim->start(&error);
        phonesim::FakeAdb::Device d;
        d.serial = QStringLiteral("USB0001");
        d.agentVersion = 20;
        d.bridge = sim->bridgeAddress();
        adb.setDevices({d});
        device.serial = d.serial;
        device.imei = QStringLiteral("356938035649999");
        device.mmc = QStringLiteral("262");
    }
    bool ok() const { return error.isEmpty() && adb.isValid(); }
    bool forceStopped() const
    {
        for (const QString& l : adb.commandLines())
            if (l.contains(QLatin1String("force-stop")))
                return true;
        return false;
    }

    phonesim::FakeAdb adb;
    QString error;
    std::unique_ptr<phonesim::PhoneSim> sim;
    AndroidDeviceInfo device;
};

// A fixture of tools/phone-sim/fixtures.
inline QJsonObject fixtureFile(const QString& name)
{
    QFile f(testsupport::sourceDir() + QStringLiteral("/tools/phone-sim/fixtures/") + name);
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}

inline QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
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

inline QString joined(const QStringList& l)
{
    return l.join(QLatin1Char('\n'));
}

} // namespace loadtest
