// The contact record model: display name, address text, photo hash, phone
// order, row value comparison and the label tables.
#include "records/contact.h"

#include <QCryptographicHash>
#include <QTest>

#include <algorithm>

using namespace pim;

namespace {

QVariantMap row(std::initializer_list<std::pair<int, QVariant>> values)
{
    QVariantMap m;
    for (const auto& v : values)
        m.insert(QStringLiteral("data%1").arg(v.first), v.second);
    return m;
}

ContactDataRow phone(const QString& number, const QVariant& type)
{
    ContactDataRow r;
    r.values = row({{1, number}, {2, type}});
    return r;
}

QStringList keys(std::initializer_list<int> numbers)
{
    QStringList list;
    for (int n : numbers)
        list << QStringLiteral("data%1").arg(n);
    return list;
}

} // namespace

class TestContact : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatName_data();
    void formatName();
    void formatAddress_data();
    void formatAddress();
    void photoHash_isBase64OfMd5OfData15();
    void phoneLessThan_isStrictAndSortsMobileFirst();
    void isSameDataValues_absentEmptyNumbersAndTexts();
    void isDataEmpty_blanksCountAsContent();
    void labelTables_holdTheirCodes();
};

void TestContact::formatName_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("expected");
    QTest::newRow("full") << row({{5, QStringLiteral("Dr.")}, {2, QStringLiteral("Ann")}, {3, QStringLiteral("Lee")}})
                          << QStringLiteral("Dr. Ann Lee");
    QTest::newRow("last only") << row({{3, QStringLiteral("Lee")}}) << QStringLiteral("Lee");
    QTest::newRow("blank prefix") << row({{5, QStringLiteral("   ")}}) << QString();
    QTest::newRow("display name ignored") << row({{1, QStringLiteral("Someone")}, {2, QStringLiteral("Ann")}})
                                          << QStringLiteral("Ann");
    QTest::newRow("inner blanks kept") << row({{2, QStringLiteral("Mary  Ann")}}) << QStringLiteral("Mary  Ann");
}

void TestContact::formatName()
{
    QFETCH(QVariantMap, values);
    QFETCH(QString, expected);
    QCOMPARE(pim::formatName(values), expected);
}

void TestContact::formatAddress_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("expected");
    QTest::newRow("full") << row({{4, QStringLiteral("1 Main St")},
                                  {7, QStringLiteral("Springfield")},
                                  {8, QStringLiteral("IL")},
                                  {9, QStringLiteral("62701")},
                                  {10, QStringLiteral("USA")}})
                          << QStringLiteral("1 Main St\nSpringfield, IL 62701\nUSA");
    QTest::newRow("postcode without city") << row({{9, QStringLiteral("62701")}, {10, QStringLiteral("USA")}})
                                           << QStringLiteral("USA");
    QTest::newRow("city and postcode") << row({{7, QStringLiteral("Springfield")}, {9, QStringLiteral("62701")}})
                                       << QStringLiteral("Springfield, 62701");
    QTest::newRow("street and country") << row({{4, QStringLiteral("1 Main St")}, {10, QStringLiteral("USA")}})
                                        << QStringLiteral("1 Main St\nUSA");
}

void TestContact::formatAddress()
{
    QFETCH(QVariantMap, values);
    QFETCH(QString, expected);
    QCOMPARE(pim::formatAddress(values), expected);
}

void TestContact::photoHash_isBase64OfMd5OfData15()
{
    const QByteArray jpeg("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11);
    const QString expected =
        QString::fromLatin1(QCryptographicHash::hash(jpeg, QCryptographicHash::Md5).toBase64());
    QCOMPARE(pim::photoHash(row({{15, jpeg}, {4, QStringLiteral("stale")}})), expected);
    QCOMPARE(expected.size(), 24);
    // No picture hashes the empty byte string.
    QCOMPARE(pim::photoHash(QVariantMap()), QStringLiteral("1B2M2Y8AsgTpgAmY7PhCfg=="));
}

void TestContact::phoneLessThan_isStrictAndSortsMobileFirst()
{
    const ContactDataRow work = phone(QStringLiteral("w"), 3);
    const ContactDataRow mobile = phone(QStringLiteral("m"), 2);
    QCOMPARE(phoneTypeRank(phone(QStringLiteral("1"), QStringLiteral("12"))), 20); // text or number
    QCOMPARE(phoneTypeRank(phone(QStringLiteral("1"), QStringLiteral("mobile"))), 100);
    QCOMPARE(phoneTypeRank(ContactDataRow()), 100);
    QVERIFY(!phoneLessThan(mobile, mobile)); // irreflexive
    QVERIFY(phoneLessThan(mobile, work));
    QVERIFY(!phoneLessThan(work, mobile));

    QList<ContactDataRow> rows = {work, phone(QStringLiteral("o"), 7), mobile, phone(QStringLiteral("h"), 1),
                                  phone(QStringLiteral("x"), 9), phone(QStringLiteral("main"), 12)};
    std::stable_sort(rows.begin(), rows.end(), phoneLessThan);
    QStringList order;
    for (const ContactDataRow& r : rows)
        order << r.values.value(QStringLiteral("data1")).toString();
    QCOMPARE(order, QStringList({"m", "main", "h", "w", "o", "x"}));
}

void TestContact::isSameDataValues_absentEmptyNumbersAndTexts()
{
    const QStringList d3 = keys({3});
    QVERIFY(!isSameDataValues(row({{3, QString()}}), QVariantMap(), d3));
    QVERIFY(!isSameDataValues(row({{3, QStringLiteral("")}}), QVariantMap(), d3));
    QVERIFY(!isSameDataValues(QVariantMap(), row({{3, QStringLiteral("")}}), d3));
    QVERIFY(isSameDataValues(QVariantMap(), QVariantMap(), d3));
    QVERIFY(isSameDataValues(row({{3, QString()}}), row({{3, QStringLiteral("")}}), d3));
    // Texts compare exactly.
    QVERIFY(!isSameDataValues(row({{1, QStringLiteral("Ann")}}), row({{1, QStringLiteral("ann")}}), keys({1})));
    // A number equals its decimal text, in either order, and nothing else.
    QVERIFY(isSameDataValues(row({{2, 2}}), row({{2, QStringLiteral("2")}}), keys({2})));
    QVERIFY(isSameDataValues(row({{2, QStringLiteral("2")}}), row({{2, qlonglong(2)}}), keys({2})));
    QVERIFY(!isSameDataValues(row({{2, 2}}), row({{2, QStringLiteral("02")}}), keys({2})));
    QVERIFY(!isSameDataValues(row({{2, 2}}), row({{2, QStringLiteral(" 2")}}), keys({2})));
    QVERIFY(isSameDataValues(row({{1, QVariant::fromValue(quint64(18446744073709551615ULL))}}),
                             row({{1, QStringLiteral("18446744073709551615")}}), keys({1})));
    // Bytes compare as bytes.
    QVERIFY(isSameDataValues(row({{15, QByteArray("ab\0c", 4)}}), row({{15, QByteArray("ab\0c", 4)}}), keys({15})));
    QVERIFY(!isSameDataValues(row({{15, QByteArray("ab\0c", 4)}}), row({{15, QByteArray("ab\0d", 4)}}), keys({15})));
    // The first unequal key decides; an empty list is true.
    QVERIFY(!isSameDataValues(row({{1, QStringLiteral("a")}, {2, 1}}), row({{1, QStringLiteral("a")}, {2, 2}}),
                              keys({1, 2})));
    QVERIFY(isSameDataValues(row({{1, QStringLiteral("a")}}), row({{1, QStringLiteral("b")}}), {}));
}

void TestContact::isDataEmpty_blanksCountAsContent()
{
    QVERIFY(isDataEmpty(QVariantMap(), keys({1, 2})));
    QVERIFY(isDataEmpty(row({{1, QString()}, {2, QStringLiteral("")}}), keys({1, 2})));
    QVERIFY(!isDataEmpty(row({{2, QStringLiteral(" ")}}), keys({1, 2})));
    QVERIFY(!isDataEmpty(row({{2, 0}}), keys({2}))); // the number 0 reads as "0"
    QVERIFY(isDataEmpty(row({{1, QStringLiteral("x")}}), {}));
}

void TestContact::labelTables_holdTheirCodes()
{
    for (const auto& t : {phoneTypeLabels(), emailTypeLabels(), eventTypeLabels(), imProtocolLabels(), imTypeLabels(),
                          organizationTypeLabels(), relationTypeLabels(), postalTypeLabels(), websiteTypeLabels()})
        QCOMPARE(t.value(0), QStringLiteral("Other"));
    QVERIFY(!phoneTypeLabels().contains(7));
    QCOMPARE(phoneTypeLabels().size(), 20);
    QCOMPARE(organizationTypeLabels().value(1), QStringLiteral("Work"));
}

QTEST_GUILESS_MAIN(TestContact)
#include "test_contact.moc"
