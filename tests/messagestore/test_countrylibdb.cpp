// The country table: the bundled database, opening and the handle-id rules.
#include "messagestore/countrylibdb.h"
#include "shell/core/dataroot.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
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
    void init();

    void bundledTable_hasTheRowSetAndMccRules();
    void bundledTable_tellingRows_data();
    void bundledTable_tellingRows();
    void bundledTable_everyMobilePatternCompiles();

    void lookups_byMccAndCode();
    void unknownMcc_leavesTheCurrentCountryEmpty();
    void open_copiesTheTableOnceAndKeepsAnExistingCopy();
    void open_onABrokenCopy_throwsEachTimeAndStaysClosed();

    void normalize_china_data();
    void normalize_china();
    void normalize_otherCountries();
    void mobileTest_invalidPattern_isFalse();
};

void TestCountryLibDb::init()
{
    // Every test starts without a working copy in the data root.
    QFile::remove(countriesPath());
}

void TestCountryLibDb::bundledTable_hasTheRowSetAndMccRules()
{
    CountryLibDb db(QString {});
    db.open();
    QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from countries")), 242);
    QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from mmc_sn")), 235);

    // Column formats; the MCCs of mmc_sn are exactly those the countries list.
    const QRegularExpression format(QStringLiteral("^[A-Z]{2}\\|\\d{3}(,\\d{3})*\\|\\d+\\|[1-9]\\d*(,[1-9]\\d*)*$"));
    QSet<QString> listed;
    Sqlite3Cursor c
        = db.queryThrow(QStringLiteral("select sn || '|' || mmc || '|' || pnum || '|' || numc, mmc from countries"));
    while (c.moveNext()) {
        QVERIFY2(format.match(c.getText(0)).hasMatch(), qPrintable(c.getText(0)));
        for (const QString& m : c.getText(1).split(QLatin1Char(',')))
            listed.insert(m);
    }
    QSet<QString> mapped;
    Sqlite3Cursor m = db.queryThrow(
        QStringLiteral("select m.mmc, ',' || c.mmc || ',' from mmc_sn m left join countries c on c.sn = m.sn"));
    while (m.moveNext()) {
        mapped.insert(m.getText(0));
        // Each MCC names a country that lists it.
        QVERIFY2(m.getText(1).contains(QLatin1Char(',') + m.getText(0) + QLatin1Char(',')), qPrintable(m.getText(0)));
    }
    QCOMPARE(mapped, listed);

    // Shared MCCs name one country; US maps all seven of its own back.
    const QList<QPair<const char*, const char*>> owners
        = { { "234", "GB" }, { "235", "GB" }, { "340", "GP" }, { "362", "BQ" }, { "654", "YT" }, { "999", "AX" },
              { "310", "US" }, { "316", "US" }, { "405", "IN" }, { "441", "JP" }, { "431", "AE" } };
    for (const auto& [mcc, sn] : owners)
        QCOMPARE(db.getCountryByMcc(QLatin1String(mcc)).sn, QLatin1String(sn));
    const QList<QPair<const char*, const char*>> lists
        = { { "US", "310,311,312,313,314,315,316" }, { "AE", "424,430,431" }, { "GG", "234,235" }, { "MF", "340" },
              { "SX", "362" }, { "KM", "654" }, { "SJ", "999" }, { "TV", "999" } };
    for (const auto& [sn, mmc] : lists)
        QCOMPARE(db.getCountryByCode(QLatin1String(sn)).mmc, QLatin1String(mmc));
    QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from countries where mmc='999'")), 10);

    // Empty mobile patterns only where intended.
    QStringList noPattern;
    Sqlite3Cursor e = db.queryThrow(QStringLiteral("select sn from countries where r1='' order by sn"));
    while (e.moveNext())
        noPattern << e.getText(0);
    QCOMPARE(noPattern, (QStringList { "AC", "SH", "VA" }));
    QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from sqlite_master where type='index' and name in "
                                           "('index_countries_pnum','index_mmc_sn')")),
        2);
}

void TestCountryLibDb::bundledTable_tellingRows_data()
{
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("pnum");
    QTest::addColumn<QString>("mmc");
    QTest::addColumn<QString>("numc");
    QTest::addColumn<QString>("n");
    QTest::addColumn<QString>("r1");
    QTest::newRow("CN") << "CN"
                        << "86"
                        << "460"
                        << "11"
                        << "China"
                        << R"(1(?:3\d|4[57]|[58][0-35-9])\d{8}|184\d{8})";
    QTest::newRow("IN") << "IN"
                        << "91"
                        << "404,405"
                        << "10"
                        << "India"
                        << R"([7-9]\d{9})";
    QTest::newRow("JP") << "JP"
                        << "81"
                        << "440,441"
                        << "10"
                        << "Japan"
                        << R"((?:[79]0\d|80[1-9])\d{7})";
    QTest::newRow("FR") << "FR"
                        << "33"
                        << "208"
                        << "9"
                        << "France"
                        << R"(63[0-8]\d{6}|69[157-9]\d{6}|6[0-24-8]\d{7}|7[5-9]\d{7})";
    QTest::newRow("AX") << "AX"
                        << "358"
                        << "999"
                        << "6,7,8,9,10,11" << QStringLiteral("Åland Islands") << R"(4\d{5,10}|50\d{4,8})";
    QTest::newRow("AC") << "AC"
                        << "247"
                        << "999"
                        << "4"
                        << "Ascension Island"
                        << "";
}

void TestCountryLibDb::bundledTable_tellingRows()
{
    QFETCH(QString, sn);
    CountryLibDb db(QString {});
    db.open();
    Sqlite3Sql q("select pnum, mmc, numc, n, r1 from countries where sn=?");
    q.addTextParam(sn);
    Sqlite3Cursor c = db.queryThrow(q);
    QVERIFY(c.moveNext());
    QTEST(c.getText(0), "pnum");
    QTEST(c.getText(1), "mmc");
    QTEST(c.getText(2), "numc");
    QTEST(c.getText(3), "n");
    QTEST(c.getText(4), "r1");

    bool found = false;
    const _Country country = db.getCountryByCode(sn, &found);
    QVERIFY(found);
    QFETCH(QString, r1);
    QCOMPARE(country.mobilePattern, QLatin1Char('^') + r1 + QLatin1Char('$'));
    QTEST(country.numc, "numc");
}

void TestCountryLibDb::bundledTable_everyMobilePatternCompiles()
{
    CountryLibDb db(QString {});
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select sn, r1 from countries"));
    int rows = 0;
    while (c.moveNext()) {
        const QRegularExpression rx(c.getText(1));
        QVERIFY2(rx.isValid(), qPrintable(c.getText(0) + QLatin1String(": ") + rx.errorString()));
        ++rows;
    }
    QCOMPARE(rows, 242);
    QCOMPARE(db.getCountryByCode("CN").ln, QStringLiteral("中国"));
}

void TestCountryLibDb::lookups_byMccAndCode()
{
    CountryLibDb db(QStringLiteral("460"));
    QCOMPARE(db.getCurCountry().sn, QStringLiteral("CN"));

    bool found = false;
    QCOMPARE(db.getCountryByMcc(QStringLiteral("999"), &found).sn, QStringLiteral("AX"));
    QVERIFY(found);
    QCOMPARE(db.getCountryByCode(QStringLiteral("cn"), &found).sn, QStringLiteral("CN"));
    QVERIFY(found);

    // Unknown keys are no error: the current country comes back, flagged.
    // The MCC is bound unchanged: no trimming.
    for (const QString& mcc : { QStringLiteral("000"), QStringLiteral(" 202") }) {
        found = true;
        QCOMPARE(db.getCountryByMcc(mcc, &found).sn, QStringLiteral("CN"));
        QVERIFY(!found);
    }
    found = true;
    QCOMPARE(db.getCountryByCode(QStringLiteral("zz"), &found).sn, QStringLiteral("CN"));
    QVERIFY(!found);
    // Look-ups never move the current country.
    QCOMPARE(db.getCountryByMcc(QStringLiteral("202"), nullptr).sn, QStringLiteral("GR"));
    QCOMPARE(db.getCurCountry().sn, QStringLiteral("CN"));
}

void TestCountryLibDb::unknownMcc_leavesTheCurrentCountryEmpty()
{
    for (const QString& mcc : { QString(), QStringLiteral("abc"), QStringLiteral("46'0; drop table countries") }) {
        CountryLibDb db(mcc);
        const _Country& cur = db.getCurCountry();
        QVERIFY(cur.sn.isEmpty() && cur.pnum.isEmpty() && cur.mobilePattern.isEmpty());
        bool found = true;
        QVERIFY(db.getCountryByCode(QStringLiteral("xx"), &found).sn.isEmpty());
        QVERIFY(!found);
    }
}

void TestCountryLibDb::open_copiesTheTableOnceAndKeepsAnExistingCopy()
{
    QVERIFY(!QFile::exists(countriesPath()));
    {
        CountryLibDb db(QStringLiteral("460"));
        QVERIFY(!db.isOpen()); // construction opens nothing
        db.open();
        QVERIFY(db.isOpen());
        db.open(); // a second open does nothing
        QVERIFY(QFile::exists(countriesPath()));
        QVERIFY(QFileInfo(countriesPath()).isWritable());
        // The working copy is ours: change it the way a user could.
        db.executeThrow(QStringLiteral("update countries set n='Changed' where sn='CN'"));
    }
    {
        CountryLibDb db(QStringLiteral("460"));
        QCOMPARE(db.getCurCountry().n, QStringLiteral("Changed"));
    }
    QVERIFY(QFile::remove(countriesPath()));
    {
        CountryLibDb db(QStringLiteral("460"));
        QCOMPARE(db.getCurCountry().n, QStringLiteral("China"));
    }
}

void TestCountryLibDb::open_onABrokenCopy_throwsEachTimeAndStaysClosed()
{
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
    // Once the broken copy is gone, the same instance recovers.
    QVERIFY(QFile::remove(countriesPath()));
    QCOMPARE(db.getCurCountry().sn, QStringLiteral("CN"));
}

void TestCountryLibDb::normalize_china_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");
    QTest::newRow("national mobile") << "138 0013 8000"
                                     << "+8613800138000";
    QTest::newRow("trunk prefix") << "013800138000"
                                  << "+8613800138000";
    QTest::newRow("calling code without plus") << "8613800138000"
                                               << "+8613800138000";
    QTest::newRow("international") << "+86 138-0013-8000"
                                   << "+8613800138000";
    QTest::newRow("00 prefix not recognised") << "0086 13800138000"
                                              << "008613800138000";
    QTest::newRow("short code") << "10086"
                                << "10086";
    QTest::newRow("plus inside") << "12+34"
                                 << "12+34";
    QTest::newRow("fixed line stays bare") << "(010) 6552-9988"
                                           << "01065529988";
    QTest::newRow("letters") << "Service-Desk 10086!"
                             << "service-desk 10086!";
    QTest::newRow("e-mail") << "John.Doe@Example.COM"
                            << "john.doe@example.com";
    QTest::newRow("at sign only") << "12@34"
                                  << "12@34";

    // Bad input gets a defined result.
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks") << "   "
                            << "";
    QTest::newRow("punctuation only") << "-()#*"
                                      << "";
    QTest::newRow("long digits") << QString(5000, QLatin1Char('9')) << QString(5000, QLatin1Char('9'));
    QTest::newRow("plus only") << "+"
                               << "+";
    QTest::newRow("arabic-indic digits") << QStringLiteral("١٣٨٠٠١٣٨٠٠٠") << "+8613800138000";
    QTest::newRow("full-width digits") << QStringLiteral("１３８００１３８０００") << "+8613800138000";
    QTest::newRow("mathematical digits (surrogates)") << QString::fromUcs4(U"\U0001D7CF\U0001D7D1\U0001D7D6") << "138";
    QTest::newRow("emoji and digits") << QStringLiteral("📞 10086") << "10086";
    QTest::newRow("lone surrogate") << QString(QChar(0xD83D)) + QStringLiteral("10086") << "10086";
    QTest::newRow("cyrillic sender") << QStringLiteral("МегаФон") << QStringLiteral("мегафон");
    QTest::newRow("chinese sender") << QStringLiteral("中国移动") << QStringLiteral("中国移动");
    QTest::newRow("roman numeral is no digit") << QStringLiteral("Ⅻ") << "";
}

void TestCountryLibDb::normalize_china()
{
    QFETCH(QString, address);
    CountryLibDb db(QStringLiteral("460"));
    QTEST(db.getCurCountry().normalizeNumber(address), "expected");
}

void TestCountryLibDb::normalize_otherCountries()
{
    CountryLibDb db(QString {});

    // Anchors apply to the first and last alternatives only: the end of this
    // number matches the last one.
    const _Country ax = db.getCountryByCode(QStringLiteral("AX"));
    QVERIFY(ax.isMobileNumber(QStringLiteral("123500000")));
    QCOMPARE(ax.normalizeNumber(QStringLiteral("123500000")), QStringLiteral("+358123500000"));
    QVERIFY(ax.isNationalLength(6));
    QVERIFY(!ax.isNationalLength(12));

    // No mobile pattern: only the calling-code rule places a number.
    const _Country ac = db.getCountryByCode(QStringLiteral("AC"));
    QCOMPARE(ac.mobilePattern, QStringLiteral("^$"));
    QVERIFY(!ac.isMobileNumber(QStringLiteral("61234")));
    QCOMPARE(ac.normalizeNumber(QString()), QString());
    QCOMPARE(ac.normalizeNumber(QStringLiteral("01234")), QStringLiteral("01234"));
    QCOMPARE(ac.normalizeNumber(QStringLiteral("2471234")), QStringLiteral("+2471234"));

    const _Country fr = db.getCountryByCode(QStringLiteral("fr"));
    QCOMPARE(fr.normalizeNumber(QStringLiteral("06 12 34 56 78")), QStringLiteral("+33612345678"));
    const _Country us = db.getCountryByCode(QStringLiteral("US"));
    QCOMPARE(us.normalizeNumber(QStringLiteral("1 (202) 555-0143")), QStringLiteral("+12025550143"));

    // The empty country: an empty address becomes "+", others are stripped.
    const _Country none;
    QCOMPARE(none.normalizeNumber(QString()), QStringLiteral("+"));
    QCOMPARE(none.normalizeNumber(QStringLiteral("138 0013 8000")), QStringLiteral("13800138000"));
    QCOMPARE(none.normalizeNumber(QStringLiteral("Bob")), QStringLiteral("bob"));
    QVERIFY(none.isNationalLength(0));
    QVERIFY(!none.isMobileNumber(QString()));

    // A copy keeps its own compiled pattern in step with its own text.
    _Country copy = db.getCountryByCode(QStringLiteral("CN"));
    const _Country original(copy);
    copy.mobilePattern = QStringLiteral("^9\\d{10}$");
    QVERIFY(!copy.isMobileNumber(QStringLiteral("13800138000")));
    QVERIFY(original.isMobileNumber(QStringLiteral("13800138000")));
}

void TestCountryLibDb::mobileTest_invalidPattern_isFalse()
{
    _Country c;
    c.pnum = QStringLiteral("99");
    c.numc = QStringLiteral("x,,5");
    c.mobilePattern = QStringLiteral("^(1\\d{4}$");
    QVERIFY(!c.isMobileNumber(QStringLiteral("12345")));
    QVERIFY(c.isNationalLength(0)); // "x" and the empty entry read as 0
    QVERIFY(c.isNationalLength(5));
    QCOMPARE(c.normalizeNumber(QStringLiteral("12345")), QStringLiteral("12345"));
    QCOMPARE(c.normalizeNumber(QStringLiteral("9912345")), QStringLiteral("+9912345"));
}

QTEST_GUILESS_MAIN(TestCountryLibDb)
#include "test_countrylibdb.moc"
