// How agent lines are decoded: UTF-8 when the bytes are valid UTF-8, else one
// Latin-1 character per byte; CR bytes dropped either way.
#include "phonelink/protocol/simpleprotocol.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

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
};

} // namespace

class TestUtf8Lines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("$count:12\r") << QStringLiteral("$count:12");
        QTest::newRow("chinese") << QByteArray("$atta:image/jpeg,\xe7\x85\xa7\xe7\x89\x87.jpg")
                                 << QStringLiteral("$atta:image/jpeg,照片.jpg");
        QTest::newRow("cyrillic, CR inside") << QByteArray("$path:/\xd0\x9c\xd0\xbe\r\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0")
                                             << QStringLiteral("$path:/Москва");
        QTest::newRow("accented") << QByteArray("$hello:model=caf\xc3\xa9") << QStringLiteral("$hello:model=café");
        QTest::newRow("byte-order mark kept") << QByteArray("\xef\xbb\xbfx") << QString(QChar(0xFEFF)) + QLatin1Char('x');
        // Not UTF-8: each byte is its Latin-1 character, as always.
        QTest::newRow("latin-1 e acute") << QByteArray("caf\xe9") << QStringLiteral("caf\u00e9");
        QTest::newRow("lone continuation") << QByteArray("a\x80" "b") << QStringLiteral("a\u0080b");
        QTest::newRow("cut sequence") << QByteArray("x\xe7\x85") << QStringLiteral("x\u00e7\u0085");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QStringLiteral("\u00c0\u00af");
        QTest::newRow("surrogate half") << QByteArray("\xed\xa0\x80") << QStringLiteral("\u00ed\u00a0\u0080");
        QTest::newRow("nul byte") << QByteArray("a\0b", 3) << QString::fromLatin1("a\0b", 3);
        QTest::newRow("nul and invalid") << QByteArray("\0\xff", 2) << QString::fromLatin1("\0\xff", 2);
    }

    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        Pair p;
        QVERIFY(p.open());
        p.peerSends(bytes + "\n$next:\n");
        QCOMPARE(simpleprotocol::readLine(&p.client, 3000), text);
        QCOMPARE(simpleprotocol::readLine(&p.client, 3000), QStringLiteral("$next:"));
    }

    // A block after a non-ASCII line is still read byte-exact.
    void blockAfterUtf8Line_staysIntact()
    {
        Pair p;
        QVERIFY(p.open());
        const QByteArray raw("\xe7\x85\xa7\n\xff\xfe\n\x80", 8);
        p.peerSends("$file:\xe7\x85\xa7.bin\n" + raw);
        QCOMPARE(simpleprotocol::readLine(&p.client, 3000), QStringLiteral("$file:照.bin"));
        QByteArray got(raw.size(), Qt::Uninitialized);
        simpleprotocol::readData(&p.client, got.data(), got.size(), 3000);
        QCOMPARE(got, raw);
    }
};

QTEST_GUILESS_MAIN(TestUtf8Lines)
#include "test_utf8lines.moc"
