#include "messagestore/countrylibdb.h"
#include "shell/core/dataroot.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QString countriesPath()
{
    return getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb));
}

} // namespace

class TestCountryLibDb : public QObject {
    Q_OBJECT

private slots:
    // Every test starts without a working copy in the data root.
    void init() { QFile::remove(countriesPath()); }

    void bundledTable_hasTheRowSetAndMccRules()
    {
        CountryLibDb db(QString {});
        db.open();
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from countries")), 242);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from mmc_sn")), 235);

        // Shared MCCs name one country; US maps all seven of its own back.
        const QList<QPair<const char*, const char*>> owners
            = {{"235", "GB"}, {"340", "GP"}, {"999", "AX"}, {"316", "US"}, {"431", "AE"}};
        for (const auto& [mcc, sn] : owners)
            QCOMPARE(db.getCountryByMcc(QLatin1String(mcc)).sn, QLatin1String(sn));
        QCOMPARE(db.getCountryByCode(QStringLiteral("US")).mmc, QStringLiteral("310,311,312,313,314,315,316"));

        // Every mobile pattern compiles; empty ones only where intended.
        QStringList noPattern;
        Sqlite3Cursor r = db.queryThrow(QStringLiteral("select sn, r1 from countries order by sn"));
        while (r.moveNext()) {
            const QRegularExpression rx(r.getText(1));
            QVERIFY2(rx.isValid(), qPrintable(r.getText(0) + QLatin1String(": ") + rx.errorString()));
            if (r.getText(1).isEmpty())
                noPattern << r.getText(0);
        }
        QCOMPARE(noPattern, (QStringList {"AC", "SH", "VA"}));
        QCOMPARE(db.getCountryByCode("CN").ln, QStringLiteral("中国"));
    }

    void bundledTable_tellingRows_data()
    {
        for (const char* c : {"sn", "pnum", "mmc", "numc", "n", "r1"})
            QTest::addColumn<QString>(c);
        const QList<QStringList> rows = {
            {"CN", "86", "460", "11", "China", R"(1(?:3\d|4[57]|[58][0-35-9])\d{8}|184\d{8})"},
            {"IN", "91", "404,405", "10", "India", R"([7-9]\d{9})"},
            {"FR", "33", "208", "9", "France", R"(63[0-8]\d{6}|69[157-9]\d{6}|6[0-24-8]\d{7}|7[5-9]\d{7})"},
            {"AX", "358", "999", "6,7,8,9,10,11", QStringLiteral("Åland Islands"), R"(4\d{5,10}|50\d{4,8})"},
            {"AC", "247", "999", "4", "Ascension Island", ""},
        };
        for (const QStringList& r : rows)
            QTest::newRow(qPrintable(r[0])) << r[0] << r[1] << r[2] << r[3] << r[4] << r[5];
    }
    void bundledTable_tellingRows()
    {
        QFETCH(QString, sn);
        QFETCH(QString, r1);
        CountryLibDb db(QString {});
        const _Country c = db.getCountryByCode(sn);
        QTEST(c.pnum, "pnum");
        QTEST(c.mmc, "mmc");
        QTEST(c.numc, "numc");
        QTEST(c.n, "n");
        QCOMPARE(c.mobilePattern, QLatin1Char('^') + r1 + QLatin1Char('$'));
    }

    void lookups_byMccAndCode()
    {
        CountryLibDb db(QStringLiteral("460"));
        QCOMPARE(db.getCurCountry().sn, QStringLiteral("CN"));
        bool found = false;
        QCOMPARE(db.getCountryByCode(QStringLiteral("cn"), &found).sn, QStringLiteral("CN"));
        // Unknown keys (the MCC is not trimmed) give the current country, flagged.
        for (const QString& mcc : {QStringLiteral("000"), QStringLiteral(" 202")}) {
            found = true;
            QCOMPARE(db.getCountryByMcc(mcc, &found).sn, QStringLiteral("CN"));
            QVERIFY(!found);
        }
        QCOMPARE(db.getCountryByCode(QStringLiteral("zz")).sn, QStringLiteral("CN"));
        // Look-ups never move the current country.
        QCOMPARE(db.getCountryByMcc(QStringLiteral("202"), nullptr).sn, QStringLiteral("GR"));
        QCOMPARE(db.getCurCountry().sn, QStringLiteral("CN"));

        // An unknown or hostile MCC leaves the current country empty.
        for (const QString& mcc : {QString(), QStringLiteral("abc"), QStringLiteral("46'0; drop table countries")}) {
            CountryLibDb none(mcc);
            const _Country& cur = none.getCurCountry();
            QVERIFY(cur.sn.isEmpty() && cur.pnum.isEmpty() && cur.mobilePattern.isEmpty());
            found = true;
            QVERIFY(none.getCountryByCode(QStringLiteral("xx"), &found).sn.isEmpty());
            QVERIFY(!found);
        }
    }

    void workingCopy_madeOnceKeptAndBrokenOneRefused()
    {
        {
            CountryLibDb db(QStringLiteral("460"));
            QVERIFY(!db.isOpen()); // construction opens nothing
            db.open();
            db.open(); // a second open does nothing
            QVERIFY(QFileInfo(countriesPath()).isWritable());
            // The working copy is ours: change it the way a user could.
            db.executeThrow(QStringLiteral("update countries set n='Changed' where sn='CN'"));
        }
        {
            CountryLibDb db(QStringLiteral("460"));
            QCOMPARE(db.getCurCountry().n, QStringLiteral("Changed"));
        }
        {
            QFile f(countriesPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        CountryLibDb db(QStringLiteral("460"));
        QVERIFY_THROWS_EXCEPTION(std::exception, db.open());
        QVERIFY(!db.isOpen());
        QVERIFY_THROWS_EXCEPTION(std::exception, db.getCurCountry());
        QVERIFY(!db.isOpen());
        // Once the broken copy is gone, the same instance recovers from the bundle.
        QVERIFY(QFile::remove(countriesPath()));
        QCOMPARE(db.getCurCountry().n, QStringLiteral("China"));
    }

    void normalize_china_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        const QList<std::pair<QString, QString>> rows = {
            {"138 0013 8000", "+8613800138000"},
            {"013800138000", "+8613800138000"},
            {"8613800138000", "+8613800138000"},
            {"+86 138-0013-8000", "+8613800138000"},
            {"0086 13800138000", "008613800138000"},
            {"10086", "10086"},
            {"12+34", "12+34"},
            {"(010) 6552-9988", "01065529988"},
            {"Service-Desk 10086!", "service-desk 10086!"},
            {"John.Doe@Example.COM", "john.doe@example.com"},
            {"12@34", "12@34"},
            // Bad input gets a defined result.
            {"", ""},
            {"   ", ""},
            {"-()#*", ""},
            {QString(5000, QLatin1Char('9')), QString(5000, QLatin1Char('9'))},
            {"+", "+"},
            {QStringLiteral("١٣٨٠٠١٣٨٠٠٠"), "+8613800138000"},
            {QStringLiteral("１３８００１３８０００"), "+8613800138000"},
            {QString::fromUcs4(U"\U0001D7CF\U0001D7D1\U0001D7D6"), "138"},
            {QStringLiteral("📞 10086"), "10086"},
            {QString(QChar(0xD83D)) + QStringLiteral("10086"), "10086"},
            {QStringLiteral("МегаФон"), QStringLiteral("мегафон")},
            {QStringLiteral("中国移动"), QStringLiteral("中国移动")},
            {QStringLiteral("Ⅻ"), ""},
        };
        for (int i = 0; i < rows.size(); ++i)
            QTest::addRow("%d %s", i, qPrintable(rows[i].first.left(20))) << rows[i].first << rows[i].second;
    }
    void normalize_china()
    {
        QFETCH(QString, address);
        CountryLibDb db(QStringLiteral("460"));
        QTEST(db.getCurCountry().normalizeNumber(address), "expected");
    }

    void normalize_otherCountries()
    {
        CountryLibDb db(QString {});
        // Anchors apply to the first and last alternatives only: the end of this
        // number matches the last one.
        const _Country ax = db.getCountryByCode(QStringLiteral("AX"));
        QCOMPARE(ax.normalizeNumber(QStringLiteral("123500000")), QStringLiteral("+358123500000"));
        // No mobile pattern: only the calling-code rule places a number.
        const _Country ac = db.getCountryByCode(QStringLiteral("AC"));
        QVERIFY(!ac.isMobileNumber(QStringLiteral("61234")));
        QCOMPARE(ac.normalizeNumber(QStringLiteral("01234")), QStringLiteral("01234"));
        QCOMPARE(ac.normalizeNumber(QStringLiteral("2471234")), QStringLiteral("+2471234"));
        QCOMPARE(db.getCountryByCode(QStringLiteral("fr")).normalizeNumber(QStringLiteral("06 12 34 56 78")),
                 QStringLiteral("+33612345678"));

        // The empty country: an empty address becomes "+", others are stripped.
        const _Country none;
        QCOMPARE(none.normalizeNumber(QString()), QStringLiteral("+"));
        QCOMPARE(none.normalizeNumber(QStringLiteral("138 0013 8000")), QStringLiteral("13800138000"));

        _Country bad; // an invalid pattern and bad lengths: no crash, no match
        bad.pnum = QStringLiteral("99");
        bad.numc = QStringLiteral("x,,5");
        bad.mobilePattern = QStringLiteral("^(1\\d{4}$");
        QVERIFY(!bad.isMobileNumber(QStringLiteral("12345")));
        QVERIFY(bad.isNationalLength(0)); // "x" and the empty entry read as 0
        QCOMPARE(bad.normalizeNumber(QStringLiteral("9912345")), QStringLiteral("+9912345"));
    }
};

QTEST_GUILESS_MAIN(TestCountryLibDb)
#include "test_countrylibdb.moc"
