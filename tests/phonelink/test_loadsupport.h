// Helpers for the loader tests: a simulated phone on its own loopback
// address (Wi-Fi road) or behind the adb stand-in (USB road), fresh ports
// for every service, and running a job to its end.
#pragma once

#include "phonelink/androiddeviceinfo.h"

#include "simphone.h"
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

using SimPhone = testsupport::SimPhone;

// A phone on Wi-Fi at 127.0.<net>.<n>, n counting up per call; a phone given
// an earlier one's IMEI shares its cache.
struct WifiPhone : SimPhone {
    WifiPhone(int net, const QJsonObject& fixture, const QString& imei = QString())
        : SimPhone(options(QStringLiteral("127.0.%1.%2").arg(net).arg(next++), fixture, imei))
    {
    }
    static Options options(const QString& address, const QJsonObject& fixture, const QString& imei)
    {
        Options o;
        o.address = address;
        o.fixture = fixture;
        o.imei = imei;
        return o;
    }
    inline static int next = 10;
};

// A phone on USB: fake-adb hands broadcasts to the simulator.
struct UsbPhone : SimPhone {
    explicit UsbPhone(const QJsonObject& fixture)
        : SimPhone(WifiPhone::options(QString(), fixture, QString()))
    {
    }
};

// A fixture of tools/phone-sim/fixtures.
inline QJsonObject fixtureFile(const QString& name)
{
    return testsupport::fixtureFile(QStringLiteral("tools/phone-sim/fixtures/") + name);
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
