// Emoji finder shared by message summaries, bubbles and printing.
#pragma once

#include <QString>

// Returns the replacement of one emoji, given its code: the code point in
// upper-case hexadecimal without leading zeros ("E000", "2714", "1F604").
// The context is passed through unchanged.
using EmojiCallback = QString (*)(void* context, QString code);

// Replaces every emoji in text by what the callback returns for it. Emoji
// are the private-use units U+E000..U+E537, a fixed list of symbols of the
// Basic Multilingual Plane, and a high surrogate U+D83C or U+D83D together
// with the unit that follows it. Replacements are not searched again.
QString replaceEmoji(const QString& text, EmojiCallback callback, void* context);

// "[EMOJI]" for every emoji.
QString emojiToPlaceholder(void* context, QString code);
