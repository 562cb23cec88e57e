// vCard contact import and export: the mapping of properties to data rows,
// the round trip through our own files, and a reader of another make.
#include "contactfixtures.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using fixtures::addRow;
using fixtures::v;

namespace {

QList<pim::_Contact> importText(const QByteArray& text)
{
    return fixtures::importAll<VCardImport>(fixtures::writeFile(QStringLiteral("in.vcf"), text));
}

struct Check {
    int type, index, column;
    const char* want;
};

} // namespace

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
                                         "BEGIN:VCARD\r\nFN:only a formatted name\r\nEND:VCARD\r\n");
        QCOMPARE(contacts.size(), 2);
        const pim::_Contact& c = contacts[0];
        QCOMPARE(c.fullName, QStringLiteral("D B C A E")); // family; given; additional; prefix; suffix
        // Type words in any case, the bare parameters of vCard 2.1, the last note, names in any case.
        const Check checks[] = { { pim::ENTITY_NAME, 0, 3, "A" }, { pim::ENTITY_NAME, 0, 2, "B" },
            { pim::ENTITY_NAME, 0, 4, "C" }, { pim::ENTITY_NAME, 0, 5, "D" }, { pim::ENTITY_NAME, 0, 6, "E" },
            { pim::ENTITY_NAME, 0, 1, "D B C A E" }, { pim::ENTITY_PHONE, 0, 2, "1" }, { pim::ENTITY_PHONE, 1, 2, "1" },
            { pim::ENTITY_PHONE, 2, 2, "4" }, { pim::ENTITY_PHONE, 3, 2, "2" }, { pim::ENTITY_NOTE, 0, 1, "second" },
            { pim::ENTITY_NOTE, 1, 1, "" }, { pim::ENTITY_POSTAL, 0, 2, "2" },
            { pim::ENTITY_POSTAL, 0, 1, "S\nC, R Z\nK" }, { pim::ENTITY_EVENT, 1, 2, "1" },
            { pim::ENTITY_ORGANIZATION, 0, 5, "Sales" }, { pim::ENTITY_ORGANIZATION, 0, 4, "Boss" },
            { pim::ENTITY_EMAIL, 0, 1, "a@b.c" } };
        for (const Check& k : checks)
            QCOMPARE(v(c.rows(k.type).value(k.index), k.column), QString::fromUtf8(k.want));
        const auto events = c.rows(pim::ENTITY_EVENT);
        QCOMPARE(
            events[0].values.value(QStringLiteral("data1")).toDateTime(), QDateTime(QDate(1980, 5, 17), QTime(0, 0)));
        QVERIFY(!events[1].values.value(QStringLiteral("data1")).toDateTime().isValid()); // basic form
        QVERIFY(contacts[1].entities.isEmpty() && contacts[1].fullName.isEmpty());
        VCardImport reader;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, reader.open(QStringLiteral("/nonexistent/x.vcf")));
    }

    void phoneVersion21WithCharsets()
    {
        // As phones write them: QP names with a charset, soft breaks, a photo folded with two blanks.
        const QByteArray photo = fixtures::jpegBytes(Qt::red, 16);
        const QByteArray b64 = photo.toBase64();
        QByteArray folded;
        for (int i = 0; i < b64.size(); i += 60)
            folded += "\r\n  " + b64.mid(i, 60);
        const auto contacts
            = importText("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                         "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0;=E4=BC=9F;;;\r\n"
                         "TEL;CELL:+86 10 1234\r\n"
                         "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:J=FCrgen sagt=0D=0A=\r\nhallo\r\n"
                         "PHOTO;ENCODING=BASE64;JPEG:"
                + folded + "\r\n\r\nEND:VCARD\r\n");
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

    void exportLines()
    {
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        c.fullName = QStringLiteral("Lee, Ann\nsecond line");
        const QByteArray text = VCardExport::cardFor(c).serialize();
        QVERIFY(text.contains("\r\nN;CHARSET=UTF-8:Lee;Ann;;;\r\n"));
        // A line break in a single value keeps the card whole.
        QVERIFY(text.contains("\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Lee\\,=20Ann=0Asecond=20line\r\n"));
        QCOMPARE(text.count("\r\n"), text.count('\n'));
    }

    void roundTripThroughOwnFiles()
    {
        pim::_Contact full = fixtures::fullContact();
        addRow(full, pim::ENTITY_PHOTO, { { 15, fixtures::jpegBytes(Qt::blue) } });
        const auto back = fixtures::importAll<VCardImport>(fixtures::exportTo<VCardExport>(QStringLiteral("out.vcf"),
            { full, fixtures::named(QString::fromUtf8("山田"), QString::fromUtf8("太郎")) }));
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[1].fullName, QString::fromUtf8("山田 太郎"));
        QCOMPARE(back[0].fullName, full.fullName);
        QCOMPARE(back[0].entities.keys(), full.entities.keys());
        QCOMPARE(fixtures::photoOf(back[0]), fixtures::photoOf(full));
        for (int type : full.entities.keys()) {
            const auto want = full.rows(type), got = back[0].rows(type);
            QCOMPARE(got.size(), want.size());
            for (int i = 0; i < want.size(); ++i) {
                for (int n = 1; n <= 10; ++n) {
                    if (!want[i].values.contains(QStringLiteral("data%1").arg(n)))
                        continue;
                    const QString actual = type == pim::ENTITY_EVENT && n == 1
                        ? got[i].values.value(QStringLiteral("data1")).toDate().toString(Qt::ISODate)
                        : v(got[i], n);
                    QVERIFY2(actual == v(want[i], n),
                        qPrintable(QStringLiteral("type %1 data%2: %3").arg(type).arg(n).arg(actual)));
                }
            }
        }
    }

    void readableByAnotherVCardReader()
    {
        const QString python = QStringLiteral("/usr/bin/python3");
        QProcess probe;
        probe.start(python, { QStringLiteral("-c"), QStringLiteral("import vobject") });
        if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("/usr/bin/python3 has no vobject");

        pim::_Contact a = fixtures::fullContact();
        addRow(a, pim::ENTITY_PHOTO, { { 15, fixtures::jpegBytes(Qt::green) } });
        pim::_Contact b = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee, Jr"));
        b.fullName = QStringLiteral("Lee, Ann");
        addRow(b, pim::ENTITY_EMAIL, { { 1, QStringLiteral("ann@example.com") }, { 2, 2 } });
        const QList<pim::_Contact> contacts
            = { a, b, fixtures::named(QString::fromUtf8("Иван"), QString::fromUtf8("Петров")) };
        const QString script = QStringLiteral(
            "import json, sys, vobject\n"
            "with open(sys.argv[1], encoding='utf-8', newline='') as f:\n"
            "    print(json.dumps([[c.fn.value, c.n.value.family, c.n.value.given,\n"
            "        [t.value for t in c.contents.get('tel', [])], [e.value for e in c.contents.get('email', [])],\n"
            "        len(c.photo.value) if hasattr(c, 'photo') else 0] for c in vobject.readComponents(f.read())]))\n");
        QProcess py;
        py.start(python,
            { QStringLiteral("-c"), script, fixtures::exportTo<VCardExport>(QStringLiteral("o.vcf"), contacts) });
        QVERIFY(py.waitForFinished(60000));
        QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
        const QJsonArray cards = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
        QCOMPARE(cards.size(), contacts.size());
        for (int i = 0; i < contacts.size(); ++i) {
            const pim::_Contact& c = contacts[i];
            const ContactDataRow n = c.rows(pim::ENTITY_NAME).first();
            QStringList tels, emails;
            for (const auto& r : c.rows(pim::ENTITY_PHONE))
                tels.append(v(r, 1));
            for (const auto& r : c.rows(pim::ENTITY_EMAIL))
                emails.append(v(r, 1));
            const QJsonArray want = { c.fullName, v(n, 3), v(n, 2), QJsonArray::fromStringList(tels),
                QJsonArray::fromStringList(emails), int(fixtures::photoOf(c).size()) };
            QCOMPARE(QJsonDocument(cards[i].toArray()).toJson(), QJsonDocument(want).toJson());
        }
    }
};

QTEST_GUILESS_MAIN(TestVCardImport)
#include "test_vcard_import.moc"
