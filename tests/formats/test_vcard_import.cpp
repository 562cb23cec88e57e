// vCard contact import and export: the mapping of properties to data rows,
// the round trip through our own files, and a reader of another make.
#include "contactfixtures.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

using fixtures::addRow;
using fixtures::v;

constexpr auto importText = fixtures::importBytes<VCardImport>;

class TestVCardImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void propertiesToRows()
    {
        const auto contacts = importText("BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;B;C;D;E\r\n"
                                         "TEL;TYPE=home,voice:1\r\nTEL;TYPE=HOME:2\r\nTEL;WORK;FAX:3\r\nTEL:4\r\n"
                                         "NOTE:first\r\nNOTE:second\r\nADR;TYPE=work:P;X;S;C;R;Z;K\r\n"
                                         "BDAY:1980-05-17\r\nX-EVENT;TYPE=anniversary:19800517\r\n"
                                         "ORG:Acme;Sales;;\r\nTITLE:Boss\r\nemail:a@b.c\r\nEND:VCARD\r\n"
                                         "BEGIN:VCARD\r\nVERSION:3.0\r\nEND:VCARD\r\n");
        QCOMPARE(contacts.size(), 2);
        QCOMPARE(contacts[0].fullName, QStringLiteral("D B C A E")); // family; given; additional; prefix; suffix
        // Type words in any case, the bare parameters of vCard 2.1, the last note, names in any case,
        // dates in the basic form.
        QCOMPARE(
            fixtures::dump(contacts[0]).join(u'|'),
            QStringLiteral("1 data1=D B C A E|1 data2=B|1 data3=A|1 data4=C|1 data5=D|1 data6=E|3 data1=1|3 data2=1|"
                           "3 data1=2|3 data2=1|3 data1=3|3 data2=4|3 data1=4|3 data2=2|4 data1=a@b.c|4 data2=1|"
                           "6 data1=1980-05-17T00:00:00.000|6 data2=3|6 data1=1980-05-17T00:00:00.000|6 data2=1|"
                           "9 data1=second|10 data1=Acme|"
                           "10 data4=Boss|10 data5=Sales|12 data1=S\nC, R Z\nK|12 data10=K|12 data2=2|12 data4=S|"
                           "12 data7=C|12 data8=R|12 data9=Z"));
        QVERIFY(contacts[1].entities.isEmpty() && contacts[1].fullName.isEmpty());
    }

    void phoneVersion21WithCharsets()
    {
        // As phones write them: QP names with a charset, a bare QP parameter with a soft break, a photo
        // folded with two blanks.
        const QByteArray photo = fixtures::jpegBytes(Qt::red, 16);
        const auto contacts = importText("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                         "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0;=E4=BC=9F;;;\r\n"
                                         "TEL;CELL:+86 10 1234\r\n"
                                         "NOTE;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:J=FCrgen sagt=0D=0A=\r\nhallo\r\n"
                                         "PHOTO;ENCODING=BASE64;JPEG:\r\n  "
                                         + base64Lines(photo, 60).replace("\r\n ", "\r\n  ") + "\r\n\r\nEND:VCARD\r\n");
        QCOMPARE(contacts.size(), 1);
        QCOMPARE(contacts[0].fullName, QString::fromUtf8("伟 张"));
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_NOTE).value(0), 1), QString::fromUtf8("Jürgen sagt\r\nhallo"));
        QCOMPARE(fixtures::photoOf(contacts[0]), photo);
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_PHONE).value(0), 2), QStringLiteral("2"));
    }

    void largePhotoImportsInLinearTime()
    {
        QByteArray photo(50 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < photo.size(); i += 4096)
            photo[i] = char(i / 4096);
        QElapsedTimer timer;
        timer.start();
        const auto contacts = importText("BEGIN:VCARD\r\nN:Big;Pic\r\nPHOTO;ENCODING=B:" + base64Lines(photo, 75)
                                         + "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Next;One\r\nEND:VCARD\r\n");
        QCOMPARE(contacts.size(), 2);
        QVERIFY(fixtures::photoOf(contacts[0]) == photo);
        QCOMPARE(contacts[1].fullName, QStringLiteral("One Next"));
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }

    void roundTripThroughOwnFiles()
    {
        pim::_Contact full = fixtures::fullContact();
        addRow(full, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::blue)}});
        QVariantMap& address = full.entities[pim::ENTITY_POSTAL][0].values; // as read, with its formatted text
        address.insert(QStringLiteral("data1"), pim::formatAddress(address));
        // A line break in a single value must not split the card.
        full.entities[pim::ENTITY_ORGANIZATION][0].values.insert(QStringLiteral("data4"), QStringLiteral("Eng\nlead"));
        const QString path = fixtures::exportTo<VCardExport>(
            QStringLiteral("out.vcf"), {full, fixtures::named(QString::fromUtf8("山田"), QString::fromUtf8("太郎"))});
        const QByteArray text = fixtures::readBytes(path);
        QVERIFY(text.contains(QString::fromUtf8("\r\nN;CHARSET=UTF-8:太郎;山田;;;\r\n").toUtf8())); // family first
        QCOMPARE(text.count("\r\n"), text.count('\n'));
        auto back = fixtures::importAll<VCardImport>(path);
        QCOMPARE(back.size(), 2);
        QVariant& birthday = back[0].entities[pim::ENTITY_EVENT][0].values[QStringLiteral("data1")];
        birthday = birthday.toDate().toString(Qt::ISODate);
        QCOMPARE(back[1].fullName, QString::fromUtf8("山田 太郎"));
        QCOMPARE(back[0].fullName, full.fullName);
        QCOMPARE(fixtures::dump(back[0]), fixtures::dump(full));
        QCOMPARE(fixtures::photoOf(back[0]), fixtures::photoOf(full));
    }

    void readableByAnotherVCardReader()
    {
        pim::_Contact a = fixtures::fullContact();
        addRow(a, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::green)}});
        pim::_Contact b = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee, Jr"));
        b.fullName = QStringLiteral("Lee, Ann");
        addRow(b, pim::ENTITY_EMAIL, {{1, QStringLiteral("ann@example.com")}, {2, 2}});
        const QString script = QStringLiteral(
            "import json, sys, vobject\n"
            "with open(sys.argv[1], encoding='utf-8', newline='') as f:\n"
            "    print(json.dumps([[c.fn.value, c.n.value.family, c.n.value.given,\n"
            "        [t.value for t in c.contents.get('tel', [])], [e.value for e in c.contents.get('email', [])],\n"
            "        len(c.photo.value) if hasattr(c, 'photo') else 0] for c in vobject.readComponents(f.read())]))\n");
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), script, fixtures::exportTo<VCardExport>(QStringLiteral("o.vcf"), {a, b})});
        QVERIFY(py.waitForFinished(60000));
        const QByteArray err = py.readAllStandardError();
        if (err.contains("No module named 'vobject'"))
            QSKIP("/usr/bin/python3 has no vobject");
        QVERIFY2(py.exitCode() == 0, err.constData());
        const QString want = QString::fromUtf8(R"([["Dr Zoë Q. Ångström-Łukasz", "Ångström-Łukasz", "Zoë",
            ["+44 20 7946 0018", "020 7946 0000", "555-WORK"], ["zoe@example.org"], %1],
            ["Lee, Ann", "Lee, Jr", "Ann", [], ["ann@example.com"], 0]])")
                                 .arg(fixtures::photoOf(a).size());
        QCOMPARE(QJsonDocument::fromJson(py.readAllStandardOutput()).toJson(),
                 QJsonDocument::fromJson(want.toUtf8()).toJson());
    }
};

QTEST_GUILESS_MAIN(TestVCardImport)
#include "test_vcard_import.moc"
