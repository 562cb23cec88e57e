// CSV contact import: our own headers (round trip through the CSV export),
// Outlook and Google headers, encodings and broken files.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/csvimport.h"

#include <QStringEncoder>
#include <QTest>
#include <QTextCodec>

using fixtures::v;

constexpr auto importBytes = fixtures::importBytes<CSVImport>;

class TestCsvImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ownFormatRoundTrip()
    {
        const QList<pim::_Contact> contacts
            = {fixtures::fullContact(), fixtures::named(QString::fromUtf8("Søren"), QString::fromUtf8("Kierkegaard"))};
        const auto back = fixtures::importAll<CSVImport>(
            fixtures::exportTo<CSVExport>(QStringLiteral("c.csv"), contacts, &contacts));
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].fullName, contacts[0].fullName);
        QCOMPARE(back[1].fullName, contacts[1].fullName);
        // The export keeps one value per column: compare the column cells.
        auto want = AbsTextExport::cells(contacts[0]), got = AbsTextExport::cells(back[0]);
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        QCOMPARE(got, want);
        QCOMPARE(v(back[0].rows(pim::ENTITY_IM).value(0), 5), QStringLiteral("4"));
        QCOMPARE(v(back[0].rows(pim::ENTITY_POSTAL).value(0), 1),
                 pim::formatAddress(contacts[0].rows(pim::ENTITY_POSTAL)[0].values));
    }

    void namesRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("names");
        const QString text = QString::fromUtf8("First Name,Last Name\nJürgen,Müller\n");
        QTest::newRow("no final line break")
            << QByteArray("First Name,Last Name\nA,B\nC,D") << QStringLiteral("A B|C D");
        QTest::newRow("utf-16") << QByteArray(
            QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom).encode(text))
                                << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("latin-1") << QTextCodec::codecForName("ISO-8859-1")->fromUnicode(text)
                                 << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("utf-8 bom") << "\xEF\xBB\xBF" + text.toUtf8() << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("header only") << QByteArray("First Name,Last Name") << QString();
        // An unbalanced quote swallows the rest of the file into one field.
        QTest::newRow("open quote") << QByteArray("First Name,Notes\nA,\"open\nB,x\n") << QStringLiteral("A");
    }

    void namesRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, names);
        QStringList got;
        for (const auto& c : importBytes(bytes))
            got.append(c.fullName);
        QCOMPARE(got.join(u'|'), names);
    }

    void outlookAndGoogleHeaders()
    {
        const auto outlook = importBytes("First Name,Last Name,Home Phone,Home Phone 2,Home Street,Home City,"
                                         "Company,Job Title,E-mail Address,first name,Unknown\r\n"
                                         "A,B,111,222,1 Road,Town,Acme,Boss,a@b.c,ignored,x\r\n"
                                         "C\r\n");
        const auto google = importBytes("Name,Given Name,Family Name,E-mail 1 - Value,Phone 1 - Value\n"
                                        "Ann Lee,Ann,Lee,ann@example.com,+1 555\n");
        // Columns of one address join into one row, a second phone is a row of its own; a repeated
        // header is ignored; a short row is read.
        QCOMPARE(outlook.size(), 2);
        QCOMPARE(QStringList({outlook[0].fullName, outlook[1].fullName}), QStringList({"A B", "C"}));
        QCOMPARE(fixtures::dump(outlook[0]).join(u'|'),
                 QStringLiteral(
                     "1 data1=A B|1 data2=A|1 data3=B|3 data1=111|3 data2=1|3 data1=222|3 data2=1|"
                     "4 data1=a@b.c|4 data2=1|"
                     "10 data1=Acme|10 data4=Boss|12 data1=1 Road\nTown|12 data2=1|12 data4=1 Road|12 data7=Town"));
        QCOMPARE(google.size(), 1);
        QCOMPARE(google[0].fullName, QStringLiteral("Ann Lee"));
        QCOMPARE(fixtures::dump(google[0]).join(u'|'),
                 QStringLiteral("1 data1=Ann Lee|1 data2=Ann|1 data3=Lee|4 data1=ann@example.com|4 data2=1"));
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "test_csv_import.moc"
