// How agent lines are decoded: UTF-8 when the bytes are valid UTF-8, else one
// Latin-1 character per byte; CR bytes dropped either way.
#include "phonelink/protocol/simpleprotocol.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

class TestUtf8Lines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linesDecode_asUtf8OrElseLatin1()
    {
        const QList<std::pair<QByteArray, QString>> cases {
            {"$count:12\r", QStringLiteral("$count:12")},
            {"$path:/\xd0\x9c\xd0\xbe\r\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0", QStringLiteral("$path:/Москва")},
            // Not UTF-8 (Latin-1 byte, lone continuation, cut sequence,
            // overlong, NUL): each byte is its Latin-1 character.
            {"caf\xe9", QStringLiteral("caf\u00e9")},
            {"a\x80"
             "b",
             QStringLiteral("a\u0080b")},
            {"x\xe7\x85", QStringLiteral("x\u00e7\u0085")},
            {"\xc0\xaf", QStringLiteral("\u00c0\u00af")},
            {QByteArray("a\0b", 3), QString::fromLatin1("a\0b", 3)},
            {QByteArray("\0\xff", 2), QString::fromLatin1("\0\xff", 2)}};

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(3000) && server.waitForNewConnection(3000));
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        QByteArray wire;
        for (const auto& c : cases)
            wire += c.first + '\n';
        peer->write(wire);
        while (peer->bytesToWrite() > 0)
            peer->waitForBytesWritten(1000);

        for (const auto& c : cases)
            QCOMPARE(simpleprotocol::readLine(&client, 3000), c.second);
    }
};

QTEST_GUILESS_MAIN(TestUtf8Lines)
#include "test_utf8lines.moc"
