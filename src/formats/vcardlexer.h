// Byte-driven vCard lexer: unfolds lines, splits a property header into its
// name and parameters, and undoes the transfer encodings (quoted-printable,
// base64) of the value. It reports through two plain callbacks so that the
// parser above it (and any other consumer) stays independent of it.
//
// Lines end in CR, LF or CR LF. A line break followed by one blank or tab is
// a fold. vCard 3.0 and 4.0 remove both (RFC 2425/6350); vCard 2.1 folds at
// white space and keeps it (RFC 822), so there only the break goes and one
// blank stands for the white space. A line that cannot be read (a
// malformed header, text without ":") is skipped and counted; the lexer goes
// on with the next line.
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <memory>
#include <utility>
#include <vector>

class VCardLexer {
public:
    // name: the header's name, NUL-terminated. params: (name, value) pairs of
    // NUL-terminated strings, value null for a parameter without "=", ended
    // by a pair of nulls. Both live in the lexer and are valid during the call.
    using PropertyCallback = void (*)(void* userData, const char* name, const char* const* params);
    // Called once with the decoded value when it is not empty, then with
    // (nullptr, 0) to mark the end of the value.
    using ValueCallback = void (*)(void* userData, const char* bytes, qsizetype length);

    enum State {
        StateName = 0,
        StateParamStart,
        StateParamName,
        StateParamValueStart,
        StateParamValue,
        StateValue,
        StateSkipLine, // the rest of a malformed line is dropped
    };
    enum Encoding { EncodingNone = 0, EncodingQuotedPrintable, EncodingBase64, Encoding8Bit };

    // A new lexer, or null when out of memory.
    static std::unique_ptr<VCardLexer> create();
    ~VCardLexer();

    void setUserData(void* userData) { m_userData = userData; }
    void setPropertyCallback(PropertyCallback cb) { m_propertyCallback = cb; }
    void setValueCallback(ValueCallback cb) { m_valueCallback = cb; }

    // Feeds bytes; with final set the text ends after them. 0 when the lexer
    // stopped (out of memory; the rest is not read), non-zero otherwise.
    int feed(const char* bytes, qsizetype length, bool final);
    // One unfolded byte; 0 to stop.
    int step(char c);
    // Back to reading a property name for the next line.
    void reset();
    void endHeader();
    // 0 when out of memory.
    int appendByte(char c);
    void addParam(qsizetype nameOffset);

    // Lines dropped so far because they could not be read.
    int skippedLines() const { return m_skippedLines; }

    // Unfold as vCard 2.1 does: a fold's line break is removed and its white
    // space stays as one blank. Off (3.0 and 4.0): both are removed.
    void setFoldKeepsBlank(bool on) { m_foldKeepsBlank = on; }

    // During a property callback: the text after the ":" that ended the
    // header, up to the end of the bytes being fed (the rest of the line and
    // the lines after it, as written).
    QByteArrayView textAhead() const { return {m_ahead, m_feedEnd}; }

    // vCard 2.1 continues a plain value on the next line when the line ends
    // in a backslash; the two lines are one value with a line feed between
    // them. A next line that starts with a property as the card writes them
    // (a known name or an X- one, in the case of the value's own name), or
    // that begins or ends a card ("END:VCARD" in any case), is not taken.
    void setBackslashContinuation(bool on) { m_backslashContinuation = on; }

private:
    VCardLexer() = default;

    void decodeValueByte(char c);
    // The bytes of a value line up to its end (a quoted-printable one up to
    // its next "="), taken whole; returns how many bytes of text were used,
    // 0 when out of memory.
    qsizetype appendValueRun(const char* bytes, qsizetype length);
    // At the end of a value line: true when the value goes on with the next
    // line (a 2.1 backslash continuation), whose start is text[0..length).
    bool continuesOnNextLine(const char* text, qsizetype length);
    void endValue();
    // A malformed header: count the line and drop the rest of it.
    int skipLine();
    // A line that ended inside a header: count it and start the next one.
    int dropLine();

    bool m_pendingNewline = true;
    bool m_folding = false;
    // The last byte was a CR: a LF right after it belongs to the same break.
    bool m_afterCR = false;
    std::vector<char> m_buffer;
    int m_state = StateName;
    bool m_valueStart = true;
    std::vector<std::pair<qsizetype, qsizetype>> m_params;
    std::vector<const char*> m_paramPointers;
    bool m_paramEscape = false;
    // Inside double quotes in a parameter value: ":", ";", "," and blanks
    // are part of the value.
    bool m_paramQuoted = false;
    int m_encoding = EncodingNone;
    bool m_qpEscape = false;
    char m_scratch[2] = {0, 0};
    int m_groupCount = 0;
    // A Base64 value is collected as text and decoded whole at its end.
    std::vector<char> m_decoded;
    bool m_backslashContinuation = false;
    // The name of the property being read is in lower case: so are the
    // names of the properties that may end its value at a line break.
    bool m_nameInLowerCase = false;
    bool m_foldKeepsBlank = false;
    // Where the byte after the one being stepped is, and where the fed bytes
    // end (textAhead).
    const char* m_ahead = nullptr;
    const char* m_feedEnd = nullptr;
    bool m_outOfMemory = false;
    int m_skippedLines = 0;
    void* m_userData = nullptr;
    PropertyCallback m_propertyCallback = nullptr;
    ValueCallback m_valueCallback = nullptr;
};

namespace vcardlexer_detail {
inline constexpr std::array<unsigned char, 256> kBase64Digits = [] {
    std::array<unsigned char, 256> table {};
    table.fill(255);
    for (int i = 0; i < 26; ++i) {
        table['A' + i] = static_cast<unsigned char>(i);
        table['a' + i] = static_cast<unsigned char>(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<unsigned char>(52 + i);
    table['+'] = 62;
    table['/'] = 63;
    return table;
}();
} // namespace vcardlexer_detail

// The value of a Base64 digit: A-Z 0-25, a-z 26-51, 0-9 52-61, "+" 62,
// "/" 63, anything else 255.
constexpr int base64DigitValue(char c)
{
    return vcardlexer_detail::kBase64Digits[static_cast<unsigned char>(c)];
}

// Decodes Base64 text, skipping white space, and appends the bytes to out.
// A group that cannot be decoded ends the decoding: the bytes before it are
// kept. A last group without its padding is padded; a single character left
// over makes no byte. False when out of memory.
bool decodeBase64Text(const char* text, qsizetype length, std::vector<char>& out);
