// The simulated phone's control port and session ends, spoken to over raw
// sockets (its served streams are met in the phone link tests).
#include "phonesim.h"
#include "restoreservices.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
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
            s.waitForBytesWritten(testsupport::kHangGuardMs);
        QElapsedTimer t;
        t.start();
        while (!s.canReadLine() && t.elapsed() < testsupport::kHangGuardMs
               && s.state() == QAbstractSocket::ConnectedState)
            s.waitForReadyRead(50);
        return s.readLine().trimmed();
    }
    // Asks the control port for url's service; the reply line.
    QByteArray control(const QByteArray& url)
    {
        QTcpSocket c;
        c.connectToHost(m_address, m_sim->controlPort());
        return c.waitForConnected(testsupport::kHangGuardMs) ? exchange(c, url + "\r\n") : "no connection";
    }
    // A fresh session of the service ("device-info" by default); its first
    // line in *first.
    std::unique_ptr<QTcpSocket> session(QByteArray* first, const QByteArray& service = "backup:device-info")
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        auto s = std::make_unique<QTcpSocket>();
        const QList<QByteArray> parts = service.split(':');
        if (control(parts.at(0) + "://127.0.0.1:" + QByteArray::number(port) + "/" + parts.at(1)) == "1")
            s->connectToHost(m_address, port);
        if (!s->waitForConnected(testsupport::kHangGuardMs))
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

    // The contacts restore answers each batch with the ids of what it made
    // and keeps it for the next load; a line the agent could not take ends
    // the session with "$error:".
    void contactsRestore_answersWhatItMade_andRefusesBadLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray ann = QByteArray("Ann").toBase64();
        QTest::newRow("new contact") << "$ent:1/5/5/-3,," + ann + ",,," << QByteArray("$batch:1/5/5/-3=>1/8/8/10");
        QTest::newRow("new row") << QByteArray("$ent:3/7/7/-4,mobile,,KzE=") << QByteArray("$batch:3/7/7/-4=>3/7/7/10");
        QTest::newRow("changed row") << QByteArray("$ent:3/7/7/9,work,,KzE=") << QByteArray("$batch:");
        QTest::newRow("deletion, of nothing too") << QByteArray("$del:1/7/7/9\n$del:3/1/1/-5") << QByteArray("$batch:");
        QTest::newRow("bad Base64") << QByteArray("$ent:3/7/7/-4,mobile,,KzE") << QByteArray("bad $ent:");
        QTest::newRow("not UTF-8") << "$ent:9/7/7/-4," + QByteArray("\xff").toBase64() << QByteArray("bad $ent:");
        QTest::newRow("unknown word") << QByteArray("$ent:3/7/7/-4,cell,,") << QByteArray("bad $ent:");
        QTest::newRow("fields missing") << QByteArray("$ent:3/7/7/-4,mobile,") << QByteArray("bad $ent:");
        QTest::newRow("unknown contact") << QByteArray("$ent:3/6/6/-4,mobile,,") << QByteArray("does not have");
        QTest::newRow("unknown row") << QByteArray("$ent:3/7/7/11,mobile,,") << QByteArray("is not on the phone");
        QTest::newRow("twice") << QByteArray("$del:3/7/7/9\n$del:3/7/7/9") << QByteArray("twice");
        QTest::newRow("ungroup, bad id") << QByteArray("$ungroup:7x") << QByteArray("bad $ungroup:");
    }
    void contactsRestore_answersWhatItMade_andRefusesBadLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        m_sim->contactBook().setContacts(
            phonesim::Fixture::fromJson(
                QJsonDocument::fromJson(R"({"contacts": [{"id": 7, "rows": [{"kind": 1, "id": 8, "data2": "Bo"},
                                        {"kind": 3, "id": 9, "data1": "+2", "data2": 2}]}]})")
                    .object())
                .contacts());
        QByteArray first;
        auto s = session(&first, "restore:contacts");
        QVERIFY(s);
        const QByteArray got = exchange(*s, "$batch:\n" + line + "\n$end:\n");
        if (answer.startsWith("$batch:")) {
            QCOMPARE(got, answer);
            QCOMPARE(exchange(*s, "$bye:\n"), QByteArray());
        } else {
            QVERIFY2(got.startsWith("$error:") && QByteArray::fromBase64(got.mid(7)).contains(answer), got.constData());
        }
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, testsupport::kHangGuardMs));
        // What it made, the next load sends.
        if (answer.contains("=>")) {
            QByteArray loaded;
            auto load = session(&loaded, "backup:contacts");
            QVERIFY(load);
            QByteArray all;
            for (QByteArray l = exchange(*load, {}); !l.isEmpty() && l != "$end:"; l = exchange(*load, {}))
                all += l + '\n';
            QVERIFY2(all.contains("$ent:" + answer.mid(answer.indexOf("=>") + 2)), all.constData());
        }
    }

    // "$ungroup:" takes the contact out of all its groups and keeps its
    // other rows; a contact the phone does not have has nothing to leave.
    void contactsRestore_ungroupRemovesTheGroupRowsOnly()
    {
        m_sim->contactBook().setContacts(
            phonesim::Fixture::fromJson(
                QJsonDocument::fromJson(R"({"contacts": [{"id": 7, "rows": [{"kind": 1, "id": 8, "data2": "Bo"},
                                        {"kind": 7, "id": 5, "data2": "Club"}, {"kind": 3, "id": 9, "data1": "+2"},
                                        {"kind": 7, "id": 6, "data2": "Work"}]}]})")
                    .object())
                .contacts());
        QByteArray first;
        auto s = session(&first, "restore:contacts");
        QVERIFY(s);
        QCOMPARE(exchange(*s, "$batch:\n$ungroup:7\n$ungroup:6\n$end:\n"), QByteArray("$batch:"));
        QCOMPARE(exchange(*s, "$bye:\n"), QByteArray());
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, testsupport::kHangGuardMs));
        QStringList rows;
        for (const phonesim::SimRow& r : m_sim->contactBook().contacts().value(0).rows)
            rows << r.id;
        QCOMPARE(rows, QStringList({"1/7/7/8", "3/7/7/9"}));
    }

    void pcError_isRecorded_andStopEndsAStalledSession()
    {
        m_sim->addFault({Fault::Kind::WrongLineAt, QStringLiteral("device-info"), 2, "$hullo:"});
        QByteArray line;
        auto s = session(&line);
        QVERIFY(s);
        QCOMPARE(exchange(*s, {}), QByteArray("$hullo:"));
        s->write("$error:" + QByteArray("bad").toBase64() + "\n");
        s->waitForBytesWritten(testsupport::kHangGuardMs);
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, testsupport::kHangGuardMs));
        QCOMPARE(m_sim->connections(QStringLiteral("service")).value(0).note, QStringLiteral("PC error: bad"));

        m_sim->addFault({Fault::Kind::StallAt, QString(), 2, {}});
        auto stalled = session(&line);
        QVERIFY(stalled);
        {
            const testsupport::HangGuard guard([&] { m_sim->releaseStalls(); });
            m_sim->stop();
            QVERIFY2(!guard.fired(), "stop waited for the stall to be released");
        }
        QCOMPARE(m_sim->connections(QStringLiteral("service")).value(1).note, QStringLiteral("fault: stall at step 2"));
    }

    // What the PC sent last, with no answer to wait for, is in the records
    // as soon as the PC sent it: the readers wait for the simulator to take
    // it in. A session waiting for the PC, or held by a stall, does not keep
    // them waiting.
    void readers_holdWhatThePcSentLast()
    {
        for (int i = 1; i <= 20; ++i) {
            QByteArray line;
            auto s = session(&line);
            QVERIFY(s);
            QCOMPARE(line, QByteArray("$ready:"));
            QCOMPARE(exchange(*s, {}).left(7), QByteArray("$hello:"));
            s->write("$bye:\n");
            QVERIFY(s->waitForBytesWritten(testsupport::kHangGuardMs));
            QCOMPARE(m_sim->linesReceived(QStringLiteral("device-info")), QList<QByteArray>(i, "$bye:"));
        }

        QByteArray line;
        auto waiting = session(&line); // device-info waits for "$bye:"
        QVERIFY(waiting);
        m_sim->addFault({Fault::Kind::StallAt, QString(), 2, {}});
        auto stalled = session(&line);
        QVERIFY(stalled);
        QVERIFY(m_sim->waitSettled(testsupport::kHangGuardMs));
        const QList<phonesim::ConnectionLog> open = m_sim->connections(QStringLiteral("service"));
        QCOMPARE(open.size(), 22);
        QVERIFY(!open.at(20).finished && !open.at(21).finished);
        m_sim->releaseStalls();

        // Nor does a control connection whose PC has yet to send its request
        // (the PC may be checking the records before it does).
        QTcpSocket asking;
        asking.connectToHost(m_address, m_sim->controlPort());
        QVERIFY(asking.waitForConnected(testsupport::kHangGuardMs));
        const QDeadlineTimer guard(testsupport::kHangGuardMs);
        while (m_sim->connections(QStringLiteral("control")).size() < 23)
            QVERIFY(!guard.hasExpired() && m_sim->waitSettled(int(guard.remainingTime())));
        QCOMPARE(exchange(asking, "backup://127.0.0.1:1/nope\r\n").left(1), QByteArray("0"));
    }

    // The upload keeps a file once it arrived whole, listed from then on;
    // a path or block line out of the dialogue ends the session.
    void upload_keepsWholeFilesOnly_andRefusesBadLines()
    {
        const auto store = phonesim::registerRestoreServices(*m_sim);
        const QByteArray url = "restore:upload";
        QByteArray line;
        auto s = session(&line, url);
        QVERIFY(s);
        QCOMPARE(exchange(*s, "$file:/Music/a.txt\n$block:3\nabc"), QByteArray("."));
        QCOMPARE(exchange(*s, ".\n"), QByteArray("$file:"));
        QByteArray stored;
        QVERIFY(m_sim->files().read(QStringLiteral("/Music/a.txt"), &stored));
        QCOMPARE(stored, QByteArray("abc"));
        QCOMPARE(m_sim->files().list(QStringLiteral("/")).value(0).path, QStringLiteral("/Music"));
        QVERIFY(exchange(*s, "$file:/Music/../etc/x\n").startsWith("$error:"));

        for (const QByteArray& bad : {QByteArray("$file:/y\n$block:0\n"), QByteArray("$file:/y\n$block:524289\n"),
                                      QByteArray("$file:y\n"), QByteArray("$file:/y\n$blob:1\n")}) {
            auto next = session(&line, url);
            QVERIFY(next);
            QVERIFY2(exchange(*next, bad).startsWith("$error:"), bad.constData());
        }
        // Cut off in the middle: nothing kept.
        auto cut = session(&line, url);
        QVERIFY(cut);
        QCOMPARE(exchange(*cut, "$file:/z.bin\n$block:2\nzz"), QByteArray("."));
        cut->abort();
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 6, testsupport::kHangGuardMs));
        QVERIFY(!m_sim->files().contains(QStringLiteral("/z.bin")));
        QVERIFY(!m_sim->files().contains(QStringLiteral("/y")));
        QCOMPARE(store->errors().size(), 5);
        QCOMPARE(store->records(QStringLiteral("upload")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPhoneSim)
#include "test_phonesim.moc"
