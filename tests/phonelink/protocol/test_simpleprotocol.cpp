// The line protocol over a real loopback socket pair, byte-exact. (The
// simulated phone's streams and faults are met in the connection tests.)
#include "phonelink/protocol/simpleprotocol.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTime>

#include <memory>

using namespace simpleprotocol;

namespace {

// A connected client/peer pair on 127.0.0.1, both used from the test thread.
struct Pair {
    QTcpServer server;
    QTcpSocket client;
    std::unique_ptr<QTcpSocket> peer;
    QBuffer out; // where blocks go

    bool open()
    {
        out.open(QIODevice::WriteOnly);
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
        while (peer->bytesToWrite() > 0 && peer->waitForBytesWritten(1000)) {}
    }
    // Everything the client sent, until it pauses (a second at most).
    QByteArray peerReceives()
    {
        QByteArray got;
        for (int i = 0; i < 20 && (peer->waitForReadyRead(50) || got.isEmpty()); ++i)
            got += peer->readAll();
        return got;
    }
};

// The message of the E that f throws; "<none>" when it throws nothing.
template <typename E, typename F> QString thrown(F f)
{
    try {
        f();
    } catch (const E& e) {
        return e.message();
    }
    return QStringLiteral("<none>");
}

QByteArray pattern(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(i * 7 + 3);
    return b;
}

} // namespace

class TestSimpleProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readLine_dropsEveryCarriageReturn_andTurnsEmptyLinesAndErrorsIntoFailures()
    {
        Pair p;
        QVERIFY(p.open());
        const QString text = QStringLiteral("Zugriff verweigert: \u00fc\u20ac");
        p.peerSends("$count:12\r\n$a\rb:\r\n$block:3\nxyz$end:\n\r\n$error:\n$error:" + text.toUtf8().toBase64()
                    + "\n");
        QCOMPARE(readLine(&p.client, 1000), QStringLiteral("$count:12"));
        QCOMPARE(readLine(&p.client, 1000), QStringLiteral("$ab:"));
        QCOMPARE(readCommand(&p.client, 1000), QStringLiteral("$block:3"));
        char buf[3];
        readData(&p.client, buf, 3, 1000);
        QCOMPARE(QByteArray(buf, 3), QByteArray("xyz"));
        // A prefix matches; a wrong line tells the phone first (see the Wi-Fi connection test).
        QCOMPARE(expectCommand(&p.client, QStringLiteral("$end"), 1000), QStringLiteral("$end:"));
        QCOMPARE(thrown<SocketDataTransferException>([&] { readCommand(&p.client, 1000); }),
                 QStringLiteral("Null command."));
        QCOMPARE(thrown<RemoteException>([&] { readCommand(&p.client, 1000); }), QString());
        QCOMPARE(thrown<RemoteException>([&] { readCommand(&p.client, 1000); }), text);
    }

    // (Cancelling a wait without a time limit is met in the Wi-Fi connection test.)
    void peerStallingOrClosing_midLineOrBlock_failsInsteadOfHanging()
    {
        Pair p;
        QVERIFY(p.open());
        QElapsedTimer t;
        t.start();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readCommand(&p.client, 300));
        QVERIFY(t.elapsed() < 2000);
        p.peerSends("$hel");
        p.peer->disconnectFromHost();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readLine(&p.client, -1));
        Pair b;
        QVERIFY(b.open());
        b.peerSends("$block:10\nabc");
        b.peer->disconnectFromHost();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException,
                                 readBlock(&b.client, readCommand(&b.client, 1000), &b.out, 1000));
        QCOMPARE(b.out.data(), QByteArray("abc"));
        // Telling a closed peer about a local fault is a transfer failure too.
        p.client.abort();
        QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, throw LocalException(&p.client, QStringLiteral("x")));
    }

    void fields_roundTripAsBase64_andIdsMustBeWholeQuadruples()
    {
        const QString text = QStringLiteral("M\u00fcller, Anna / \u4e2d\u6587");
        QVERIFY(!encodeField(text).contains(QLatin1Char(',')));
        QCOMPARE(decodeField(encodeField(text)), text);

        int kind = 0;
        qint64 a = 0, b = 0, c = 0;
        QVERIFY(parseId(QStringLiteral("3/9000000000/-1/-42"), &kind, &a, &b, &c));
        QCOMPARE(QList<qint64>({kind, a, b, c}), QList<qint64>({3, 9000000000ll, -1, -42}));
        kind = 77;
        for (const char* bad :
             {"3/1/2", " 3/1/2/4", "3/1/2/4/5", "3/1/2/4\n", "a/1/2/3", "3//2/4", "", "99999999999/1/2/3"}) {
            QVERIFY2(!parseId(QString::fromLatin1(bad), &kind, &a, &b, &c), bad);
            QCOMPARE(kind, 77);
        }
    }

    void localPort_followsTheFormula_andWraps()
    {
        setLocalPortCounter(99);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40599);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40501);
        QCOMPARE(nextLocalPort(QTime(23, 59, 59)), (59 + 3 * 100 + 100) * 100 + 2);
        QCOMPARE(nextLocalPort(QTime(0, 0, 0)), 10003);
        // Calls in one second never give the same port.
        QSet<int> seen;
        for (int i = 0; i < 99; ++i)
            seen.insert(nextLocalPort(QTime(1, 2, 3)));
        QCOMPARE(seen.size(), 99);
        const int port = nextLocalPort();
        QVERIFY(port >= 10001 && port <= 45999);
    }

    void blocks_streamBothWays()
    {
        Pair p;
        QVERIFY(p.open());
        const QByteArray big = pattern(100000); // more than one read chunk
        p.peerSends("$block:0\n$block:100000\n" + big + "$block:5\ntail!.\n");
        int blocks = 0;
        for (QString line = readCommand(&p.client, 3000); line != QLatin1String(".");
             line = readCommand(&p.client, 3000))
            blocks += readBlock(&p.client, line, &p.out, 3000) >= 0;
        QCOMPARE(blocks, 3);
        QCOMPARE(p.out.data(), big + "tail!");

        // Each block read was acknowledged; each block written waits for the
        // phone's acknowledgement.
        p.peerSends(".\n.\n");
        writeBlock(&p.client, pattern(7000), 3000);
        writeBlock(&p.client, "\n\r\n", 3000);
        QCOMPARE(p.peerReceives(), ".\n.\n.\n$block:7000\n" + pattern(7000) + "$block:3\n\n\r\n");
    }

    void plainArguments_withALineBreak_areRefusedBeforeAnyByteIsSent()
    {
        Pair p;
        QVERIFY(p.open());
        // The phone ends a line at LF and at CR: either would cut the request
        // in two. The error names the command and shows the argument.
        QCOMPARE(
            thrown<ArgumentException>([&] {
                sendCommand(&p.client, QStringLiteral("$del:"), QStringLiteral("/sdcard/A\nB/x.txt"), true, 1000);
            }),
            QStringLiteral("The argument of $del: contains a line break and was not sent: \"/sdcard/A\\nB/x.txt\""));
        QVERIFY_THROWS_EXCEPTION(
            ArgumentException, sendCommand(&p.client, QStringLiteral("$dload:"), QStringLiteral("/a\rb"), true, 1000));
        QVERIFY_THROWS_EXCEPTION(ArgumentException,
                                 sendCommand(&p.client, QStringLiteral("$x:\n"), QString(), true, 1000));
        // Nothing went out, and the connection is still in step.
        sendCommand(&p.client, QStringLiteral("$del:"), QStringLiteral("/sdcard/A B/\u00fc.txt"), true, 1000);
        QCOMPARE(p.peerReceives(), QStringLiteral("$del:/sdcard/A B/\u00fc.txt\n").toUtf8());
    }

    void blockLines_outOfRangeOrNotANumber_areRefused_data()
    {
        QTest::addColumn<QString>("line");
        for (const QString& line : {QStringLiteral("$block:-5"), QStringLiteral("$block:%1").arg(qint64(1) << 40),
                                    QStringLiteral("$block:%1").arg(kMaxBlockBytes + 1), QStringLiteral("$block:12x"),
                                    QStringLiteral("$block:")})
            QTest::newRow(qPrintable(line)) << line;
    }
    void blockLines_outOfRangeOrNotANumber_areRefused()
    {
        QFETCH(QString, line);
        Pair p;
        QVERIFY(p.open());
        p.peerSends(pattern(100));
        QVERIFY_THROWS_EXCEPTION(LocalException, readBlock(&p.client, line, &p.out, 1000));
        QCOMPARE(p.out.size(), 0);
        QVERIFY(p.peerReceives().startsWith("$error:")); // the phone was told why
    }
};

QTEST_GUILESS_MAIN(TestSimpleProtocol)
#include "test_simpleprotocol.moc"
