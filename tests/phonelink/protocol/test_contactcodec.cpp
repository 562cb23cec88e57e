// The "$ent:" codec: the cases where a slip loses or mislabels data, and every
// label word through the application's codec and back through the simulated
// phone's own one.
#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"

#include "simcodec.h"

#include <QTest>

using namespace simpleprotocol;

namespace {

ContactDataRow row(qint64 id, const QString& srcId, const QVariantMap& values)
{
    ContactDataRow r(id, srcId);
    r.values = values;
    return r;
}

QStringList fieldsOf(const QString& arg)
{
    return arg.split(QLatin1Char(','));
}

QString b64(const char* text)
{
    return QString::fromLatin1(QByteArray(text).toBase64());
}

// The columns that carry the label code of a category.
QString labelColumn(int category)
{
    return category == kImProtocolCategory ? QStringLiteral("data5") : QStringLiteral("data2");
}

} // namespace

class TestContactCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatId_keepsThePhonesIdOrNegatesTheLocalOne()
    {
        QCOMPARE(formatId(5, 7, 7, row(12, QString(), {})), QStringLiteral("5/7/7/-12"));
        QCOMPARE(formatId(5, 7, 7, row(12, QStringLiteral("5/100/44/9"), {})), QStringLiteral("5/100/44/9"));
    }

    void phoneRow_isWrittenWithItsWord()
    {
        const QVariantMap v{{QStringLiteral("data1"), QStringLiteral("+49 30 1234")}, {QStringLiteral("data2"), 2}};
        QCOMPARE(encodeDataRow(3, 5, 5, row(12, QString(), v)),
                 QStringLiteral("3/5/5/-12,mobile,,") + encodeField(QStringLiteral("+49 30 1234")));
        QVERIFY(encodeDataRow(3, 5, 5, row(12, QStringLiteral("3/880/41/9100"), v))
                    .startsWith(QStringLiteral("3/880/41/9100,mobile,,")));
    }

    void codesWithoutWord_readBackAsZero()
    {
        // Phone type 7 has no word; 0 is "other". Both read back as 0.
        for (int code : {7, 0}) {
            const QString arg = encodeDataRow(3, 1, 1, row(1, QString(), {{QStringLiteral("data2"), code}}));
            QCOMPARE(fieldsOf(arg).at(1), code == 7 ? QString() : QStringLiteral("other"));
            QVariantMap back;
            decodeContact(fieldsOf(arg), 3, back);
            QCOMPARE(back.value(QStringLiteral("data2")).toInt(), 0);
        }
        // A non-number counts as 0.
        QCOMPARE(fieldsOf(encodeDataRow(4, 1, 1, row(1, QString(), {{QStringLiteral("data2"), QStringLiteral("x")}})))
                     .at(1),
                 QStringLiteral("other"));
    }

    void customLabel_winsOverTheWord()
    {
        QVariantMap v;
        decodeContact({QStringLiteral("3/1/1/1"), QStringLiteral("work"), b64("Office"), QString()}, 3, v);
        QCOMPARE(v.value(QStringLiteral("data2")).toInt(), 0);
        QCOMPARE(v.value(QStringLiteral("data3")).toString(), QStringLiteral("Office"));
        v.clear();
        decodeContact({QStringLiteral("3/1/1/1"), QStringLiteral("work"), QString(), QString()}, 3, v);
        QCOMPARE(v.value(QStringLiteral("data2")).toInt(), 3);
        // Words are case-sensitive.
        v.clear();
        decodeContact({QStringLiteral("4/1/1/1"), QStringLiteral("mobile")}, 4, v);
        QCOMPARE(v.value(QStringLiteral("data2")).toInt(), 4);
        decodeContact({QStringLiteral("4/1/1/1"), QStringLiteral("Mobile")}, 4, v);
        QCOMPARE(v.value(QStringLiteral("data2")).toInt(), 0);
    }

    void nickname_keepsOnlyItsText()
    {
        const QString arg = encodeDataRow(
            5, 1, 1,
            row(3, QString(), {{QStringLiteral("data1"), QStringLiteral("Bo")}, {QStringLiteral("data2"), 4},
                               {QStringLiteral("data3"), QStringLiteral("x")}}));
        QCOMPARE(fieldsOf(arg).at(1), QStringLiteral("short"));
        QVariantMap v;
        decodeContact(fieldsOf(arg), 5, v);
        QCOMPARE(v.value(QStringLiteral("data2")).toInt(), 1);
        QCOMPARE(v.value(QStringLiteral("data1")).toString(), QStringLiteral("Bo"));
        QVERIFY(!v.contains(QStringLiteral("data3")));
    }

    void eventDates_travelAsPlainDays()
    {
        const QString arg = encodeDataRow(
            6, 1, 1, row(3, QString(), {{QStringLiteral("data1"), QStringLiteral("1980-02-29T00:00:00")}}));
        QCOMPARE(fieldsOf(arg).at(3), QStringLiteral("1980-02-29"));
        QCOMPARE(fieldsOf(encodeDataRow(6, 1, 1, row(3, QString(), {{QStringLiteral("data1"), QStringLiteral("1980-02-29")}})))
                     .at(3),
                 QStringLiteral("1980-02-29"));
        QCOMPARE(fieldsOf(encodeDataRow(6, 1, 1, row(3, QString(), {{QStringLiteral("data1"), QStringLiteral("soon")}})))
                     .at(3),
                 QString());
        QVariantMap v;
        decodeContact({QStringLiteral("6/1/1/1"), QStringLiteral("birthday"), QString(), QStringLiteral("1980-02-29")},
                      6, v);
        QCOMPARE(v.value(QStringLiteral("data1")).toString(), QStringLiteral("1980-02-29T00:00:00"));
        QCOMPARE(v.value(QStringLiteral("data2")).toInt(), 3);
        decodeContact({QStringLiteral("6/1/1/1"), QStringLiteral("birthday"), QString(), QStringLiteral("1980-02-30")},
                      6, v);
        QCOMPARE(v.value(QStringLiteral("data1")).toString(), QString());
    }

    void instantMessaging_customProtocolWins()
    {
        const QString arg = encodeDataRow(8, 1, 1, row(3, QString(), {{QStringLiteral("data5"), 5}}));
        QCOMPARE(fieldsOf(arg).at(3), QStringLiteral("qq"));
        QVariantMap v;
        decodeContact(fieldsOf(arg), 8, v);
        QCOMPARE(v.value(QStringLiteral("data5")).toInt(), 5);
        decodeContact({QStringLiteral("8/1/1/1"), QStringLiteral("home"), QString(), QStringLiteral("qq"), b64("Tox"),
                       b64("me@tox")},
                      8, v);
        QCOMPARE(v.value(QStringLiteral("data5")).toInt(), 0);
        QCOMPARE(v.value(QStringLiteral("data6")).toString(), QStringLiteral("Tox"));
        QCOMPARE(v.value(QStringLiteral("data1")).toString(), QStringLiteral("me@tox"));
    }

    void shortLines_leaveColumnsAlone_butComputeNames()
    {
        QVariantMap v{{QStringLiteral("data3"), QStringLiteral("kept")}};
        decodeContact({QStringLiteral("1/1/1/1"), b64("Dr."), b64("Ann")}, 1, v);
        QCOMPARE(v.value(QStringLiteral("data5")).toString(), QStringLiteral("Dr."));
        QCOMPARE(v.value(QStringLiteral("data2")).toString(), QStringLiteral("Ann"));
        QCOMPARE(v.value(QStringLiteral("data3")).toString(), QStringLiteral("kept"));
        QCOMPARE(v.value(QStringLiteral("data1")).toString(), QStringLiteral("Dr. Ann kept"));

        QVariantMap postal;
        decodeContact({QStringLiteral("12/1/1/1"), QStringLiteral("home"), QString(), b64("USA"), b64("IL"),
                       b64("Springfield"), b64("1 Main St"), b64("62701")},
                      12, postal);
        QCOMPARE(postal.value(QStringLiteral("data1")).toString(),
                 QStringLiteral("1 Main St\nSpringfield, IL 62701\nUSA"));

        // An unknown kind: the id alone, and nothing read.
        QCOMPARE(encodeDataRow(14, 2, 2, row(9, QString(), {{QStringLiteral("data1"), QStringLiteral("x")}})),
                 QStringLiteral("14/2/2/-9"));
        QVariantMap untouched{{QStringLiteral("data1"), QStringLiteral("x")}};
        decodeContact({QStringLiteral("14/2/2/9"), b64("y")}, 14, untouched);
        QCOMPARE(untouched, (QVariantMap{{QStringLiteral("data1"), QStringLiteral("x")}}));
    }

    void photo_travelsAsBytes()
    {
        const QByteArray jpeg("\xff\xd8\xff\xe0\x00\x10JFIF\x00,,", 14);
        const QString arg = encodeDataRow(2, 1, 1, row(1, QString(), {{QStringLiteral("data15"), jpeg}}));
        QVariantMap v;
        decodeContact(fieldsOf(arg), 2, v);
        QCOMPARE(v.value(QStringLiteral("data15")).toByteArray(), jpeg);
    }

    void labelTables_areEachOthersReverse()
    {
        QCOMPARE(labelFor(11, 9), QStringLiteral("parnet"));
        QCOMPARE(labelCode(11, QStringLiteral("parnet")), 9);
        QCOMPARE(labelCode(11, QStringLiteral("parent")), 0);
        QCOMPARE(labelFor(3, 7), QString());
        QCOMPARE(labelCode(3, QString()), 0);
        QCOMPARE(labelTable().size(), labelCodeTable().size());
        for (auto it = labelTable().cbegin(); it != labelTable().cend(); ++it)
            QCOMPARE(labelCode(it.key() / 100, it.value()), it.key() % 100);
    }

    // Every label word of every kind: PC writes, phone reads and writes it
    // back, PC reads it. Both sides must agree on the word and the code.
    void everyLabel_roundTripsThroughThePhonesCodec()
    {
        const QList<QPair<int, int>> phoneLabels = phonesim::codec::allLabels();
        int checked = 0;
        for (auto it = labelTable().cbegin(); it != labelTable().cend(); ++it) {
            const int category = it.key() / 100;
            const int code = it.key() % 100;
            QVERIFY2(phoneLabels.contains({category, code}), qPrintable(it.value()));
            const int kind = category == kImProtocolCategory ? 8 : category;
            QVariantMap values{{labelColumn(category), code}, {QStringLiteral("data1"), QStringLiteral("v\u00e4l")}};
            if (kind == 8 && category == kImProtocolCategory)
                values.insert(QStringLiteral("data2"), 1);
            if (kind == 6)
                values.insert(QStringLiteral("data1"), QStringLiteral("2001-01-31"));
            const QString arg = encodeDataRow(kind, 40, 40, row(7, QString(), values));

            phonesim::SimRow onPhone;
            QVERIFY(phonesim::decodeEnt("$ent:" + arg.toLatin1(), &onPhone));
            QCOMPARE(onPhone.kind, kind);
            QCOMPARE(onPhone.id, QStringLiteral("%1/40/40/-7").arg(kind));
            QCOMPARE(onPhone.columns.value(labelColumn(category)).toInt(), code);
            QCOMPARE(phonesim::codec::word(category, code), it.value().toLatin1());

            const QByteArray back = phonesim::encodeEnt(onPhone);
            QCOMPARE(back, "$ent:" + arg.toLatin1());
            QVariantMap read;
            decodeContact(QString::fromLatin1(back.mid(5)).split(QLatin1Char(',')), kind, read);
            const int expected = kind == 5 ? 1 : code;
            QCOMPARE(read.value(labelColumn(kind == 5 ? 5 : category)).toInt(), expected);
            ++checked;
        }
        QCOMPARE(checked, phoneLabels.size());
    }

    void everyKind_roundTripsItsColumns()
    {
        const QMap<int, QStringList> columns{
            {1, {"data5", "data2", "data4", "data3", "data6"}},
            {3, {"data3", "data1"}},
            {4, {"data3", "data1"}},
            {7, {"data2"}},
            {8, {"data3", "data6", "data1"}},
            {9, {"data1"}},
            {10, {"data3", "data1", "data5", "data4"}},
            {11, {"data3", "data1"}},
            {12, {"data3", "data10", "data8", "data7", "data4", "data9"}},
            {13, {"data3", "data1"}},
        };
        for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
            QVariantMap values;
            for (const QString& c : it.value())
                values.insert(c, QStringLiteral("%1 \u00e9,%2").arg(c).arg(it.key()));
            const QString arg = encodeDataRow(it.key(), 3, 3, row(1, QString(), values));
            phonesim::SimRow onPhone;
            QVERIFY(phonesim::decodeEnt(arg.toLatin1(), &onPhone));
            for (const QString& c : it.value())
                QCOMPARE(onPhone.columns.value(c).toString(), values.value(c).toString());
            QVariantMap read;
            decodeContact(QString::fromLatin1(phonesim::encodeEnt(onPhone).mid(5)).split(QLatin1Char(',')), it.key(),
                          read);
            for (const QString& c : it.value())
                QCOMPARE(read.value(c).toString(), values.value(c).toString());
        }
    }
};

QTEST_GUILESS_MAIN(TestContactCodec)
#include "test_contactcodec.moc"
