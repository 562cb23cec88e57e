// vCard contact import and export: the mapping of properties to data rows,
// the round trip through our own files, and a reader of another make.
#include "contactfixtures.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using fixtures::row;

namespace {

QString v(const ContactDataRow& r, int n)
{
    return pim::valueText(r.values, QStringLiteral("data%1").arg(n));
}

QList<pim::_Contact> importText(const QByteArray& text)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("vcf")) + QStringLiteral("/in.vcf");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(text);
    f.close();
    VCardImport reader;
    reader.open(path);
    QList<pim::_Contact> out;
    while (reader.hasNext())
        out.append(reader.next());
    return out;
}

QString exportContacts(const QList<pim::_Contact>& contacts)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("vcfout")) + QStringLiteral("/out.vcf");
    VCardExport out(path);
    out.begin();
    for (const auto& c : contacts)
        out.write(c);
    out.end();
    return path;
}

} // namespace

class TestVCardImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nameComponentsUseStandardOrder()
    {
        const auto contacts = importText("BEGIN:VCARD\r\nN:A;B;C;D;E\r\nEND:VCARD\r\n");
        QCOMPARE(contacts.size(), 1);
        const ContactDataRow n = contacts[0].entities.value(pim::ENTITY_NAME).first();
        QCOMPARE(v(n, 3), QStringLiteral("A")); // family
        QCOMPARE(v(n, 2), QStringLiteral("B")); // given
        QCOMPARE(v(n, 4), QStringLiteral("C"));
        QCOMPARE(v(n, 5), QStringLiteral("D"));
        QCOMPARE(v(n, 6), QStringLiteral("E"));
        QCOMPARE(contacts[0].fullName, QStringLiteral("D B C A E"));
        QCOMPARE(v(n, 1), contacts[0].fullName);
    }

    void propertiesToRows()
    {
        const auto contacts = importText("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n"
                                         "TEL;TYPE=home,voice:1\r\nTEL;TYPE=HOME:2\r\nTEL;WORK;FAX:3\r\nTEL:4\r\n"
                                         "NOTE:first\r\nNOTE:second\r\n"
                                         "ADR;TYPE=work:P;X;S;C;R;Z;K\r\n"
                                         "BDAY:1980-05-17\r\nX-EVENT;TYPE=anniversary:19800517\r\n"
                                         "X-IM;TYPE=skype:me\r\nX-REL;TYPE=sister:Ann\r\nURL;TYPE=blog:u\r\n"
                                         "ORG:Acme;Sales;;\r\nTITLE:Boss\r\nemail:a@b.c\r\nEND:VCARD\r\n"
                                         "BEGIN:VCARD\r\nFN:only a formatted name\r\nEND:VCARD\r\n");
        QCOMPARE(contacts.size(), 2);
        const pim::_Contact& c = contacts[0];
        const auto phones = c.rows(pim::ENTITY_PHONE);
        QCOMPARE(phones.size(), 4);
        QCOMPARE(v(phones[0], 2), QStringLiteral("1"));
        QCOMPARE(v(phones[1], 2), QStringLiteral("1")); // upper-case type words count too
        QCOMPARE(v(phones[2], 2), QStringLiteral("4")); // vCard 2.1 bare parameters
        QCOMPARE(v(phones[3], 2), QStringLiteral("2"));
        QCOMPARE(c.rows(pim::ENTITY_NOTE).size(), 1);
        QCOMPARE(v(c.rows(pim::ENTITY_NOTE)[0], 1), QStringLiteral("second"));
        const ContactDataRow adr = c.rows(pim::ENTITY_POSTAL).first();
        QCOMPARE(v(adr, 4), QStringLiteral("S"));
        QCOMPARE(v(adr, 7), QStringLiteral("C"));
        QCOMPARE(v(adr, 8), QStringLiteral("R"));
        QCOMPARE(v(adr, 9), QStringLiteral("Z"));
        QCOMPARE(v(adr, 10), QStringLiteral("K"));
        QCOMPARE(v(adr, 2), QStringLiteral("2"));
        QCOMPARE(v(adr, 1), QStringLiteral("S\nC, R Z\nK"));
        const auto events = c.rows(pim::ENTITY_EVENT);
        QCOMPARE(events[0].values.value(QStringLiteral("data1")).toDateTime(), QDateTime(QDate(1980, 5, 17), QTime(0, 0)));
        QVERIFY(!events[1].values.value(QStringLiteral("data1")).toDateTime().isValid()); // basic form
        QCOMPARE(v(events[1], 2), QStringLiteral("1"));
        QCOMPARE(v(c.rows(pim::ENTITY_IM)[0], 5), QStringLiteral("4"));
        QCOMPARE(v(c.rows(pim::ENTITY_RELATION)[0], 2), QStringLiteral("13"));
        QCOMPARE(v(c.rows(pim::ENTITY_WEBSITE)[0], 2), QStringLiteral("2"));
        const ContactDataRow org = c.rows(pim::ENTITY_ORGANIZATION).first();
        QCOMPARE(v(org, 1), QStringLiteral("Acme"));
        QCOMPARE(v(org, 5), QStringLiteral("Sales"));
        QCOMPARE(v(org, 4), QStringLiteral("Boss"));
        QCOMPARE(c.rows(pim::ENTITY_EMAIL).size(), 1); // names are case-insensitive
        QVERIFY(c.fullName.isEmpty()); // no N
        QVERIFY(contacts[1].entities.isEmpty());
    }

    void phoneVersion21WithCharsets()
    {
        // As phones write them: QP names with a charset, soft breaks, a photo
        // folded with leading blanks.
        const QByteArray photo = fixtures::jpegBytes(Qt::red, 16);
        QByteArray b64 = photo.toBase64();
        QByteArray folded;
        for (int i = 0; i < b64.size(); i += 60)
            folded += "\r\n  " + b64.mid(i, 60);
        const QByteArray text = "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0;=E4=BC=9F;;;\r\n"
                                "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=E4=BC=9F\r\n"
                                "TEL;CELL:+86 10 1234\r\n"
                                "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:J=FCrgen sagt=0D=0A=\r\n"
                                "hallo\r\n"
                                "PHOTO;ENCODING=BASE64;JPEG:" + folded + "\r\n\r\n"
                                "END:VCARD\r\n";
        const auto contacts = importText(text);
        QCOMPARE(contacts.size(), 1);
        QCOMPARE(contacts[0].fullName, QString::fromUtf8("伟 张"));
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_NOTE)[0], 1), QString::fromUtf8("Jürgen sagt\r\nhallo"));
        QCOMPARE(contacts[0].rows(pim::ENTITY_PHOTO)[0].values.value(QStringLiteral("data15")).toByteArray(), photo);
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_PHONE)[0], 2), QStringLiteral("2"));
    }

    void badFiles()
    {
        QVERIFY(importText("").isEmpty());
        QVERIFY(importText("N:A;B\r\nTEL:1\r\n").isEmpty());
        // Truncated mid-card: the card is kept with what it had.
        const auto truncated = importText("BEGIN:VCARD\r\nN:Lee;Ann\r\nTEL:12");
        QCOMPARE(truncated.size(), 1);
        QCOMPARE(truncated[0].fullName, QStringLiteral("Ann Lee"));
        QCOMPARE(v(truncated[0].rows(pim::ENTITY_PHONE)[0], 1), QStringLiteral("12"));
        VCardImport reader;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, reader.open(QStringLiteral("/nonexistent/x.vcf")));
    }

    void exportLines()
    {
        pim::_Contact empty;
        empty.fullName = QStringLiteral("Solo");
        QCOMPARE(VCardExport::cardFor(empty).serialize(),
                 QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN;CHARSET=UTF-8:Solo\r\nEND:VCARD\r\n"));

        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        c.fullName = QStringLiteral("Lee, Ann\nsecond line");
        fixtures::addRow(c, pim::ENTITY_PHONE, row({{1, QStringLiteral("77")}, {2, 7}}));
        fixtures::addRow(c, pim::ENTITY_EVENT, row({{1, QStringLiteral("1980-05-17")}, {2, 3}}));
        fixtures::addRow(c, pim::ENTITY_EVENT, row({{1, QStringLiteral("2001-02-03")}, {2, 1}}));
        fixtures::addRow(c, pim::ENTITY_ORGANIZATION, row({{1, QStringLiteral("Acme")}, {5, QStringLiteral("Sales")}}));
        fixtures::addRow(c, pim::ENTITY_POSTAL, row({{2, 1}, {4, QStringLiteral("1 High St")}}));
        const QByteArray text = VCardExport::cardFor(c).serialize();
        QVERIFY(text.contains("\r\nN;CHARSET=UTF-8:Lee;Ann;;;\r\n"));
        QVERIFY(text.contains("\r\nTEL:77\r\n"));
        QVERIFY(text.contains("\r\nBDAY:1980-05-17\r\n"));
        QVERIFY(text.contains("\r\nX-EVENT;TYPE=anniversary:2001-02-03\r\n"));
        QVERIFY(text.contains("\r\nTITLE;CHARSET=UTF-8:\r\nORG;CHARSET=UTF-8:Acme;Sales;;\r\n"));
        QVERIFY(text.contains("ADR;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE;TYPE=home:;;1=20High=20St;;;;\r\n"));
        // A line break in a single value keeps the card whole.
        QVERIFY(text.contains("\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Lee\\,=20Ann=0Asecond=20line\r\n"));
        QCOMPARE(text.count("\r\n"), text.count('\n'));
    }

    void roundTripThroughOwnFiles()
    {
        pim::_Contact full = fixtures::fullContact();
        fixtures::addRow(full, pim::ENTITY_PHOTO, row({{15, fixtures::jpegBytes(Qt::blue)}}));
        full.fullName = QString::fromUtf8("Dr Zoë Q. Ångström-Łukasz");
        const QList<pim::_Contact> contacts = {full, fixtures::named(QString::fromUtf8("山田"), QString::fromUtf8("太郎"))};
        VCardImport reader;
        reader.open(exportContacts(contacts));
        QCOMPARE(reader.count(), 2);
        const pim::_Contact back = reader.next();
        QCOMPARE(back.fullName, full.fullName);
        const QList<int> types = full.entities.keys();
        QCOMPARE(back.entities.keys(), types);
        // Every column written comes back with its value.
        const QStringList checked = {QStringLiteral("data1"), QStringLiteral("data2"), QStringLiteral("data3"),
                                     QStringLiteral("data4"), QStringLiteral("data5"), QStringLiteral("data6"),
                                     QStringLiteral("data7"), QStringLiteral("data8"), QStringLiteral("data9"),
                                     QStringLiteral("data10")};
        for (int type : types) {
            const auto want = full.rows(type);
            const auto got = back.rows(type);
            QCOMPARE(got.size(), want.size());
            for (int i = 0; i < want.size(); ++i) {
                for (const QString& k : checked) {
                    if (!want[i].values.contains(k))
                        continue;
                    QString expected = pim::valueText(want[i].values, k);
                    QString actual = pim::valueText(got[i].values, k);
                    if (type == pim::ENTITY_EVENT && k == QLatin1String("data1"))
                        actual = got[i].values.value(k).toDateTime().date().toString(Qt::ISODate);
                    QVERIFY2(actual == expected, qPrintable(QStringLiteral("type %1 %2: '%3' != '%4'")
                                                                .arg(type).arg(k, actual, expected)));
                }
            }
        }
        QCOMPARE(back.rows(pim::ENTITY_PHOTO)[0].values.value(QStringLiteral("data15")).toByteArray(),
                 full.rows(pim::ENTITY_PHOTO)[0].values.value(QStringLiteral("data15")).toByteArray());
        QCOMPARE(reader.next().fullName, QString::fromUtf8("山田 太郎"));
    }

    void readableByAnotherVCardReader()
    {
        const QString python = QStringLiteral("/usr/bin/python3");
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import vobject")});
        if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("/usr/bin/python3 has no vobject");

        pim::_Contact a = fixtures::fullContact();
        fixtures::addRow(a, pim::ENTITY_PHOTO, row({{15, fixtures::jpegBytes(Qt::green)}}));
        pim::_Contact b = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee, Jr"));
        b.fullName = QStringLiteral("Lee, Ann");
        fixtures::addRow(b, pim::ENTITY_PHONE, row({{1, QStringLiteral("+1 555 0100")}, {2, 2}}));
        fixtures::addRow(b, pim::ENTITY_EMAIL, row({{1, QStringLiteral("ann@example.com")}, {2, 2}}));
        fixtures::addRow(b, pim::ENTITY_EMAIL, row({{1, QStringLiteral("lee@example.com")}, {2, 1}}));
        const QList<pim::_Contact> contacts = {a, b, fixtures::named(QString::fromUtf8("Иван"), QString::fromUtf8("Петров"))};
        const QString path = exportContacts(contacts);

        const QString script = QStringLiteral(
            "import json, sys, vobject\n"
            "out = []\n"
            "with open(sys.argv[1], encoding='utf-8', newline='') as f:\n"
            "    for card in vobject.readComponents(f.read()):\n"
            "        n = card.n.value if hasattr(card, 'n') else None\n"
            "        out.append({'fn': card.fn.value,\n"
            "                    'family': n.family if n else '', 'given': n.given if n else '',\n"
            "                    'tel': [t.value for t in card.contents.get('tel', [])],\n"
            "                    'email': [e.value for e in card.contents.get('email', [])],\n"
            "                    'photo': len(card.photo.value) if hasattr(card, 'photo') else 0})\n"
            "print(json.dumps(out))\n");
        QProcess py;
        py.start(python, {QStringLiteral("-c"), script, path});
        QVERIFY(py.waitForFinished(60000));
        QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
        const QJsonArray cards = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
        QCOMPARE(cards.size(), contacts.size());
        for (int i = 0; i < contacts.size(); ++i) {
            const QJsonObject card = cards[i].toObject();
            const pim::_Contact& c = contacts[i];
            const ContactDataRow n = c.rows(pim::ENTITY_NAME).first();
            QCOMPARE(card[QStringLiteral("fn")].toString(), c.fullName);
            QCOMPARE(card[QStringLiteral("family")].toString(), v(n, 3));
            QCOMPARE(card[QStringLiteral("given")].toString(), v(n, 2));
            QStringList tels, emails;
            for (const auto& r : c.rows(pim::ENTITY_PHONE))
                tels.append(v(r, 1));
            for (const auto& r : c.rows(pim::ENTITY_EMAIL))
                emails.append(v(r, 1));
            QCOMPARE(card[QStringLiteral("tel")].toVariant().toStringList(), tels);
            QCOMPARE(card[QStringLiteral("email")].toVariant().toStringList(), emails);
            const auto photos = c.rows(pim::ENTITY_PHOTO);
            QCOMPARE(card[QStringLiteral("photo")].toInt(),
                     photos.isEmpty() ? 0 : int(photos[0].values.value(QStringLiteral("data15")).toByteArray().size()));
        }
    }

    void largePhotoImports()
    {
        QByteArray photo(50 * 1024 * 1024, 'p');
        const QByteArray text = "BEGIN:VCARD\r\nN:Big;Pic\r\nPHOTO;ENCODING=B:" + base64Lines(photo, 75) +
                                "\r\nEND:VCARD\r\n";
        const auto contacts = importText(text);
        QCOMPARE(contacts.size(), 1);
        QCOMPARE(contacts[0].rows(pim::ENTITY_PHOTO)[0].values.value(QStringLiteral("data15")).toByteArray().size(),
                 photo.size());
    }
};

QTEST_GUILESS_MAIN(TestVCardImport)
#include "test_vcard_import.moc"
