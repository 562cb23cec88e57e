// Helpers for tests that run the connection jobs against the simulated phone.
#pragma once

#include "phonelink/protocol/simpleprotocol.h"
#include "phonesim.h"
#include "simphone.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>
#include <QThread>

#include <memory>

namespace simtest {

inline phonesim::Fixture fixture()
{
    phonesim::Fixture f;
    QString error;
    f.loadJson(R"({"device": {"version": 20, "model": "Rocket 7", "manufacturer": "Acme",
                   "imei": "356938035643809", "uid": "uid-7f3a", "sdk": "13", "mmc": "262"}})",
               &error);
    return f;
}

// A port that is free right now on the address.
inline int freePort(const QHostAddress& address = QHostAddress::LocalHost)
{
    QTcpServer probe;
    probe.listen(address, 0);
    return probe.serverPort();
}

// Makes nextLocalPort() give a port that is free now; returns it.
inline int pinLocalPort()
{
    const int port = freePort();
    simpleprotocol::setLocalPortProvider([port] { return port; });
    return port;
}

// A simulator playing a phone on Wi-Fi at address:48889.
inline std::unique_ptr<phonesim::PhoneSim> startWifiSim(const QString& address, QString* error)
{
    testsupport::SimPhone phone(address);
    if (error)
        *error = phone.error;
    return phone.ok() ? std::move(phone.sim) : nullptr;
}

// Waits for a job thread; false when it did not end in time.
inline bool finish(QThread& thread, int ms = 20000)
{
    return thread.wait(QDeadlineTimer(ms));
}

} // namespace simtest
