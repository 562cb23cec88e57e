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
    void privateUseRangeBounds()
    {
        const QString in = fromUnits({0xE000, u'a', 0xE537, 0xE538, 0xE5FF});
        QCOMPARE(replaceEmoji(in, codeOnly, nullptr), QStringLiteral("<E000>a<E537>") + fromUnits({0xE538, 0xE5FF}));
    }

    void listedSymbolsAndPlaceholder()
    {
        QCOMPARE(replaceEmoji(fromUnits({0x2714}), codeOnly, nullptr), QStringLiteral("<2714>"));
        QCOMPARE(replaceEmoji(fromUnits({0x203C, 0x3030, 0x2713}), codeOnly, nullptr),
                 QStringLiteral("<203C><3030>") + fromUnits({0x2713}));
        QCOMPARE(replaceEmoji(QStringLiteral("ok ") + fromUnits({0x2714, 0xD83D, 0xDE04}), emojiToPlaceholder, nullptr),
                 QStringLiteral("ok [EMOJI][EMOJI]"));
    }

    void surrogatePairs()
    {
        // U+1F604 is D83D DE04.
        QCOMPARE(replaceEmoji(fromUnits({u'x', 0xD83D, 0xDE04, u'y'}), codeOnly, nullptr), QStringLiteral("x<1F604>y"));
        QCOMPARE(replaceEmoji(fromUnits({0xD83C, 0xDF89}), codeOnly, nullptr), QStringLiteral("<1F389>"));
        // Other high surrogates are not emoji here.
        const QString other = fromUnits({0xD83E, 0xDD14});
        QCOMPARE(replaceEmoji(other, codeOnly, nullptr), other);
        // A high surrogate at the very end has no follower: left alone.
        const QString dangling = fromUnits({u'a', 0xD83D});
        QCOMPARE(replaceEmoji(dangling, codeOnly, nullptr), dangling);
        // Any unit follows, even a line feed (the pair is still combined).
        QVERIFY(replaceEmoji(fromUnits({0xD83D, u'\n'}), emojiToPlaceholder, nullptr) == QStringLiteral("[EMOJI]"));
    }

    void replacementsAreNotSearchedAgain()
    {
        QCOMPARE(replaceEmoji(fromUnits({0xE000, 0xE000}), emojiBack, nullptr), fromUnits({0xE001, 0xE001}));
        QCOMPARE(replaceEmoji(QString(), codeOnly, nullptr), QString());
        QCOMPARE(replaceEmoji(QStringLiteral("plain"), codeOnly, nullptr), QStringLiteral("plain"));
    }
};

QTEST_GUILESS_MAIN(TestEmoji)
#include "test_emoji.moc"
