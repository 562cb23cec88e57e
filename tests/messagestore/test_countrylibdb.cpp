// The bundled country table, its working copy in the data root, look-ups and
// number normalisation (rows in data/countries.json).
#include "messagestore/countrylibdb.h"
#include "shell/core/dataroot.h"

#include "msgtesthelpers.h"

#include <QtTest>

using namespace Qt::StringLiterals;

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
        QVERIFY(QFileInfo(countriesPath()).isWritable()); // the working copy, not the read-only bundle
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from countries")), 242);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from mmc_sn")), 235);
        // Shared MCCs name one country; US maps all seven of its own back.
        const QList<QPair<const char*, const char*>> owners
            = {{"235", "GB"}, {"340", "GP"}, {"999", "AX"}, {"316", "US"}, {"431", "AE"}};
        for (const auto& [mcc, sn] : owners)
            QCOMPARE(db.getCountryByMcc(QLatin1String(mcc)).sn, QLatin1String(sn));
        QCOMPARE(db.getCountryByCode(u"US"_s).mmc, u"310,311,312,313,314,315,316"_s);

        // Every mobile pattern compiles; empty ones only where intended.
        QStringList noPattern;
        Sqlite3Cursor r = db.queryThrow(u"select sn, r1 from countries order by sn"_s);
        while (r.moveNext()) {
            const QRegularExpression rx(r.getText(1));
            QVERIFY2(rx.isValid(), qPrintable(r.getText(0) + QLatin1String(": ") + rx.errorString()));
            if (r.getText(1).isEmpty())
                noPattern << r.getText(0);
        }
        QCOMPARE(noPattern, (QStringList {"AC", "SH", "VA"}));

        for (const QJsonValue& row : dataJson("countries.json")[QLatin1String("tellingRows")].toArray()) {
            const QStringList want = row.toVariant().toStringList(); // sn, pnum, mmc, numc, n, r1
            const _Country c = db.getCountryByCode(want[0]);
            QCOMPARE(QStringList({c.sn, c.pnum, c.mmc, c.numc, c.n, c.mobilePattern}),
                     want.mid(0, 5) << QLatin1Char('^') + want[5] + QLatin1Char('$'));
        }
    }

    void workingCopy_madeOnceKeptAndBrokenOneRefused()
    {
        {
            CountryLibDb db(u"460"_s);
            db.open();
            // The working copy is ours: change it the way a user could.
            db.executeThrow(u"update countries set n='Changed' where sn='CN'"_s);
        }
        QCOMPARE(CountryLibDb(u"460"_s).getCurCountry().n, u"Changed"_s);
        QFile f(countriesPath());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);
        f.close();
        CountryLibDb db(u"460"_s);
        QVERIFY_THROWS_EXCEPTION(std::exception, db.open());
        QVERIFY(!db.isOpen());
        QVERIFY_THROWS_EXCEPTION(std::exception, db.getCurCountry());
        QVERIFY(!db.isOpen());
        // Once the broken copy is gone, the same instance recovers from the bundle.
        QVERIFY(QFile::remove(countriesPath()));
        QCOMPARE(db.getCurCountry().n, u"China"_s);
    }

    // Numbers, names and mail addresses of each country; bad input gets a
    // defined result. Anchors of a pattern apply to its first and last
    // alternatives only; a country without a mobile pattern places a number
    // by its calling code alone; the empty country strips.
    void normalize_data()
    {
        QTest::addColumn<QString>("country");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        int i = 0;
        for (const QJsonValue& row : dataJson("countries.json")[QLatin1String("numbers")].toArray())
            QTest::addRow("%d %s %s", i++, qPrintable(row[0].toString()), qPrintable(row[1].toString().left(20)))
                << row[0].toString() << row[1].toString() << row[2].toString();
        QTest::newRow("5000 digits") << u"CN"_s << QString(5000, u'9') << QString(5000, u'9');
    }
    void normalize()
    {
        QFETCH(QString, country);
        QFETCH(QString, address);
        QTEST(CountryLibDb(QString()).getCountryByCode(country).normalizeNumber(address), "expected");
    }

    // Bad table data or a hostile MCC: no crash, no match, no country.
    void badCountryData()
    {
        for (const QString& mcc : {u"abc"_s, u"46'0; drop table countries"_s}) {
            bool found = true;
            QVERIFY(CountryLibDb(mcc).getCurCountry().sn.isEmpty());
            QVERIFY(CountryLibDb(mcc).getCountryByCode(u"xx"_s, &found).sn.isEmpty() && !found);
        }
        QVERIFY(!CountryLibDb(QString()).getCountryByCode(u"AC"_s).isMobileNumber(u"61234"_s));
        _Country bad; // an invalid pattern and bad lengths
        bad.pnum = u"99"_s;
        bad.numc = u"x,,5"_s;
        bad.mobilePattern = u"^(1\\d{4}$"_s;
        QVERIFY(!bad.isMobileNumber(u"12345"_s));
        QVERIFY(bad.isNationalLength(0)); // "x" and the empty entry read as 0
        QCOMPARE(bad.normalizeNumber(u"9912345"_s), u"+9912345"_s);
    }
};

QTEST_GUILESS_MAIN(TestCountryLibDb)
#include "test_countrylibdb.moc"
