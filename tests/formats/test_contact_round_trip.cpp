// Contacts with several values of a kind, exported to vCard and CSV and
// imported back: equal in every column the format carries; and the vCard
// file read by a reader of another make.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/csvimport.h"
#include "formats/vcarddate.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"

#include <QJsonDocument>
#include <QProcess>
#include <QSet>
#include <QTest>

using fixtures::addRow;

namespace {

using Columns = QSet<std::pair<int, int>>; // (row type, column number)

// What our vCard files do not carry: custom labels, the columns that only the
// phone's own database uses, the local group id and the photo's hash.
const Columns kNotInVCard = {
    {pim::ENTITY_NAME, 7},         {pim::ENTITY_NAME, 8},         {pim::ENTITY_PHOTO, 4},
    {pim::ENTITY_PHONE, 3},        {pim::ENTITY_EMAIL, 3},        {pim::ENTITY_NICKNAME, 2},
    {pim::ENTITY_NICKNAME, 3},     {pim::ENTITY_EVENT, 3},        {pim::ENTITY_GROUP, 1},
    {pim::ENTITY_IM, 3},           {pim::ENTITY_IM, 6},           {pim::ENTITY_ORGANIZATION, 2},
    {pim::ENTITY_ORGANIZATION, 3}, {pim::ENTITY_ORGANIZATION, 6}, {pim::ENTITY_ORGANIZATION, 7},
    {pim::ENTITY_ORGANIZATION, 9}, {pim::ENTITY_RELATION, 3},     {pim::ENTITY_POSTAL, 3},
    {pim::ENTITY_POSTAL, 5},       {pim::ENTITY_POSTAL, 6},       {pim::ENTITY_WEBSITE, 3},
};

// CSV carries the same but no photo at all.
Columns notInCsv()
{
    Columns c = kNotInVCard;
    c.insert({pim::ENTITY_PHOTO, 15});
    return c;
}

// Each row as "type:dataN=text;...", rows sorted: the order of rows of
// different labels is not kept by CSV. Dates compare as the text they are
// written as.
QStringList comparable(const pim::_Contact& c, const Columns& dropped)
{
    QStringList rows;
    for (auto it = c.entities.constBegin(); it != c.entities.constEnd(); ++it) {
        for (const ContactDataRow& row : it.value()) {
            QStringList cells;
            for (auto col = row.values.constBegin(); col != row.values.constEnd(); ++col) {
                const int n = col.key().mid(4).toInt();
                if (dropped.contains({it.key(), n}))
                    continue;
                QString text = pim::valueText(row.values, col.key());
                if (it.key() == pim::ENTITY_EVENT && n == 1)
                    text = VCardDate::toText(col.value());
                else if (n == 15)
                    text = QString::fromLatin1(col.value().toByteArray().toBase64());
                if (!text.isEmpty())
                    cells.append(QStringLiteral("data%1=%2").arg(n).arg(text));
            }
            if (!cells.isEmpty())
                rows.append(QStringLiteral("%1:%2").arg(it.key()).arg(cells.join(u';')));
        }
    }
    rows.sort();
    return rows;
}

// Three mobiles, three e-mails of different kinds, two addresses, non-ASCII
// text everywhere, and columns that no file format carries.
QList<pim::_Contact> contacts()
{
    pim::_Contact a;
    a.fullName = QString::fromUtf8("Zoë Ångström");
    addRow(a, pim::ENTITY_NAME,
           {{1, a.fullName}, {2, QString::fromUtf8("Zoë")}, {3, QString::fromUtf8("Ångström")}, {7, "phonetic"}});
    addRow(a, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::darkCyan)}, {4, "hash"}});
    for (const char* number : {"+33 6 12 34 56 78", "+33 7 00 00 00 01", "06,12;34"})
        addRow(a, pim::ENTITY_PHONE, {{1, QString::fromUtf8(number)}, {2, 2}});
    addRow(a, pim::ENTITY_PHONE, {{1, "+33 1 40 00 00 00"}, {2, 3}});
    addRow(a, pim::ENTITY_EMAIL, {{1, "zoe@home.example"}, {2, 1}});
    addRow(a, pim::ENTITY_EMAIL, {{1, "zoe@work.example"}, {2, 2}, {3, "custom"}});
    addRow(a, pim::ENTITY_EMAIL, {{1, "zoe@mobile.example"}, {2, 4}});
    addRow(a, pim::ENTITY_NICKNAME, {{1, QString::fromUtf8("Zozo, \"la\" reine")}});
    addRow(a, pim::ENTITY_EVENT, {{1, "1980-05-17"}, {2, 3}});
    addRow(a, pim::ENTITY_EVENT, {{1, "--06-11"}, {2, 1}});
    addRow(a, pim::ENTITY_GROUP, {{1, "7"}, {2, QString::fromUtf8("Amis")}});
    addRow(a, pim::ENTITY_IM, {{1, "zoe.skype"}, {2, 1}, {5, 4}});
    addRow(a, pim::ENTITY_NOTE, {{1, QString::fromUtf8("Zeile eins\nZeile zwei, mit Komma; Semikolon \\ Ende")}});
    addRow(a, pim::ENTITY_ORGANIZATION,
           {{1, QString::fromUtf8("Ünïcorp; Ltd")}, {4, "Chef"}, {5, "R&D"}, {6, "sym"}, {7, "ph"}, {9, "office"}});
    addRow(a, pim::ENTITY_RELATION, {{1, QString::fromUtf8("Åsa")}, {2, 13}});
    addRow(a, pim::ENTITY_POSTAL,
           {{2, 1},
            {4, QString::fromUtf8("1 Rue de l'Église")},
            {5, QString::fromUtf8("Bât. B")},
            {6, QString::fromUtf8("2e étage")},
            {7, "Paris"},
            {9, "75001"},
            {10, "France"}});
    addRow(a, pim::ENTITY_POSTAL,
           {{2, 2},
            {4, QString::fromUtf8("Hauptstraße 5")},
            {7, QString::fromUtf8("München")},
            {8, "Bayern"},
            {9, "80331"},
            {10, "Deutschland"}});
    addRow(a, pim::ENTITY_WEBSITE, {{1, "https://zoe.example/?a=1,b=2"}, {2, 1}});
    addRow(a, pim::ENTITY_WEBSITE, {{1, "https://work.example/zoe"}, {2, 5}});
    for (ContactDataRow& row : a.entities[pim::ENTITY_POSTAL]) // as the importers compute it
        row.values.insert(QStringLiteral("data1"), pim::formatAddress(row.values));

    pim::_Contact b = fixtures::named(QString::fromUtf8("太郎"), QString::fromUtf8("山田"));
    addRow(b, pim::ENTITY_PHONE, {{1, "090-1234-5678"}, {2, 2}});
    addRow(b, pim::ENTITY_PHONE, {{1, "080-1234-5678"}, {2, 2}});
    addRow(b, pim::ENTITY_EMAIL, {{1, "taro@example.jp"}, {2, 2}});
    return {a, b, fixtures::named(QStringLiteral("Only"), QStringLiteral("Name"))};
}

} // namespace

class TestContactRoundTrip : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void vcardKeepsEveryValue()
    {
        const QList<pim::_Contact> original = contacts();
        const auto back
            = fixtures::importAll<VCardImport>(fixtures::exportTo<VCardExport>(QStringLiteral("r.vcf"), original));
        QCOMPARE(back.size(), original.size());
        for (int i = 0; i < original.size(); ++i) {
            QCOMPARE(back[i].fullName, original[i].fullName);
            QCOMPARE(comparable(back[i], kNotInVCard), comparable(original[i], kNotInVCard));
        }
    }

    void csvKeepsEveryValueInNumberedColumns()
    {
        const QList<pim::_Contact> original = contacts();
        const QString path = fixtures::exportTo<CSVExport>(QStringLiteral("r.csv"), original, &original);
        const QByteArray header = fixtures::readBytes(path).split('\n').first();
        QVERIFY2(header.contains(",Tel:Mobile,Tel:Mobile 2,Tel:Mobile 3,Tel:Work,"), header.constData());
        QVERIFY2(header.contains("Addr:Home:Street,Addr:Work:Street"), header.constData());
        const auto back = fixtures::importAll<CSVImport>(path);
        QCOMPARE(back.size(), original.size());
        for (int i = 0; i < original.size(); ++i) {
            QCOMPARE(back[i].fullName, original[i].fullName);
            QCOMPARE(comparable(back[i], notInCsv()), comparable(original[i], notInCsv()));
        }

        // Second addresses, organisations and groups get numbered columns too.
        pim::_Contact c = fixtures::named(QStringLiteral("Two"), QStringLiteral("Of Each"));
        for (const char* street : {"First St", "Second St"})
            addRow(c, pim::ENTITY_POSTAL, {{2, 1}, {4, street}, {7, "Town"}});
        addRow(c, pim::ENTITY_ORGANIZATION, {{1, "One Inc"}, {4, "Boss"}});
        addRow(c, pim::ENTITY_ORGANIZATION, {{1, "Two Ltd"}, {5, "Sales"}});
        addRow(c, pim::ENTITY_GROUP, {{2, "Family"}});
        addRow(c, pim::ENTITY_GROUP, {{2, "Friends"}});
        const QList<pim::_Contact> list = {c};
        const QString two = fixtures::exportTo<CSVExport>(QStringLiteral("two.csv"), list, &list);
        QCOMPARE(fixtures::readBytes(two).split('\n').first(),
                 QByteArray("First Name,Last Name,Category,Category 2,Company,Company 2,Department 2,Job Title,"
                            "Addr:Home:City,Addr:Home 2:City,Addr:Home:Street,Addr:Home 2:Street"));
        const auto twoBack = fixtures::importAll<CSVImport>(two);
        for (ContactDataRow& row : c.entities[pim::ENTITY_POSTAL])
            row.values.insert(QStringLiteral("data1"), pim::formatAddress(row.values));
        QCOMPARE(comparable(twoBack.value(0), notInCsv()), comparable(c, notInCsv()));
    }

    void vcardReadByAnotherReader()
    {
        const QString script
            = QStringLiteral("import json, sys, vobject\n"
                             "def typed(c, name):\n"
                             "    return [[p.value, sorted(t.lower() for t in p.params.get('TYPE', []))]\n"
                             "            for p in c.contents.get(name, [])]\n"
                             "out = []\n"
                             "with open(sys.argv[1], encoding='utf-8', newline='') as f:\n"
                             "    for c in vobject.readComponents(f.read()):\n"
                             "        out.append({'fn': c.fn.value, 'n': [c.n.value.family, c.n.value.given],\n"
                             "            'tel': typed(c, 'tel'), 'email': typed(c, 'email'),\n"
                             "            'adr': [[a.value.street, a.value.city, a.value.code, a.value.country]\n"
                             "                    for a in c.contents.get('adr', [])],\n"
                             "            'bday': [b.value for b in c.contents.get('bday', [])],\n"
                             "            'url': [u.value for u in c.contents.get('url', [])],\n"
                             "            'note': [n.value for n in c.contents.get('note', [])],\n"
                             "            'photo': [len(p.value) for p in c.contents.get('photo', [])]})\n"
                             "print(json.dumps(out, ensure_ascii=False))\n");
        const QList<pim::_Contact> original = contacts();
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), script, fixtures::exportTo<VCardExport>(QStringLiteral("o.vcf"), original)});
        QVERIFY(py.waitForFinished(60000));
        const QByteArray err = py.readAllStandardError();
        if (err.contains("No module named 'vobject'"))
            QSKIP("/usr/bin/python3 has no vobject");
        QVERIFY2(py.exitCode() == 0, err.constData());
        // The values as the other reader sees them, the photo's size filled in.
        QByteArray want = fixtures::readBytes(testsupport::sourceDir()
                                              + QStringLiteral("/tests/formats/contact_data/round-trip-vobject.json"));
        want.replace("PHOTO_SIZE", QByteArray::number(fixtures::photoOf(original[0]).size()));
        QCOMPARE(QJsonDocument::fromJson(py.readAllStandardOutput()).toJson(), QJsonDocument::fromJson(want).toJson());
    }
};

QTEST_GUILESS_MAIN(TestContactRoundTrip)
#include "test_contact_round_trip.moc"
