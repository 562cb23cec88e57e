#include "messagestore/emoji.h"

#include <QTest>

namespace {

QString codeOnly(void*, QString code)
{
    return QLatin1Char('<') + code + QLatin1Char('>');
}

// Replacement text that itself looks like an emoji: must not be searched again.
QString emojiBack(void*, QString)
{
    return QString(QChar(0xE001));
}

QString fromUnits(std::initializer_list<char16_t> units)
{
    QString s;
    for (char16_t u : units)
        s += QChar(u);
    return s;
}

} // namespace

class TestEmoji : public QObject {
    Q_OBJECT
private slots:
    void replaceEmoji_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("private use range") << fromUnits({0xE000, u'a', 0xE537, 0xE538, 0xE5FF})
                                           << QStringLiteral("<E000>a<E537>") + fromUnits({0xE538, 0xE5FF});
        QTest::newRow("listed symbols") << fromUnits({0x2714, 0x203C, 0x3030, 0x2713})
                                        << QStringLiteral("<2714><203C><3030>") + fromUnits({0x2713});
        QTest::newRow("surrogate pairs") << fromUnits({u'x', 0xD83D, 0xDE04, u'y', 0xD83C, 0xDF89})
                                         << QStringLiteral("x<1F604>y<1F389>");
        QTest::newRow("other high surrogate") << fromUnits({0xD83E, 0xDD14}) << fromUnits({0xD83E, 0xDD14});
        QTest::newRow("dangling high surrogate") << fromUnits({u'a', 0xD83D}) << fromUnits({u'a', 0xD83D});
        QTest::newRow("empty") << QString() << QString();
    }
    void replaceEmoji()
    {
        QFETCH(QString, in);
        QTEST(::replaceEmoji(in, codeOnly, nullptr), "out");
    }

    void placeholdersAndReplacementsNotSearchedAgain()
    {
        QCOMPARE(::replaceEmoji(QStringLiteral("ok ") + fromUnits({0x2714, 0xD83D, 0xDE04}), emojiToPlaceholder, nullptr),
                 QStringLiteral("ok [EMOJI][EMOJI]"));
        // Any unit follows a high surrogate, even a line feed.
        QCOMPARE(::replaceEmoji(fromUnits({0xD83D, u'\n'}), emojiToPlaceholder, nullptr), QStringLiteral("[EMOJI]"));
        QCOMPARE(::replaceEmoji(fromUnits({0xE000, 0xE000}), emojiBack, nullptr), fromUnits({0xE001, 0xE001}));
    }
};

QTEST_GUILESS_MAIN(TestEmoji)
#include "test_emoji.moc"
