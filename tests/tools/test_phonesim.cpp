// The simulated phone's control port and session ends, spoken to over raw
// sockets (its served streams are met in the phone link tests).
#include "phonesim.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using phonesim::Fault;
using phonesim::PhoneSim;

class TestPhoneSim : public QObject {
    Q_OBJECT

    const QHostAddress m_address {QStringLiteral("127.0.0.23")};
    std::unique_ptr<PhoneSim> m_sim;

    static QByteArray exchange(QTcpSocket& s, const QByteArray& send)
    {
        if (!send.isEmpty() && s.write(send) > 0)
            s.waitForBytesWritten(1000);
        QElapsedTimer t;
        t.start();
        while (!s.canReadLine() && t.elapsed() < 3000 && s.state() == QAbstractSocket::ConnectedState)
            s.waitForReadyRead(50);
        return s.readLine().trimmed();
    }
    // Asks the control port for url's service; the reply line.
    QByteArray control(const QByteArray& url)
    {
        QTcpSocket c;
        c.connectToHost(m_address, m_sim->controlPort());
        return c.waitForConnected(3000) ? exchange(c, url + "\r\n") : "no connection";
    }
    // A fresh "device-info" session; its first line in *first.
    std::unique_ptr<QTcpSocket> session(QByteArray* first)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        auto s = std::make_unique<QTcpSocket>();
        if (control("backup://127.0.0.1:" + QByteArray::number(port) + "/device-info") == "1")
            s->connectToHost(m_address, port);
        if (!s->waitForConnected(3000))
            return nullptr;
        *first = exchange(*s, {});
        return s;
    }

private Q_SLOTS:
    void init()
    {
        phonesim::Fixture f;
        QString error;
        QVERIFY(!f.loadJson("[1,2]", &error) && !error.isEmpty());
        QVERIFY(f.loadJson(R"({"device": {"version": 20, "uid": "a1b2"}})", nullptr));
        PhoneSim::Options o;
        o.address = m_address;
        o.idleTimeoutMs = 3000;
        o.acceptTimeoutMs = 3000;
        m_sim = std::make_unique<PhoneSim>(f, o);
        QVERIFY2(m_sim->start(&error), qPrintable(error));
        QCOMPARE(m_sim->controlPort(), quint16(48889));
    }
    void cleanup() { m_sim.reset(); }

    void control_refusesOnceOnRequest_andUnknownServices()
    {
        m_sim->addFault({Fault::Kind::RefuseControl, QString(), 0, "busy now"});
        QCOMPARE(control("backup://127.0.0.1:1/device-info"), "0" + QByteArray("busy now").toBase64());
        QVERIFY(control("backup://127.0.0.1:1234/nope").startsWith("0"));
        QVERIFY(control("garbage").startsWith("0"));
        QVERIFY(m_sim->connections(QStringLiteral("control")).value(0).linesIn.value(0).endsWith("/device-info\r"));
        QByteArray first;
        QVERIFY(session(&first)); // the refusal was for once only
        QCOMPARE(first, QByteArray("$ready:"));
    }

    void pcError_isRecorded_andStopEndsAStalledSession()
    {
        m_sim->addFault({Fault::Kind::WrongLineAt, QStringLiteral("device-info"), 2, "$hullo:"});
        QByteArray line;
        auto s = session(&line);
        QVERIFY(s);
        QCOMPARE(exchange(*s, {}), QByteArray("$hullo:"));
        s->write("$error:" + QByteArray("bad").toBase64() + "\n");
        s->waitForBytesWritten(1000);
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        QCOMPARE(m_sim->connections(QStringLiteral("service")).value(0).note, QStringLiteral("PC error: bad"));

        m_sim->addFault({Fault::Kind::StallAt, QString(), 2, {}});
        auto stalled = session(&line);
        QVERIFY(stalled);
        QElapsedTimer t;
        t.start();
        m_sim->stop();
        QVERIFY(t.elapsed() < 2000);
    }
};

QTEST_GUILESS_MAIN(TestPhoneSim)
#include "test_phonesim.moc"
