// A simulated phone on Wi-Fi that serves the restore services, and the
// descriptor that reaches it, for the restore job tests.
#pragma once

#include "phonelink/androiddeviceinfo.h"
#include "phonesim.h"
#include "restoreservices.h"

#include <QTcpServer>
#include <QtTest>

#include <memory>

namespace restoretest {

struct SimPhone {
    std::unique_ptr<phonesim::PhoneSim> sim;
    std::shared_ptr<phonesim::RestoreStore> store;
    AndroidDeviceInfo device;
};

inline int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Plays a phone at address:48889; sim is null (with *error) when it cannot listen.
inline SimPhone startPhone(const QString& address, QString* error, const QByteArray& extraJson = "")
{
    SimPhone p;
    phonesim::Fixture f;
    f.loadJson(R"({"device": {"version": 20, "model": "Rocket 7", "manufacturer": "Acme",
                   "imei": "356938035643809", "uid": "uid-)"
            + address.toLatin1() + R"(", "sdk": "13", "mmc": "262"})" + extraJson + "}",
        error);
    phonesim::PhoneSim::Options o;
    o.address = QHostAddress(address);
    o.controlPort = 48889;
    o.acceptTimeoutMs = 5000;
    o.idleTimeoutMs = 5000;
    p.sim = std::make_unique<phonesim::PhoneSim>(f, o);
    p.store = phonesim::registerRestoreServices(*p.sim);
    if (!p.sim->start(error)) {
        p.sim.reset();
        return p;
    }
    p.device.isWiFi = true;
    p.device.host = address;
    p.device.port = 48889;
    p.device.uid = QStringLiteral("uid-") + address;
    p.device.imei = QStringLiteral("imei-") + address;
    p.device.manufacturer = QStringLiteral("Acme");
    p.device.model = QStringLiteral("Rocket 7");
    return p;
}

inline bool finish(QThread& thread, int ms = 20000)
{
    return thread.wait(QDeadlineTimer(ms));
}

} // namespace restoretest
