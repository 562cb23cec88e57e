// The simulated phone speaks only through raw sockets here, so these tests
// check it without the application's protocol code.
#include "phonesim.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using phonesim::Fault;
using phonesim::PhoneSim;

namespace {

const char* kFixture = R"({
  "device": {"version": 20, "model": "M1", "manufacturer": "Acme", "imei": "356938035643809",
             "uid": "a1b2", "sdk": "13", "mmc": "262", "extra": "x"},
  "contacts": [{"id": 120, "rows": [{"kind": 1, "id": 77, "data2": "Ann", "data3": "Lee"},
                                    {"kind": 3, "id": 78, "data1": "+4930123", "data2": 2}]}]
})";

int freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QByteArray readLine(QTcpSocket& s, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!s.canReadLine() && t.elapsed() < ms)
        if (!s.waitForReadyRead(50) && s.state() != QAbstractSocket::ConnectedState)
            break;
    QByteArray line = s.readLine();
    line.chop(1);
    return line;
}

void send(QTcpSocket& s, const QByteArray& bytes)
{
    s.write(bytes);
    while (s.bytesToWrite() > 0 && s.waitForBytesWritten(1000)) {
    }
}

} // namespace

class TestPhoneSim : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PhoneSim> m_sim;
    QHostAddress m_address;

    // The control exchange; the reply line.
    QByteArray control(const QByteArray& url)
    {
        QTcpSocket c;
        c.connectToHost(m_address, m_sim->controlPort());
        if (!c.waitForConnected(3000))
            return "no connection";
        send(c, url + "\r\n");
        return readLine(c);
    }

    static QByteArray url(int port) { return "backup://127.0.0.1:" + QByteArray::number(port) + "/device-info"; }

    // Asks for "device-info" over the control port and connects to it; the
    // first line it sent in *first.
    std::unique_ptr<QTcpSocket> session(QByteArray* first)
    {
        const int port = freePort();
        if (control(url(port)) != "1")
            return nullptr;
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(m_address, quint16(port));
        if (!s->waitForConnected(3000))
            return nullptr;
        *first = readLine(*s);
        return s;
    }

private Q_SLOTS:
    void init()
    {
        phonesim::Fixture f;
        QVERIFY(f.loadJson(kFixture, nullptr));
        PhoneSim::Options o;
        // Its own loopback address on the real control port.
        m_address = QHostAddress(QStringLiteral("127.0.0.23"));
        o.address = m_address;
        o.idleTimeoutMs = 3000;
        o.acceptTimeoutMs = 3000;
        m_sim = std::make_unique<PhoneSim>(f, o);
        QString error;
        QVERIFY2(m_sim->start(&error), qPrintable(error));
        QCOMPARE(m_sim->controlPort(), quint16(48889));
    }

    void cleanup() { m_sim.reset(); }

    void wifi_deviceInfo_isServedAndRecorded()
    {
        QByteArray first;
        auto s = session(&first);
        QVERIFY(s);
        QCOMPARE(first, QByteArray("$ready:"));
        QCOMPARE(readLine(*s),
            QByteArray("$hello:version=20;model=M1;manufacturer=Acme;imei=356938035643809;uid=a1b2;sdk=13;"
                       "mmc=262;extra=x"));
        send(*s, "$bye:\r\n");
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        const phonesim::ConnectionLog log = m_sim->connections(QStringLiteral("service")).value(0);
        QCOMPARE(log.note, QStringLiteral("done"));
        QCOMPARE(log.linesIn, QList<QByteArray> { "$bye:\r" });
        QCOMPARE(log.bytesIn, QByteArray("$bye:\r\n"));
        QVERIFY(m_sim->connections(QStringLiteral("control")).value(0).linesIn.value(0).endsWith("/device-info\r"));
    }

    void control_refusesOnRequest_andUnknownServices()
    {
        m_sim->addFault({ Fault::Kind::RefuseControl, QString(), 0, "busy now" });
        QCOMPARE(control(url(freePort())), "0" + QByteArray("busy now").toBase64());
        QCOMPARE(control(url(freePort())), QByteArray("1")); // only once
        QVERIFY(control("backup://127.0.0.1:1234/nope").startsWith("0"));
        QVERIFY(control("garbage").startsWith("0"));
    }

    void pcError_endsTheSessionAndIsRecorded()
    {
        QByteArray first;
        m_sim->addFault({ Fault::Kind::WrongLineAt, QStringLiteral("device-info"), 2, "$hullo:" });
        auto s = session(&first);
        QVERIFY(s);
        QCOMPARE(readLine(*s), QByteArray("$hullo:"));
        send(*s, "$error:" + QByteArray("bad").toBase64() + "\n");
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        QCOMPARE(m_sim->connections(QStringLiteral("service")).value(0).note, QStringLiteral("PC error: bad"));
    }

    void stop_endsAStalledSession()
    {
        QByteArray first;
        m_sim->addFault({ Fault::Kind::StallAt, QString(), 2, {} });
        auto s = session(&first);
        QVERIFY(s);
        QCOMPARE(first, QByteArray("$ready:"));
        QElapsedTimer t;
        t.start();
        m_sim->stop();
        QVERIFY(t.elapsed() < 2000);
    }

    void fixture_contactsBecomeEntLines()
    {
        phonesim::Fixture f;
        QVERIFY(f.loadJson(kFixture, nullptr));
        const QList<phonesim::SimContact> contacts = f.contacts();
        QCOMPARE(contacts.size(), 1);
        QCOMPARE(contacts.at(0).rows.size(), 2);
        QCOMPARE(phonesim::encodeEnt(contacts.at(0).rows.at(1)),
                 "$ent:3/120/120/78,mobile,," + QByteArray("+4930123").toBase64());
        QString error;
        QVERIFY(!f.loadJson("[1,2]", &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPhoneSim)
#include "test_phonesim.moc"
