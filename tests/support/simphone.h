// The one way tests start a simulated phone: the simulator with a fixture,
// its restore store, and the descriptor a connected phone's node would hold
// for the application's jobs. On Wi-Fi it listens on its own loopback
// address; on USB the adb stand-in (fake-adb) is put first on PATH and
// hands broadcasts to it.
#pragma once

#include "phonelink/androiddeviceinfo.h"

#include "fakeadbenv.h"
#include "phonesim.h"
#include "restoreservices.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>

namespace testsupport {

// The fixture's "device" section of the phone the tests use ("Acme Rocket
// 7", MCC 262).
QJsonObject defaultDevice();
// A fixture file of tools/phone-sim/fixtures or of the tests' data folders,
// by its path below the source tree.
QJsonObject fixtureFile(const QString& relativePath);
// A contact of a fixture's "contacts" section, and one of its rows (kind,
// phone row id, its "data<n>" columns).
QJsonObject simContact(qint64 id, const QJsonArray& rows);
QJsonObject simContactRow(int kind, qint64 id, const QJsonObject& columns);

// The loopback address a test means by "127.0.<n>.<h>", moved into a
// 127.<k>.0.0/16 block that this test program holds alone for its life, so
// test programs running side by side never listen on the same address.
// Other addresses come back unchanged. Phones built by SimPhone are moved
// already; a test that types or compares an address calls this too.
QString loopback(const QString& address);

class SimPhone {
public:
    struct Options {
        // Wi-Fi at loopback(address) (port 48889); empty: USB.
        QString address;
        // The whole fixture; without a "device" section the default one.
        QJsonObject fixture;
        // The cache folder's name; empty: derived from the address.
        QString imei;
        // False: only the descriptor, nothing listens (a phone that is gone).
        bool listen = true;
        // How long the simulator waits for the application: a hang guard,
        // far above any pause of the application on a busy machine.
        int timeoutMs = kHangGuardMs;
    };

    explicit SimPhone(const Options& options);
    // Wi-Fi at address with the given fixture.
    explicit SimPhone(const QString& address, const QJsonObject& fixture = QJsonObject());
    virtual ~SimPhone();
    SimPhone(const SimPhone&) = delete;
    SimPhone& operator=(const SimPhone&) = delete;

    // Empty when everything started.
    QString error;
    std::unique_ptr<phonesim::PhoneSim> sim;
    std::shared_ptr<phonesim::RestoreStore> store; // what the phone received
    std::unique_ptr<phonesim::FakeAdb> adb; // USB only
    AndroidDeviceInfo device;

    bool ok() const { return error.isEmpty(); }
    bool isUsb() const { return adb != nullptr; }
    // USB: the adb stand-in was asked to force-stop the Phone Agent.
    bool forceStopped() const;
    // Sessions of the named service opened by "backup://" URLs (loads).
    // These readers, as the simulator's own, first wait for it to take in
    // everything the application sent (PhoneSim::waitSettled).
    int loads(const QString& service) const;
    // Every line received on the service's "restore://" sessions, in order.
    QList<QByteArray> restoreLines(const QString& service) const;
    // Empty when n service sessions have ended and the phone found no fault
    // with any line it received; otherwise what went wrong.
    QString verdict(int sessions) const;
};

} // namespace testsupport
