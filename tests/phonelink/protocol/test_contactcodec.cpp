// The "$ent:" codec: the cases where a slip loses or mislabels data, and every
// label word through the application's codec and back through the simulated
// phone's own one.
#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "simcodec.h"

#include <QTest>

using namespace simpleprotocol;

namespace {

ContactDataRow row(qint64 id, const QVariantMap& values, const QString& srcId = QString())
{
    ContactDataRow r(id, srcId);
    r.values = values;
    return r;
}

// The fields of a row of the kind written by the PC.
QStringList enc(int kind, const QVariantMap& values)
{
    return encodeDataRow(kind, 1, 1, row(1, values)).split(QLatin1Char(','));
}

QVariantMap dec(const QStringList& fields, int kind, QVariantMap v = {})
{
    decodeContact(fields, kind, v);
    return v;
}

QString b64(const char* text)
{
    return QString::fromLatin1(QByteArray(text).toBase64());
}

// The column that carries the label code of a category.
QString labelColumn(int category)
{
    return category == kImProtocolCategory ? QStringLiteral("data5") : QStringLiteral("data2");
}

} // namespace

class TestContactCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void encode_labelsWordsAndDates()
    {
        // The phone's own id is kept; a local row goes out negated.
        QVERIFY(encodeDataRow(3, 5, 5, row(12, {}, QStringLiteral("3/880/41/9100")))
                    .startsWith(QStringLiteral("3/880/41/9100,")));
        QCOMPARE(enc(3, {}).first(), QStringLiteral("3/1/1/-1"));
        // Phone type 7 has no word, 0 is "other", a non-number counts as 0:
        // all read back as 0.
        for (const QVariant& code : {QVariant(7), QVariant(0), QVariant(QStringLiteral("x"))}) {
            const QStringList f = enc(3, {{QStringLiteral("data2"), code}});
            QCOMPARE(f.at(1), code == QVariant(7) ? QString() : QStringLiteral("other"));
            QCOMPARE(dec(f, 3).value(QStringLiteral("data2")).toInt(), 0);
        }
        // A nickname keeps only its text and its one type.
        const QStringList nick = enc(5,
                                     {{QStringLiteral("data1"), QStringLiteral("Bo")},
                                      {QStringLiteral("data2"), 4},
                                      {QStringLiteral("data3"), QStringLiteral("x")}});
        QCOMPARE(nick.at(1), QStringLiteral("short"));
        QCOMPARE(dec(nick, 5),
                 (QVariantMap {{QStringLiteral("data1"), QStringLiteral("Bo")}, {QStringLiteral("data2"), 1}}));
        QCOMPARE(enc(6, {{QStringLiteral("data1"), QStringLiteral("1980-02-29T00:00:00")}}).at(3),
                 QStringLiteral("1980-02-29"));
        QCOMPARE(enc(6, {{QStringLiteral("data1"), QStringLiteral("soon")}}).at(3), QString());
        const QByteArray jpeg("\xff\xd8\xff\xe0\x00\x10JFIF\x00,,", 14);
        QCOMPARE(dec(enc(2, {{QStringLiteral("data15"), jpeg}}), 2).value(QStringLiteral("data15")).toByteArray(),
                 jpeg);
        // The wire keeps its misspelt word.
        QCOMPARE(labelCode(11, QStringLiteral("parnet")), 9);
        QCOMPARE(labelCode(11, QStringLiteral("parent")), 0);
    }

    void decode_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QVariantMap>("before");
        QTest::addColumn<QVariantMap>("expected"); // the columns checked
        const QString d1 = QStringLiteral("data1"), d2 = QStringLiteral("data2"), d3 = QStringLiteral("data3");
        QTest::newRow("custom label wins") << QStringList {"3/1/1/1", "work", b64("Office"), QString()} << QVariantMap()
                                           << QVariantMap {{d2, 0}, {d3, QStringLiteral("Office")}};
        QTest::newRow("birthday") << QStringList {"6/1/1/1", "birthday", QString(), "1980-02-29"} << QVariantMap()
                                  << QVariantMap {{d1, QStringLiteral("1980-02-29T00:00:00")}, {d2, 3}};
        QTest::newRow("no such day") << QStringList {"6/1/1/1", "birthday", QString(), "1980-02-30"}
                                     << QVariantMap {{d1, QStringLiteral("x")}} << QVariantMap {{d1, QString()}};
        QTest::newRow("custom IM protocol wins")
            << QStringList {"8/1/1/1", "home", QString(), "qq", b64("Tox"), b64("me@tox")} << QVariantMap()
            << QVariantMap {{QStringLiteral("data5"), 0},
                            {QStringLiteral("data6"), QStringLiteral("Tox")},
                            {d1, QStringLiteral("me@tox")}};
        QTest::newRow("short line keeps columns")
            << QStringList {"1/1/1/1", b64("Dr."), b64("Ann")} << QVariantMap {{d3, QStringLiteral("kept")}}
            << QVariantMap {{d3, QStringLiteral("kept")}, {d1, QStringLiteral("Dr. Ann kept")}};
        QTest::newRow("postal address") << QStringList {"12/1/1/1",       "home",      QString(),
                                                        b64("USA"),       b64("IL"),   b64("Springfield"),
                                                        b64("1 Main St"), b64("62701")}
                                        << QVariantMap()
                                        << QVariantMap {{d1, QStringLiteral("1 Main St\nSpringfield, IL 62701\nUSA")}};
    }
    void decode()
    {
        QFETCH(QStringList, fields);
        QFETCH(QVariantMap, before);
        QFETCH(QVariantMap, expected);
        const QVariantMap got = dec(fields, fields.first().section(QLatin1Char('/'), 0, 0).toInt(), before);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(got.value(it.key()).toString(), it.value().toString());
    }

    // Every label word of every kind: PC writes, phone reads and writes it
    // back, PC reads it. Both sides must agree on the word and the code.
    void everyLabel_roundTripsThroughThePhonesCodec()
    {
        const QList<QPair<int, int>> phoneLabels = phonesim::codec::allLabels();
        QCOMPARE(labelTable().size(), phoneLabels.size());
        for (auto it = labelTable().cbegin(); it != labelTable().cend(); ++it) {
            const int category = it.key() / 100;
            const int code = it.key() % 100;
            QVERIFY2(phoneLabels.contains({category, code}), qPrintable(it.value()));
            QCOMPARE(labelCode(category, it.value()), code);
            const int kind = category == kImProtocolCategory ? 8 : category;
            QVariantMap values {{labelColumn(category), code}, {QStringLiteral("data1"), QStringLiteral("v\u00e4l")}};
            if (category == kImProtocolCategory)
                values.insert(QStringLiteral("data2"), 1);
            if (kind == 6)
                values.insert(QStringLiteral("data1"), QStringLiteral("2001-01-31"));
            const QString arg = encodeDataRow(kind, 40, 40, row(7, values));

            phonesim::SimRow onPhone;
            QVERIFY(phonesim::decodeEnt("$ent:" + arg.toLatin1(), &onPhone));
            QCOMPARE(onPhone.kind, kind);
            QCOMPARE(onPhone.id, QStringLiteral("%1/40/40/-7").arg(kind));
            QCOMPARE(onPhone.columns.value(labelColumn(category)).toInt(), code);
            QCOMPARE(phonesim::codec::word(category, code), it.value().toLatin1());

            const QByteArray back = phonesim::encodeEnt(onPhone);
            QCOMPARE(back, "$ent:" + arg.toLatin1());
            const QVariantMap read = dec(QString::fromLatin1(back.mid(5)).split(QLatin1Char(',')), kind);
            QCOMPARE(read.value(labelColumn(kind == 5 ? 5 : category)).toInt(), kind == 5 ? 1 : code);
        }
    }

    void everyKind_roundTripsItsColumns()
    {
        const QMap<int, QStringList> columns {{1, {"data5", "data2", "data4", "data3", "data6"}},
                                              {3, {"data3", "data1"}},
                                              {4, {"data3", "data1"}},
                                              {7, {"data2"}},
                                              {8, {"data3", "data6", "data1"}},
                                              {9, {"data1"}},
                                              {10, {"data3", "data1", "data5", "data4"}},
                                              {11, {"data3", "data1"}},
                                              {12, {"data3", "data10", "data8", "data7", "data4", "data9"}},
                                              {13, {"data3", "data1"}}};
        for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
            QVariantMap values;
            for (const QString& c : it.value())
                values.insert(c, QStringLiteral("%1 \u00e9,%2").arg(c).arg(it.key()));
            phonesim::SimRow onPhone;
            QVERIFY(phonesim::decodeEnt(enc(it.key(), values).join(QLatin1Char(',')).toLatin1(), &onPhone));
            const QVariantMap read
                = dec(QString::fromLatin1(phonesim::encodeEnt(onPhone).mid(5)).split(QLatin1Char(',')), it.key());
            for (const QString& c : it.value()) {
                QCOMPARE(onPhone.columns.value(c).toString(), values.value(c).toString());
                QCOMPARE(read.value(c).toString(), values.value(c).toString());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestContactCodec)
#include "test_contactcodec.moc"
