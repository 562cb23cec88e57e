#include "records/contact.h"

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
    void nameAndAddressText()
    {
        QCOMPARE(pim::formatName(row({{5, QStringLiteral("Dr.")}, {1, QStringLiteral("Someone")}, {2, QStringLiteral("Mary  Ann")},
                     {3, QStringLiteral("Lee")}})),
            QStringLiteral("Dr. Mary  Ann Lee")); // the display name is not used; inner blanks stay
        QCOMPARE(pim::formatAddress(row({{4, QStringLiteral("1 Main St")}, {7, QStringLiteral("Springfield")},
                     {8, QStringLiteral("IL")}, {9, QStringLiteral("62701")}, {10, QStringLiteral("USA")}})),
            QStringLiteral("1 Main St\nSpringfield, IL 62701\nUSA"));
        QCOMPARE(pim::formatAddress(row({{7, QStringLiteral("Springfield")}, {9, QStringLiteral("62701")}})),
            QStringLiteral("Springfield, 62701"));
    }

    void phoneLessThan_isStrictAndSortsMobileFirst()
    {
        const ContactDataRow work = phone(QStringLiteral("w"), 3);
        const ContactDataRow mobile = phone(QStringLiteral("m"), 2);
        QCOMPARE(phoneTypeRank(phone(QStringLiteral("1"), QStringLiteral("12"))), 20); // text or number
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

    void isSameDataValues_absentEmptyNumbersAndTexts()
    {
        const QStringList d3 = keys({3});
        QVERIFY(!isSameDataValues(row({{3, QString()}}), QVariantMap(), d3));
        QVERIFY(!isSameDataValues(QVariantMap(), row({{3, QStringLiteral("")}}), d3));
        QVERIFY(isSameDataValues(QVariantMap(), QVariantMap(), d3));
        QVERIFY(isSameDataValues(row({{3, QString()}}), row({{3, QStringLiteral("")}}), d3));
        // Texts compare exactly.
        QVERIFY(!isSameDataValues(row({{1, QStringLiteral("Ann")}}), row({{1, QStringLiteral("ann")}}), keys({1})));
        // A number equals its decimal text, in either order, and nothing else.
        QVERIFY(isSameDataValues(row({{2, 2}}), row({{2, QStringLiteral("2")}}), keys({2})));
        QVERIFY(isSameDataValues(row({{2, QStringLiteral("2")}}), row({{2, qlonglong(2)}}), keys({2})));
        QVERIFY(!isSameDataValues(row({{2, 2}}), row({{2, QStringLiteral("02")}}), keys({2})));
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

    void isDataEmpty_blanksCountAsContent()
    {
        QVERIFY(isDataEmpty(QVariantMap(), keys({1, 2})));
        QVERIFY(isDataEmpty(row({{1, QString()}, {2, QStringLiteral("")}}), keys({1, 2})));
        QVERIFY(!isDataEmpty(row({{2, QStringLiteral(" ")}}), keys({1, 2})));
        QVERIFY(!isDataEmpty(row({{2, 0}}), keys({2}))); // the number 0 reads as "0"
    }
};

QTEST_GUILESS_MAIN(TestContact)
#include "test_contact.moc"
