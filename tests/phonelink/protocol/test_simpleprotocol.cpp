// The line protocol over real loopback sockets: a bare peer socket for the
// byte-exact cases, the simulated phone for streams, faults and caps.
#include "phonelink/protocol/simpleprotocol.h"

#include "phonesim.h"
#include "shell/core/jobreport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTime>

#include <atomic>
#include <memory>

using namespace simpleprotocol;

namespace {

// A connected client/peer pair on 127.0.0.1, both used from the test thread.
struct Pair {
    QTcpServer server;
    QTcpSocket client;
    std::unique_ptr<QTcpSocket> peer;

    bool open()
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!client.waitForConnected(3000) || !server.waitForNewConnection(3000))
            return false;
        peer.reset(server.nextPendingConnection());
        return peer != nullptr;
    }
    void peerSends(const QByteArray& bytes)
    {
        peer->write(bytes);
        while (peer->bytesToWrite() > 0)
            peer->waitForBytesWritten(1000);
    }
    // Everything the client sent that arrives within the time.
    QByteArray peerReceives(int waitMs = 1000)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < waitMs) {
            if (peer->waitForReadyRead(50))
                got += peer->readAll();
            else if (!got.isEmpty())
                break;
        }
        return got;
    }
};

phonesim::Fixture fixture()
{
    phonesim::Fixture f;
    f.loadJson(R"({"device": {"version": 20, "model": "M1", "manufacturer": "Acme", "imei": "1", "uid": "u"}})",
               nullptr);
    return f;
}

} // namespace

class TestSimpleProtocol : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<phonesim::PhoneSim> m_sim;

    // Opens one service of the simulator over its control port, as the Wi-Fi
    // road does, and reads "$ready:".
    std::unique_ptr<QTcpSocket> openService(const QString& service)
    {
        const int port = freePort();
        const QString url = QStringLiteral("backup://127.0.0.1:%1/%2").arg(port).arg(service);
        QTcpSocket control;
        control.connectToHost(QHostAddress::LocalHost, m_sim->controlPort());
        if (!control.waitForConnected(3000))
            return nullptr;
        sendCommand(&control, url, QString(), true, 3000);
        const QString reply = readLine(&control, 5000);
        if (reply.startsWith(QLatin1Char('0')))
            return nullptr;
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, quint16(port));
        if (!socket->waitForConnected(3000))
            return nullptr;
        return socket;
    }

    static int freePort()
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        return s.serverPort();
    }

    static QByteArray pattern(int n)
    {
        QByteArray b(n, Qt::Uninitialized);
        for (int i = 0; i < n; ++i)
            b[i] = char(i * 7 + 3);
        return b;
    }

private Q_SLOTS:
    void init()
    {
        phonesim::PhoneSim::Options o;
        o.controlPort = 0;
        o.idleTimeoutMs = 5000;
        o.acceptTimeoutMs = 5000;
        m_sim = std::make_unique<phonesim::PhoneSim>(fixture(), o);
        // Three blocks of varied size, then the end mark.
        m_sim->registerService(QStringLiteral("blocks"), [](phonesim::Session& s) {
            s.sendBlock(QByteArray());
            s.sendBlock(pattern(200000));
            s.sendBlock("tail!");
            s.sendLine(".");
            s.expectLine("$bye:");
        });
        // Takes blocks until ".".
        m_sim->registerService(QStringLiteral("sink"), [](phonesim::Session& s) {
            for (;;) {
                const QByteArray line = s.readLine();
                if (line == ".")
                    break;
                s.readBlock(line);
            }
            s.sendLine("$end:");
        });
        QString error;
        QVERIFY2(m_sim->start(&error), qPrintable(error));
    }

    void cleanup()
    {
        m_sim.reset();
        setLocalPortProvider({});
    }

    void readLine_dropsEveryCarriageReturn_andKeepsFollowingBytes()
    {
        Pair p;
        QVERIFY(p.open());
        p.peerSends("$count:12\r\n$a\rb:\r\n$block:3\nxyz$end:\n");
        QCOMPARE(readLine(&p.client, 1000), QStringLiteral("$count:12"));
        QCOMPARE(readLine(&p.client, 1000), QStringLiteral("$ab:"));
        QCOMPARE(readCommand(&p.client, 1000), QStringLiteral("$block:3"));
        char buf[3];
        readData(&p.client, buf, 3, 1000);
        QCOMPARE(QByteArray(buf, 3), QByteArray("xyz"));
        QCOMPARE(expectCommand(&p.client, QStringLiteral("$end:"), 1000), QStringLiteral("$end:"));
    }

    void readCommand_turnsEmptyLinesAndErrorsIntoFailures()
    {
        Pair p;
        QVERIFY(p.open());
        const QString text = QStringLiteral("Zugriff verweigert: \u00fc\u20ac");
        p.peerSends("\r\n$error:\n$error:" + text.toUtf8().toBase64() + "\n");
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readCommand(&p.client, 1000));
        try {
            readCommand(&p.client, 1000);
            QFAIL("no RemoteException");
        } catch (const RemoteException& e) {
            QCOMPARE(e.message(), QString());
        }
        try {
            readCommand(&p.client, 1000);
            QFAIL("no RemoteException");
        } catch (const RemoteException& e) {
            QCOMPARE(e.message(), text);
            QCOMPARE(QString::fromUtf8(e.what()), text);
        }
    }

    void nullCommand_hasItsText()
    {
        Pair p;
        QVERIFY(p.open());
        p.peerSends("\r\n");
        try {
            readCommand(&p.client, 1000);
            QFAIL("no failure");
        } catch (const SocketDataTransferException& e) {
            QCOMPARE(e.message(), QStringLiteral("Null command."));
        }
    }

    void expectCommand_wrongLine_tellsThePhoneFirst()
    {
        Pair p;
        QVERIFY(p.open());
        p.peerSends("$file:2048\n$bye:\n");
        QCOMPARE(expectCommand(&p.client, QStringLiteral("$file:"), 1000), QStringLiteral("$file:2048"));
        const QString text = QStringLiteral("invalid feedback [$bye:], must be [$ready:]");
        try {
            expectCommand(&p.client, QStringLiteral("$ready:"), 1000);
            QFAIL("no LocalException");
        } catch (const LocalException& e) {
            QCOMPARE(e.message(), text);
        }
        QCOMPARE(p.peerReceives(), "$error:" + text.toUtf8().toBase64() + "\n");
    }

    void localException_onClosedSocket_becomesTransferFailure()
    {
        Pair p;
        QVERIFY(p.open());
        p.client.abort();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, throw LocalException(&p.client, QStringLiteral("x")));
    }

    void peerClosing_midLine_failsInsteadOfHanging()
    {
        Pair p;
        QVERIFY(p.open());
        p.peerSends("$hel");
        p.peer->disconnectFromHost();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readLine(&p.client, -1));
    }

    void writeData_emptyLength_writesNothing_andSendCommandIsOneLine()
    {
        Pair p;
        QVERIFY(p.open());
        writeData(&p.client, "abc", 0, true, 1000);
        QCOMPARE(p.client.bytesToWrite(), 0);
        QCOMPARE(p.peerReceives(200), QByteArray());
        sendCommand(&p.client, QStringLiteral("$ent:"), QStringLiteral("3/1/1/-2,mobile,,"), true, 1000);
        QCOMPARE(p.peerReceives(), QByteArray("$ent:3/1/1/-2,mobile,,\n"));
    }

    void fields_encodeAsBase64_andEmptyStaysEmpty()
    {
        QCOMPARE(encodeField(QString()), QString());
        QCOMPARE(decodeField(QString()), QString());
        const QString text = QStringLiteral("M\u00fcller, Anna / \u4e2d\u6587");
        const QString field = encodeField(text);
        QVERIFY(!field.contains(QLatin1Char(',')));
        QCOMPARE(decodeField(field), text);
        QVariantMap values{{QStringLiteral("data2"), 7}};
        QCOMPARE(encodeValue(values, QStringLiteral("data2")), QStringLiteral("Nw=="));
        QCOMPARE(encodeValue(values, QStringLiteral("data3")), QString());
    }

    void parseId_acceptsOnlyWholeQuadruples()
    {
        int kind = 0;
        qint64 a = 0, b = 0, c = 0;
        QVERIFY(parseId(QStringLiteral("3/-1/-1/-42"), &kind, &a, &b, &c));
        QCOMPARE(kind, 3);
        QCOMPARE(a, -1);
        QCOMPARE(b, -1);
        QCOMPARE(c, -42);
        QVERIFY(parseId(QStringLiteral("12/9000000000/1/2"), nullptr, &a, nullptr, nullptr));
        QCOMPARE(a, 9000000000ll);
        kind = 77;
        for (const char* bad : {"3/1/2", " 3/1/2/4", "3/1/2/4/5", "3/1/2/4\n", "a/1/2/3", "3//2/4", "",
                                "99999999999/1/2/3"}) {
            QVERIFY2(!parseId(QString::fromLatin1(bad), &kind, &a, &b, &c), bad);
            QCOMPARE(kind, 77);
        }
    }

    void localPort_followsTheFormula_andWraps()
    {
        setLocalPortCounter(3);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40503);
        setLocalPortCounter(99);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40599);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40501);
        QCOMPARE(nextLocalPort(QTime(23, 59, 59)), (59 + 3 * 100 + 100) * 100 + 2);
        QCOMPARE(nextLocalPort(QTime(0, 0, 0)), 10003);
        // Two calls in one second never give the same port.
        setLocalPortCounter(1);
        QSet<int> seen;
        for (int i = 0; i < 99; ++i)
            seen.insert(nextLocalPort(QTime(1, 2, 3)));
        QCOMPARE(seen.size(), 99);

        setLocalPortProvider([] { return 23456; });
        QCOMPARE(nextLocalPort(), 23456);
        setLocalPortProvider({});
        const int port = nextLocalPort();
        QVERIFY(port >= 10001 && port <= 45999);
    }

    void blocks_streamToADevice_andAreAcknowledged()
    {
        auto s = openService(QStringLiteral("blocks"));
        QVERIFY(s);
        expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        int blocks = 0;
        for (;;) {
            const QString line = readCommand(s.get(), 3000);
            if (line == QLatin1String("."))
                break;
            readBlock(s.get(), line, &out, 3000);
            ++blocks;
        }
        sendCommand(s.get(), QStringLiteral("$bye:"), QString(), true, 3000);
        QCOMPARE(blocks, 3);
        QCOMPARE(out.data(), pattern(200000) + "tail!");
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        QCOMPARE(m_sim->linesReceived(QStringLiteral("blocks")),
                 (QList<QByteArray>{".", ".", ".", "$bye:"}));
    }

    void writeBlock_sendsCountedBytes()
    {
        auto s = openService(QStringLiteral("sink"));
        QVERIFY(s);
        expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
        writeBlock(s.get(), pattern(70000), 3000);
        writeBlock(s.get(), "\n\r\n", 3000);
        sendCommand(s.get(), QStringLiteral("."), QString(), true, 3000);
        expectCommand(s.get(), QStringLiteral("$end:"), 3000);
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        const phonesim::ConnectionLog log = m_sim->connections(QStringLiteral("service")).value(0);
        QCOMPARE(log.bytesIn, "$block:70000\n" + pattern(70000) + "$block:3\n\n\r\n.\n");
    }

    void blockSizes_outOfRange_areRefused_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("negative") << qint64(-5);
        QTest::newRow("huge") << (qint64(1) << 40);
        QTest::newRow("above cap") << kMaxBlockBytes + 1;
    }
    void blockSizes_outOfRange_areRefused()
    {
        QFETCH(qint64, size);
        m_sim->addFault({phonesim::Fault::Kind::BlockSizeAt, QStringLiteral("blocks"), 2, {}, size});
        auto s = openService(QStringLiteral("blocks"));
        QVERIFY(s);
        expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const QString line = readCommand(s.get(), 3000);
        QCOMPARE(line, QStringLiteral("$block:%1").arg(size));
        QVERIFY_THROWS_EXCEPTION(LocalException, readBlock(s.get(), line, &out, 3000));
        QCOMPARE(out.size(), 0);
        // The phone was told why.
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 3000));
        const QList<QByteArray> in = m_sim->linesReceived(QStringLiteral("blocks"));
        QVERIFY(!in.isEmpty());
        QVERIFY(in.last().startsWith("$error:"));
    }

    void blockLine_thatIsNotANumber_isRefused()
    {
        Pair p;
        QVERIFY(p.open());
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY_THROWS_EXCEPTION(LocalException, readBlock(&p.client, QStringLiteral("$block:12x"), &out, 1000));
        QVERIFY_THROWS_EXCEPTION(LocalException, readBlock(&p.client, QStringLiteral("$block:"), &out, 1000));
        QVERIFY(p.peerReceives().startsWith("$error:"));
    }

    void endOfStream_inABlock_isATransferFailure()
    {
        m_sim->addFault({phonesim::Fault::Kind::EofMidBlock, QStringLiteral("blocks"), 3, {}, 1000});
        auto s = openService(QStringLiteral("blocks"));
        QVERIFY(s);
        expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        readBlock(s.get(), readCommand(s.get(), 3000), &out, 3000);
        const QString line = readCommand(s.get(), 3000);
        QCOMPARE(line, QStringLiteral("$block:200000"));
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readBlock(s.get(), line, &out, 3000));
        QCOMPARE(out.size(), 1000);
    }

    void oversizedLine_isRefusedAtTheCap()
    {
        m_sim->addFault({phonesim::Fault::Kind::OversizedLineAt, QStringLiteral("device-info"), 2, {},
                         kMaxLineBytes + 100});
        auto s = openService(QStringLiteral("device-info"));
        QVERIFY(s);
        expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
        try {
            readCommand(s.get(), 10000);
            QFAIL("no LocalException");
        } catch (const LocalException& e) {
            QVERIFY(e.message().startsWith(QStringLiteral("line too long")));
        }
    }

    void phoneError_insteadOfReady_isRemote()
    {
        m_sim->addFault({phonesim::Fault::Kind::ErrorAt, QStringLiteral("device-info"), 1, "no storage"});
        auto s = openService(QStringLiteral("device-info"));
        QVERIFY(s);
        try {
            expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
            QFAIL("no RemoteException");
        } catch (const RemoteException& e) {
            QCOMPARE(e.message(), QStringLiteral("no storage"));
        }
    }

    void stalledPhone_timesOut_orEndsOnCancel()
    {
        m_sim->addFault({phonesim::Fault::Kind::StallAt, QStringLiteral("device-info"), 2, {}});
        auto s = openService(QStringLiteral("device-info"));
        QVERIFY(s);
        expectCommand(s.get(), QStringLiteral("$ready:"), 3000);
        QElapsedTimer t;
        t.start();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readCommand(s.get(), 300));
        QVERIFY(t.elapsed() < 2000);

        // No time limit, but a cancel from another thread ends the wait.
        std::atomic<bool> canceled{false};
        CancelScope scope([&canceled] { return canceled.load(); });
        std::unique_ptr<QThread> canceler(QThread::create([&canceled] {
            QThread::msleep(200);
            canceled = true;
        }));
        canceler->start();
        t.restart();
        int thrown = 0;
        try {
            readCommand(s.get(), -1);
        } catch (int v) {
            thrown = v;
        }
        canceler->wait();
        QCOMPARE(thrown, jobreport::kCanceled);
        QVERIFY(t.elapsed() < 2000);
        m_sim->releaseStalls();
    }
};

QTEST_GUILESS_MAIN(TestSimpleProtocol)
#include "test_simpleprotocol.moc"
