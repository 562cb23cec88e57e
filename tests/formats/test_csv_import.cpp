// CSV contact import: our own headers (round trip through the CSV export),
// Outlook and Google headers, encodings and broken files.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/csvimport.h"

#include <QStringEncoder>
#include <QTest>
#include <QTextCodec>

using fixtures::v;

namespace {

QList<pim::_Contact> importBytes(const QByteArray& bytes)
{
    return fixtures::importAll<CSVImport>(fixtures::writeFile(QStringLiteral("in.csv"), bytes));
}

} // namespace

class TestCsvImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ownFormatRoundTrip()
    {
        const QList<pim::_Contact> contacts = { fixtures::fullContact(),
            fixtures::named(QString::fromUtf8("Søren"), QString::fromUtf8("Kierkegaard")) };
        const auto back = fixtures::importAll<CSVImport>(
            fixtures::exportTo<CSVExport>(QStringLiteral("c.csv"), contacts, &contacts));
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].fullName, contacts[0].fullName);
        QCOMPARE(back[1].fullName, contacts[1].fullName);
        // The export keeps one value per column: compare the column cells.
        auto sorted = [](QList<QPair<QString, QString>> cells) {
            std::sort(cells.begin(), cells.end());
            return cells;
        };
        QCOMPARE(sorted(AbsTextExport::cells(back[0])), sorted(AbsTextExport::cells(contacts[0])));
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
        QTest::newRow("final line break") << QByteArray("First Name,Last Name\nA,B\n") << QStringLiteral("A B");
        QTest::newRow("utf-16") << QByteArray(
            QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom).encode(text))
                                << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("latin-1") << QTextCodec::codecForName("ISO-8859-1")->fromUnicode(text)
                                 << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("utf-8 bom") << "\xEF\xBB\xBF" + text.toUtf8() << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("header only") << QByteArray("First Name,Last Name") << QString();
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
        QCOMPARE(outlook.size(), 2);
        const pim::_Contact& c = outlook[0];
        // Columns of one kind join into one row; a repeated header is ignored; a short row is read.
        QCOMPARE(QStringList({ c.fullName, outlook[1].fullName }), QStringList({ "A B", "C" }));
        QCOMPARE(c.rows(pim::ENTITY_PHONE).size(), 1);
        QCOMPARE(v(c.rows(pim::ENTITY_PHONE)[0], 1), QStringLiteral("111 222"));
        QCOMPARE(c.rows(pim::ENTITY_POSTAL).size(), 1);
        QCOMPARE(v(c.rows(pim::ENTITY_POSTAL)[0], 1), QStringLiteral("1 Road\nTown"));
        QCOMPARE(v(c.rows(pim::ENTITY_ORGANIZATION).value(0), 4), QStringLiteral("Boss"));

        const auto google = importBytes("Name,Given Name,Family Name,E-mail 1 - Value,Phone 1 - Value\n"
                                        "Ann Lee,Ann,Lee,ann@example.com,+1 555\n");
        QCOMPARE(google.size(), 1);
        QCOMPARE(google[0].fullName, QStringLiteral("Ann Lee"));
        QCOMPARE(v(google[0].rows(pim::ENTITY_EMAIL).value(0), 1), QStringLiteral("ann@example.com"));
        QVERIFY(google[0].rows(pim::ENTITY_PHONE).isEmpty());
    }

    void unbalancedQuoteAndMissingFile()
    {
        // An unbalanced quote swallows the rest of the file into one field.
        const auto quoted = importBytes("First Name,Notes\nA,\"open quote\nB,x\n");
        QCOMPARE(quoted.size(), 1);
        QCOMPARE(v(quoted[0].rows(pim::ENTITY_NOTE).value(0), 1), QStringLiteral("open quote\nB,x\n"));
        CSVImport reader;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, reader.open(QStringLiteral("/nonexistent/x.csv")));
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "test_csv_import.moc"
