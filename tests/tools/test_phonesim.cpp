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

    std::unique_ptr<QTcpSocket> connectService(const QHostAddress& address, int port)
    {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(address, quint16(port));
        return s->waitForConnected(3000) ? std::move(s) : nullptr;
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
        const int port = freePort();
        const QByteArray url = "backup://127.0.0.1:" + QByteArray::number(port) + "/device-info";
        QCOMPARE(control(url), QByteArray("1"));
        auto s = connectService(m_address, port);
        QVERIFY(s);
        QCOMPARE(readLine(*s), QByteArray("$ready:"));
        QCOMPARE(readLine(*s),
                 QByteArray("$hello:version=20;model=M1;manufacturer=Acme;imei=356938035643809;uid=a1b2;sdk=13;"
                            "mmc=262;extra=x"));
        send(*s, "$bye:\r\n");
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        const phonesim::ConnectionLog log = m_sim->connections(QStringLiteral("service")).value(0);
        QCOMPARE(log.note, QStringLiteral("done"));
        QCOMPARE(log.linesIn, QList<QByteArray>{"$bye:\r"});
        QCOMPARE(log.bytesIn, QByteArray("$bye:\r\n"));
        QCOMPARE(m_sim->connections(QStringLiteral("control")).value(0).linesIn,
                 QList<QByteArray>{url + "\r"});
    }

    void control_refusesOnRequest_andUnknownServices()
    {
        m_sim->addFault({Fault::Kind::RefuseControl, QString(), 0, "busy now"});
        const QByteArray url = "backup://127.0.0.1:" + QByteArray::number(freePort()) + "/device-info";
        QCOMPARE(control(url), "0" + QByteArray("busy now").toBase64());
        // Only once.
        QCOMPARE(control(url), QByteArray("1"));
        QVERIFY(control("backup://127.0.0.1:1234/nope").startsWith("0"));
        QVERIFY(control("garbage").startsWith("0"));
    }

    void faults_replaceTheirStep()
    {
        const int port = freePort();
        m_sim->addFault({Fault::Kind::WrongLineAt, QStringLiteral("device-info"), 2, "$hullo:"});
        QCOMPARE(control("backup://127.0.0.1:" + QByteArray::number(port) + "/device-info"), QByteArray("1"));
        auto s = connectService(m_address, port);
        QVERIFY(s);
        QCOMPARE(readLine(*s), QByteArray("$ready:"));
        QCOMPARE(readLine(*s), QByteArray("$hullo:"));
        // The PC's "$error:" ends the session and is recorded.
        send(*s, "$error:" + QByteArray("bad").toBase64() + "\n");
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        const phonesim::ConnectionLog log = m_sim->connections(QStringLiteral("service")).value(0);
        QCOMPARE(log.note, QStringLiteral("PC error: bad"));

        const int port2 = freePort();
        m_sim->addFault({Fault::Kind::CloseAt, QStringLiteral("device-info"), 2, "$hel"});
        QCOMPARE(control("backup://127.0.0.1:" + QByteArray::number(port2) + "/device-info"), QByteArray("1"));
        auto s2 = connectService(m_address, port2);
        QVERIFY(s2);
        QCOMPARE(readLine(*s2), QByteArray("$ready:"));
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 2, 3000));
        s2->waitForReadyRead(500);
        QCOMPARE(s2->readAll(), QByteArray("$hel"));
    }

    void errorAtStep_endsTheSession()
    {
        const int port = freePort();
        m_sim->addFault({Fault::Kind::ErrorAt, QString(), 1, "kaputt"});
        QCOMPARE(control("backup://127.0.0.1:" + QByteArray::number(port) + "/device-info"), QByteArray("1"));
        auto s = connectService(m_address, port);
        QVERIFY(s);
        QCOMPARE(readLine(*s), "$error:" + QByteArray("kaputt").toBase64());
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        QVERIFY(m_sim->connections(QStringLiteral("service")).value(0).note.startsWith(QStringLiteral("fault:")));
    }

    void bridge_broadcastOpensTheServiceOnLoopback_unlessStopped()
    {
        const int port = freePort();
        const QByteArray url = "backup://127.0.0.1:" + QByteArray::number(port) + "/device-info";
        auto bridge = [this](const QByteArray& line) {
            QTcpSocket b;
            b.connectToHost(QHostAddress::LocalHost, m_sim->bridgePort());
            if (!b.waitForConnected(3000))
                return QByteArray("no bridge");
            send(b, line + "\n");
            return readLine(b);
        };
        QCOMPARE(bridge("broadcast\tSER1\t" + url), QByteArray("ok"));
        auto s = connectService(QHostAddress::LocalHost, port);
        QVERIFY(s);
        QCOMPARE(readLine(*s), QByteArray("$ready:"));
        s.reset();

        QCOMPARE(bridge("force-stop\tSER1\tcom.quillharbor.phoneagent"), QByteArray("ok"));
        QVERIFY(!m_sim->agentRunning());
        const int port2 = freePort();
        QCOMPARE(bridge("broadcast\tSER1\tbackup://127.0.0.1:" + QByteArray::number(port2) + "/device-info"),
                 QByteArray("ok"));
        QTcpSocket refused;
        refused.connectToHost(QHostAddress::LocalHost, quint16(port2));
        QVERIFY(!refused.waitForConnected(1000));
        QCOMPARE(bridge("start\tSER1\tcom.quillharbor.phoneagent/.PhoneAgent"), QByteArray("ok"));
        QVERIFY(m_sim->agentRunning());
        QCOMPARE(m_sim->bridgeCommands().size(), 4);
    }

    void stop_endsAStalledSession()
    {
        const int port = freePort();
        m_sim->addFault({Fault::Kind::StallAt, QString(), 2, {}});
        QCOMPARE(control("backup://127.0.0.1:" + QByteArray::number(port) + "/device-info"), QByteArray("1"));
        auto s = connectService(m_address, port);
        QVERIFY(s);
        QCOMPARE(readLine(*s), QByteArray("$ready:"));
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
