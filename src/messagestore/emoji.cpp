#include "emoji.h"

#include <algorithm>
#include <array>

namespace {

// The symbols of the Basic Multilingual Plane counted as emoji, sorted.
constexpr std::array<char16_t, 44> kBmpEmoji = {
    0x203C, 0x2049, 0x2139, 0x2194, 0x2195, 0x21A9, 0x21AA, 0x231A, 0x231B, 0x23EB, 0x23EC,
    0x23F0, 0x23F3, 0x24C2, 0x25AA, 0x25AB, 0x25FB, 0x25FC, 0x25FD, 0x25FE, 0x2611, 0x267B,
    0x2693, 0x26AA, 0x26AB, 0x26C5, 0x26D4, 0x2705, 0x2709, 0x270F, 0x2712, 0x2714, 0x2744,
    0x2747, 0x274E, 0x2795, 0x2796, 0x2797, 0x27B0, 0x2934, 0x2935, 0x2B1B, 0x2B1C, 0x3030,
};

bool isSingleUnitEmoji(char16_t u)
{
    if (u >= 0xE000 && u <= 0xE537)
        return true;
    return std::binary_search(kBmpEmoji.begin(), kBmpEmoji.end(), u);
}

QString hexCode(uint code)
{
    return QString::number(code, 16).toUpper();
}

} // namespace

QString replaceEmoji(const QString& text, EmojiCallback callback, void* context)
{
    if (!callback)
        return text;

    // One pass over the original text, so no replacement is ever read as
    // text: U+D83C or U+D83D takes whatever single unit follows it (the
    // follower need not be a low surrogate; the pair is combined by the
    // surrogate rule all the same); any other unit is an emoji on its own
    // or copied.
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        if ((u == 0xD83C || u == 0xD83D) && i + 1 < n) {
            const char16_t low = text.at(i + 1).unicode();
            const uint code = (uint(u) - 0xD800) * 1024 + (uint(low) - 0xDC00) + 0x10000;
            result += callback(context, hexCode(code));
            ++i;
        } else if (isSingleUnitEmoji(u)) {
            result += callback(context, hexCode(u));
        } else {
            result += text.at(i);
        }
    }
    return result;
}

QString emojiToPlaceholder(void*, QString)
{
    return QStringLiteral("[EMOJI]");
}
