// Helpers for the phone-link tests: a simulated phone on its own loopback
// address (Wi-Fi road) or behind the adb stand-in (USB road), the local
// ports the PC's services listen on, and running a job to its end.
#pragma once

#include "phonelink/protocol/simpleprotocol.h"

#include "simphone.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

// Runs a job to its end and checks it posted success.
#define LOAD_OK(job, report)                                                                                           \
    do {                                                                                                               \
        QVERIFY(loadtest::runJob(job));                                                                                \
        QVERIFY2((report).succeeded(), qPrintable((report).errors().join(QLatin1Char('\n'))));                         \
    } while (false)
#define PHONE_OK(phone) QVERIFY2((phone).ok(), qPrintable((phone).error))

namespace loadtest {

// A phone on Wi-Fi at 127.0.<net>.<n>, n counting up per call; a phone
// given an earlier one's IMEI shares its cache.
struct WifiPhone : testsupport::SimPhone {
    WifiPhone(int net, const QJsonObject& fixture, const QString& imei = QString())
        : SimPhone(
            Options {.address = QStringLiteral("127.0.%1.%2").arg(net).arg(next++), .fixture = fixture, .imei = imei})
    {
    }
    inline static int next = 10;
};

// "a|b|c" as a list.
inline QStringList list(const char* items)
{
    return QString::fromUtf8(items).split(QLatin1Char('|'));
}

// A port of 127.0.0.1 that is free right now.
inline int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Every service opening gets a port that is free at that moment.
inline void useFreePorts()
{
    simpleprotocol::setLocalPortProvider([] { return freePort(); });
}

// Makes nextLocalPort() give one port that is free now; returns it.
inline int pinLocalPort()
{
    const int port = freePort();
    simpleprotocol::setLocalPortProvider([port] { return port; });
    return port;
}

// Starts a job and waits for it; false when it did not end in time.
inline bool runJob(QThread& job, int ms = testsupport::kHangGuardMs)
{
    job.start();
    return job.wait(QDeadlineTimer(ms));
}

// The rows of a test table from tests/phonelink/data/<file>, a JSON array
// of objects: each row is named by its "name" and fetched as "row". A
// checking helper (see CHECKED): a file without rows fails.
[[nodiscard]] inline bool jsonRows(const QString& file, std::source_location at = std::source_location::current())
{
    QTest::addColumn<QJsonObject>("row");
    const QString path = testsupport::sourceDir() + QStringLiteral("/tests/phonelink/data/") + file;
    const QJsonArray rows = QJsonDocument::fromJson(testsupport::readFile(path)).array();
    HELPER_VERIFY2(!rows.isEmpty(), qPrintable(QStringLiteral("no rows in ") + path));
    for (const QJsonValue& row : rows)
        QTest::newRow(qPrintable(row[QStringLiteral("name")].toString())) << row.toObject();
    return true;
}

// Whether a posted error is the expected one: that text, or any text that
// starts with what comes before a final "*".
inline bool errorMatches(const QString& posted, const QString& expected)
{
    return expected.endsWith(QLatin1Char('*')) ? posted.startsWith(expected.chopped(1)) : posted == expected;
}

// The simulator fault of a row: "fault" names its kind, with "service",
// "step", "text" and "size" as the fault takes them.
inline phonesim::Fault faultOf(const QJsonObject& row)
{
    static const QStringList kinds {"RefuseControl", "ErrorAt",         "WrongLineAt", "CloseAt",
                                    "StallAt",       "OversizedLineAt", "BlockSizeAt", "EofMidBlock"};
    return phonesim::Fault(phonesim::Fault::Kind(kinds.indexOf(row[QStringLiteral("fault")].toString())),
                           row[QStringLiteral("service")].toString(), row[QStringLiteral("step")].toInt(),
                           row[QStringLiteral("text")].toString().toUtf8(), row[QStringLiteral("size")].toInteger());
}

} // namespace loadtest
