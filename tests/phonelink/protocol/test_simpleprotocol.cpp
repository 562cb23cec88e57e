// The line protocol over a real loopback socket pair, byte-exact: how lines
// are read and decoded, fields, blocks, caps, stalls and refusals. (The
// simulated phone's streams and faults are met in the connection tests.)
// The "$ent:" codec: the cases where a slip loses or mislabels data, and
// every label word and kind through the application's codec and back
// through the simulated phone's own one.
#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "simcodec.h"
#include "testsupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
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
        if (!client.waitForConnected(testsupport::kHangGuardMs)
            || !server.waitForNewConnection(testsupport::kHangGuardMs))
            return false;
        peer.reset(server.nextPendingConnection());
        return peer != nullptr;
    }
    void peerSends(const QByteArray& bytes)
    {
        peer->write(bytes);
        while (peer->bytesToWrite() > 0 && peer->waitForBytesWritten(testsupport::kHangGuardMs)) {}
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

ContactDataRow row(qint64 id, const QVariantMap& values, const QString& srcId = QString())
{
    ContactDataRow r(id, srcId);
    r.values = values;
    return r;
}

// The fields of a row of the kind written by the PC.
QStringList enc(int kind, const QVariantMap& values)
{
    return encodeDataRow(kind, 1, 1, row(1, values)).split(QLatin1Char(','));
}

QVariantMap dec(const QStringList& fields, int kind, QVariantMap v = {})
{
    decodeContact(fields, kind, v);
    return v;
}

QString b64(const char* text)
{
    return QString::fromLatin1(QByteArray(text).toBase64());
}

// The column that carries the label code of a category.
QString labelColumn(int category)
{
    return category == kImProtocolCategory ? QStringLiteral("data5") : QStringLiteral("data2");
}

} // namespace

class TestSimpleProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A line is UTF-8 when its bytes are, else one Latin-1 character per
    // byte; every CR is dropped (the cases are in agent-lines.json). An
    // empty line and "$error:" are failures.
    void readLine_decodesAndDropsCarriageReturns_emptyLinesAndErrorsFail()
    {
        const QJsonArray lines
            = QJsonDocument::fromJson(testsupport::readFile(testsupport::sourceDir()
                                                            + QStringLiteral("/tests/phonelink/data/agent-lines.json")))
                  .array();
        QVERIFY(!lines.isEmpty());
        Pair p;
        QVERIFY(p.open());
        const QString text = QStringLiteral("Zugriff verweigert: \u00fc\u20ac");
        QByteArray wire;
        for (const QJsonValue& l : lines)
            wire += QByteArray::fromHex(l[QStringLiteral("bytes")].toString().toLatin1()) + '\n';
        p.peerSends(wire + "$block:3\nxyz$end:\n\r\n$error:\n$error:" + text.toUtf8().toBase64() + "\n");
        for (const QJsonValue& l : lines)
            QCOMPARE(readLine(&p.client, 1000), l[QStringLiteral("text")].toString());
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
        // Not before its time; the upper bound is a hang guard.
        QVERIFY2(t.elapsed() >= 300 && t.elapsed() < testsupport::kHangGuardMs,
                 qPrintable(QString::number(t.elapsed())));
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
        for (const char* bad :
             {"3/1/2", " 3/1/2/4", "3/1/2/4/5", "3/1/2/4\n", "a/1/2/3", "3//2/4", "", "99999999999/1/2/3"})
            QVERIFY2(!parseId(QString::fromLatin1(bad), &kind, &a, &b, &c), bad);
    }

    void localPort_followsTheFormula_andNeverRepeatsWithinASecond()
    {
        setLocalPortCounter(99);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40599);
        QCOMPARE(nextLocalPort(QTime(12, 7, 5)), 40501);
        QSet<int> seen;
        for (int i = 0; i < 99; ++i)
            seen.insert(nextLocalPort(QTime(23, 59, 59)));
        QCOMPARE(seen.size(), 99);
        QVERIFY(*std::max_element(seen.begin(), seen.end()) <= 45999 && nextLocalPort(QTime(0, 0, 0)) >= 10001);
    }

    void blocks_streamBothWays_andBadSizesAreRefused()
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

        // A size out of range or not a number: nothing is taken for block
        // bytes, and the phone is told why.
        p.peerSends(pattern(100));
        p.out.buffer().clear();
        for (const QString& line : {QStringLiteral("$block:-5"), QStringLiteral("$block:%1").arg(qint64(1) << 40),
                                    QStringLiteral("$block:%1").arg(kMaxBlockBytes + 1), QStringLiteral("$block:12x"),
                                    QStringLiteral("$block:")}) {
            QVERIFY_THROWS_EXCEPTION(LocalException, readBlock(&p.client, line, &p.out, 1000));
            QVERIFY2(p.out.data().isEmpty() && p.peerReceives().startsWith("$error:"), qPrintable(line));
        }
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

    // (Local ids, label words and texts with commas are met in the round
    // trips below.)
    void oddValues_keepOrClearTheirColumns()
    {
        const QString d1 = QStringLiteral("data1"), d2 = QStringLiteral("data2"), d3 = QStringLiteral("data3");
        // The phone's own id is kept.
        QVERIFY(encodeDataRow(3, 5, 5, row(12, {}, QStringLiteral("3/880/41/9100")))
                    .startsWith(QStringLiteral("3/880/41/9100,")));
        // Photo bytes survive; a date that is none goes out empty and comes
        // in as no date.
        const QByteArray jpeg("\xff\xd8\xff\xe0\x00\x10JFIF\x00,,", 14);
        QCOMPARE(dec(enc(2, {{QStringLiteral("data15"), jpeg}}), 2).value(QStringLiteral("data15")).toByteArray(),
                 jpeg);
        QCOMPARE(enc(6, {{d1, QStringLiteral("soon")}}).at(3), QString());
        QCOMPARE(dec({"6/1/1/1", "birthday", QString(), "1980-02-30"}, 6, {{d1, QStringLiteral("x")}}).value(d1),
                 QVariant(QString()));
        // A custom label wins over the word; a short line keeps the columns it
        // does not carry.
        QCOMPARE(dec({"3/1/1/1", "work", b64("Office"), QString()}, 3),
                 (QVariantMap {{d1, QString()}, {d2, 0}, {d3, QStringLiteral("Office")}}));
        QCOMPARE(dec({"1/1/1/1", b64("Dr."), b64("Ann")}, 1, {{d3, QStringLiteral("kept")}}).value(d3),
                 QVariant(QStringLiteral("kept")));
    }

    // Every label word of every kind: PC writes, phone reads and writes it
    // back, PC reads it. Both sides must agree on the word and the code.
    void everyLabel_roundTripsThroughThePhonesCodec()
    {
        const QList<QPair<int, int>> phoneLabels = phonesim::codec::allLabels();
        QCOMPARE(labelTable().size(), phoneLabels.size());
        for (auto it = labelTable().cbegin(); it != labelTable().cend(); ++it) {
            const int category = it.key() / 100;
            const int code = it.key() % 100;
            QVERIFY2(phoneLabels.contains({category, code}), qPrintable(it.value()));
            QCOMPARE(labelCode(category, it.value()), code);
            const int kind = category == kImProtocolCategory ? 8 : category;
            QVariantMap values {{labelColumn(category), code}, {QStringLiteral("data1"), QStringLiteral("v\u00e4l")}};
            if (category == kImProtocolCategory)
                values.insert(QStringLiteral("data2"), 1);
            if (kind == 6)
                values.insert(QStringLiteral("data1"), QStringLiteral("2001-01-31"));
            const QString arg = encodeDataRow(kind, 40, 40, row(7, values));

            phonesim::SimRow onPhone;
            QVERIFY(phonesim::decodeEnt("$ent:" + arg.toLatin1(), &onPhone));
            QCOMPARE(onPhone.kind, kind);
            QCOMPARE(onPhone.id, QStringLiteral("%1/40/40/-7").arg(kind));
            QCOMPARE(onPhone.columns.value(labelColumn(category)).toInt(), code);
            QCOMPARE(phonesim::codec::word(category, code), it.value().toLatin1());

            const QByteArray back = phonesim::encodeEnt(onPhone);
            QCOMPARE(back, "$ent:" + arg.toLatin1());
            const QVariantMap read = dec(QString::fromLatin1(back.mid(5)).split(QLatin1Char(',')), kind);
            QCOMPARE(read.value(labelColumn(kind == 5 ? 5 : category)).toInt(), kind == 5 ? 1 : code);
        }
    }

    void everyKind_roundTripsItsColumns()
    {
        // Each kind with the columns its line carries.
        for (const char* layout : {"1 data5 data2 data4 data3 data6", "3 data3 data1", "4 data3 data1", "7 data2",
                                   "8 data3 data6 data1", "9 data1", "10 data3 data1 data5 data4", "11 data3 data1",
                                   "12 data3 data10 data8 data7 data4 data9", "13 data3 data1"}) {
            QStringList columns = QString::fromLatin1(layout).split(QLatin1Char(' '));
            const int kind = columns.takeFirst().toInt();
            QVariantMap values;
            for (const QString& c : columns)
                values.insert(c, QStringLiteral("%1 \u00e9,%2").arg(c).arg(kind));
            phonesim::SimRow onPhone;
            QVERIFY(phonesim::decodeEnt(enc(kind, values).join(QLatin1Char(',')).toLatin1(), &onPhone));
            const QVariantMap read
                = dec(QString::fromLatin1(phonesim::encodeEnt(onPhone).mid(5)).split(QLatin1Char(',')), kind);
            for (const QString& c : columns) {
                QCOMPARE(onPhone.columns.value(c).toString(), values.value(c).toString());
                QCOMPARE(read.value(c).toString(), values.value(c).toString());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSimpleProtocol)
#include "test_simpleprotocol.moc"
