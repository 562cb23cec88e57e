#include "formats/vcardlexer.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The C library's isspace in the "C" locale, without its locale lookup.
inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Work buffers above this size are given back at the end of their line, so a
// large photo does not keep its memory for the rest of the parse; a common
// photo's buffer is used again for the next one.
constexpr size_t kKeepCapacity = 64 * 1024;

// Decodes one group of four characters ("=" padding allowed in the last two)
// into out; the number of bytes written, or -1 when the group is broken.
// Checked whole before anything is written: a broken group adds no byte.
inline int decodeGroup(const unsigned char* g, char* out)
{
    const int d0 = base64DigitValue(char(g[0]));
    const int d1 = base64DigitValue(char(g[1]));
    if (d0 == 255 || d1 == 255)
        return -1;
    const bool pad2 = g[2] == '=';
    const bool pad3 = pad2 || g[3] == '=';
    const int d2 = pad2 ? 0 : base64DigitValue(char(g[2]));
    const int d3 = pad3 ? 0 : base64DigitValue(char(g[3]));
    if (d2 == 255 || d3 == 255 || (pad2 && g[3] != '='))
        return -1;
    out[0] = char((d0 << 2) | (d1 >> 4));
    if (pad2)
        return 1;
    out[1] = char(((d1 << 4) | (d2 >> 2)) & 0xFF);
    if (pad3)
        return 2;
    out[2] = char(((d2 << 6) | d3) & 0xFF);
    return 3;
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

inline bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}

// A line that starts with a property as cards write one: a known name or an
// "X-" one, in upper case (in lower case when lowerCase: the card writes its
// names so), with or without a group, then ":" or parameters without blanks
// up to a ":". Text that merely holds a colon, or a line of a note such as
// "Tel: 555 0100" or "Begin: 9am", does not read as one.
bool startsProperty(const char* text, qsizetype length, bool lowerCase)
{
    static const char* const kNames[] = {
        "ADR",         "AGENT",    "ANNIVERSARY", "BDAY",  "BEGIN", "CATEGORIES", "CLASS", "EMAIL",
        "END",         "FN",       "GEO",         "IMPP",  "KEY",   "LABEL",      "LOGO",  "MAILER",
        "N",           "NICKNAME", "NOTE",        "ORG",   "PHOTO", "PRODID",     "REV",   "ROLE",
        "SORT-STRING", "SOUND",    "TEL",         "TITLE", "TZ",    "UID",        "URL",   "VERSION",
    };
    qsizetype k = 0;
    qsizetype nameStart = 0;
    while (k < length
           && (isUpper(text[k]) || isLower(text[k]) || (text[k] >= '0' && text[k] <= '9') || text[k] == '-'
               || text[k] == '_' || text[k] == '.')) {
        if (text[k] == '.')
            nameStart = k + 1;
        ++k;
    }
    if (k == nameStart || k == length || (text[k] != ':' && text[k] != ';'))
        return false;
    const QByteArrayView written(text + nameStart, k - nameStart);
    if (std::any_of(written.begin(), written.end(), lowerCase ? isUpper : isLower))
        return false;
    const QByteArray name = written.toByteArray().toUpper();
    const bool known = name.startsWith("X-")
        || std::any_of(std::begin(kNames), std::end(kNames), [&name](const char* n) { return name == n; });
    if (!known)
        return false;
    if (text[k] == ':')
        return true;
    for (; k < length && text[k] != '\r' && text[k] != '\n'; ++k) {
        if (text[k] == ':')
            return true;
        if (isBlank(text[k]))
            return false;
    }
    return false;
}

// A line that begins or ends a card: "BEGIN:VCARD" or "END:VCARD" in any
// case, blanks allowed around the colon and after the word. It ends any
// value before it: no writer continues a value with it, and a value that
// took it in would lose the card's end ("End: 5pm" in a note is no such
// line).
bool isCardBoundary(const char* text, qsizetype length)
{
    const auto skipWord = [&](qsizetype k, const char* word) {
        const qsizetype n = qsizetype(qstrlen(word));
        return k + n <= length && qstrnicmp(text + k, word, n) == 0 ? k + n : qsizetype(-1);
    };
    const auto skipBlanks = [&](qsizetype k) {
        while (k < length && isBlank(text[k]))
            ++k;
        return k;
    };
    qsizetype k = skipWord(0, "BEGIN");
    if (k < 0)
        k = skipWord(0, "END");
    if (k < 0)
        return false;
    k = skipBlanks(k);
    if (k == length || text[k] != ':')
        return false;
    k = skipWord(skipBlanks(k + 1), "VCARD");
    if (k < 0)
        return false;
    k = skipBlanks(k);
    return k == length || text[k] == '\r' || text[k] == '\n';
}

// Whether a property name (a group before it aside) is written in lower
// case: letters, none of them upper case.
bool writtenInLowerCase(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    bool lower = false;
    for (const char* p = dot ? dot + 1 : name; *p; ++p) {
        if (isUpper(*p))
            return false;
        lower = lower || isLower(*p);
    }
    return lower;
}

} // namespace

bool decodeBase64Text(const char* text, qsizetype length, std::vector<char>& out)
{
    const size_t start = out.size();
    try {
        out.resize(start + size_t(length / 4 + 1) * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    char* dst = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + length;
    unsigned char group[4];
    int count = 0;
    bool broken = false;
    while (p < end) {
        // Whole groups without white space in them, the common case.
        if (count == 0 && end - p >= 4 && base64DigitValue(char(p[0])) != 255 && base64DigitValue(char(p[1])) != 255
            && base64DigitValue(char(p[2])) != 255 && base64DigitValue(char(p[3])) != 255) {
            dst += decodeGroup(p, dst);
            p += 4;
            continue;
        }
        const unsigned char c = *p++;
        if (isSpace(char(c)))
            continue;
        group[count++] = c;
        if (count == 4) {
            count = 0;
            const int n = decodeGroup(group, dst);
            if (n < 0) {
                broken = true;
                break;
            }
            dst += n;
        }
    }
    if (!broken && count > 0) {
        while (count < 4)
            group[count++] = '=';
        const int n = decodeGroup(group, dst);
        if (n > 0)
            dst += n;
    }
    out.resize(size_t(dst - out.data()));
    return true;
}

std::unique_ptr<VCardLexer> VCardLexer::create()
{
    return std::unique_ptr<VCardLexer>(new (std::nothrow) VCardLexer());
}

VCardLexer::~VCardLexer() = default;

int VCardLexer::feed(const char* bytes, qsizetype length, bool final)
{
    m_feedEnd = bytes + length;
    for (qsizetype i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (!m_pendingNewline && c != '\n' && c != '\r') {
            // Inside a line: the common case, kept short. Values are taken
            // up to the line end (a quoted-printable one up to its next "=")
            // at once.
            m_afterCR = false;
            if (m_state == StateValue && !m_valueStart && m_valueCallback
                && (m_encoding != EncodingQuotedPrintable || (!m_qpEscape && c != '='))) {
                const qsizetype used = appendValueRun(bytes + i, length - i);
                if (used == 0)
                    return 0;
                i += used - 1;
                continue;
            }
            m_ahead = bytes + i + 1;
            if (!step(c))
                return 0;
            continue;
        }
        if (m_afterCR) {
            m_afterCR = false;
            if (c == '\n')
                continue; // the LF of a CR LF
        }
        const bool lineEnd = c == '\n' || c == '\r';
        m_afterCR = c == '\r';
        if (m_pendingNewline) {
            if (lineEnd) {
                // Blank lines vanish. A continuation line holding nothing but
                // its folding blank ends here: the next line is a new one.
                m_folding = false;
                continue;
            }
            if (!m_folding && (c == ' ' || c == '\t')) {
                m_folding = true;
                if (!m_foldKeepsBlank)
                    continue; // 3.0, 4.0: the break and this one blank are removed
                // 2.1: only the break goes; its white space stays as a blank.
                m_pendingNewline = false;
                if (!step(' '))
                    return 0;
                continue;
            }
            m_pendingNewline = false;
            if (!m_folding && !step('\n'))
                return 0;
        }
        if (lineEnd) {
            qsizetype next = i + 1;
            if (c == '\r' && next < length && bytes[next] == '\n')
                ++next;
            if (m_state == StateValue && m_encoding == EncodingQuotedPrintable && m_qpEscape
                && (m_groupCount == 0 || isBlank(m_scratch[0]))) {
                // "=" at the end of a quoted-printable line (blanks after it
                // are transport padding): a soft line break, the value goes
                // on with the next line. A note of several lines is written
                // with each line's encoded break before the soft one
                // ("=0D=0A="): its next line is the note's, whatever it
                // starts with ("Tel: ...", "Begin: ..."). Some writers end a
                // value with a soft break: when a property as the card
                // writes them follows, the value ends here. A card's BEGIN
                // or END line always ends it.
                const bool afterLineBreak = !m_buffer.empty() && (m_buffer.back() == '\n' || m_buffer.back() == '\r');
                m_qpEscape = false;
                m_groupCount = 0;
                if (!isCardBoundary(bytes + next, length - next)
                    && (afterLineBreak || !startsProperty(bytes + next, length - next, m_nameInLowerCase)))
                    continue;
            }
            if (m_state == StateValue && continuesOnNextLine(bytes + next, length - next))
                continue;
            m_pendingNewline = true;
            m_folding = false;
        } else {
            m_ahead = bytes + i + 1;
            if (!step(c))
                return 0;
        }
    }
    m_ahead = m_feedEnd;
    if (final && !step('\n'))
        return 0;
    return 1;
}

qsizetype VCardLexer::appendValueRun(const char* bytes, qsizetype length)
{
    qsizetype n = 0;
    if (m_encoding == EncodingQuotedPrintable) {
        while (n < length && bytes[n] != '\n' && bytes[n] != '\r' && bytes[n] != '=')
            ++n;
    } else {
        while (n < length && bytes[n] != '\n' && bytes[n] != '\r')
            ++n;
    }
    try {
        m_buffer.insert(m_buffer.end(), bytes, bytes + n);
    } catch (const std::bad_alloc&) {
        std::vector<char>().swap(m_buffer);
        m_outOfMemory = true;
        return 0;
    }
    return n;
}

bool VCardLexer::continuesOnNextLine(const char* text, qsizetype length)
{
    if (!m_backslashContinuation || (m_encoding != EncodingNone && m_encoding != Encoding8Bit) || m_buffer.empty()
        || m_buffer.back() != '\\')
        return false;
    // Nothing or a blank line after it, the next property or a card's BEGIN
    // or END line: the backslash is the value's own.
    if (length == 0 || text[0] == '\r' || text[0] == '\n' || startsProperty(text, length, m_nameInLowerCase)
        || isCardBoundary(text, length))
        return false;
    m_buffer.back() = '\n';
    return true;
}

int VCardLexer::skipLine()
{
    ++m_skippedLines;
    m_state = StateSkipLine;
    return 1;
}

int VCardLexer::dropLine()
{
    ++m_skippedLines;
    reset();
    return 1;
}

int VCardLexer::step(char c)
{
    switch (m_state) {
    case StateName:
        if (c == '\n') {
            // A line without ":" cannot be read; blank ones are no loss.
            if (!m_buffer.empty())
                ++m_skippedLines;
            reset();
            return 1;
        }
        if (c == '\r' || isSpace(c))
            return 1;
        if (c == ':') {
            endHeader();
            return m_outOfMemory ? 0 : 1;
        }
        if (c == ';') {
            if (!appendByte('\0'))
                return 0;
            m_state = StateParamStart;
            return 1;
        }
        return appendByte(c);

    case StateParamStart:
        if (c == '\n')
            return dropLine();
        if (c == ':')
            return skipLine(); // ";:" - a parameter without a name
        if (isSpace(c))
            return 1;
        addParam(qsizetype(m_buffer.size()));
        if (m_outOfMemory || !appendByte(c))
            return 0;
        m_state = StateParamName;
        return 1;

    case StateParamName:
        if (c == '\n')
            return dropLine();
        if (c == ':') {
            endHeader();
            return m_outOfMemory ? 0 : 1;
        }
        if (c == ';') {
            if (!appendByte('\0'))
                return 0;
            m_state = StateParamStart;
            return 1;
        }
        if (c == '=') {
            if (!appendByte('\0'))
                return 0;
            m_state = StateParamValueStart;
            return 1;
        }
        if (isSpace(c))
            return 1;
        return appendByte(c);

    case StateParamValueStart:
        if (c == '\n')
            return dropLine();
        if (c == ':' || c == ';')
            return skipLine(); // "=" without a value
        if (isSpace(c))
            return 1;
        if (!m_params.empty())
            m_params.back().second = qsizetype(m_buffer.size());
        m_state = StateParamValue;
        if (c == '"') {
            m_paramQuoted = true;
            return 1;
        }
        return appendByte(c);

    case StateParamValue:
        if (c == '\n')
            return dropLine();
        if (c == '"') {
            m_paramQuoted = !m_paramQuoted;
            return 1;
        }
        if (m_paramQuoted)
            return appendByte(c); // taken as it stands, up to the closing quote
        if (c == ':') {
            endHeader();
            return m_outOfMemory ? 0 : 1;
        }
        if (c == ';') {
            if (m_paramEscape) {
                m_paramEscape = false;
                return appendByte(';');
            }
            if (!appendByte('\0'))
                return 0;
            m_state = StateParamStart;
            return 1;
        }
        if (isSpace(c))
            return 1; // blanks inside parameter values are dropped
        if (c == '\\') {
            if (!m_paramEscape) {
                m_paramEscape = true;
                return 1;
            }
            m_paramEscape = false;
            return appendByte('\\');
        }
        return appendByte(c);

    case StateValue:
        if (c == '\n') {
            endValue();
            return m_outOfMemory ? 0 : 1;
        }
        if (c == '\r')
            return 1;
        if (m_valueStart && isSpace(c))
            return 1;
        m_valueStart = false;
        if (!m_valueCallback)
            return 1;
        decodeValueByte(c);
        return m_outOfMemory ? 0 : 1;

    case StateSkipLine:
        if (c == '\n')
            reset();
        return 1;
    }
    return 0;
}

void VCardLexer::decodeValueByte(char c)
{
    switch (m_encoding) {
    case EncodingQuotedPrintable:
        if (m_qpEscape) {
            if (m_groupCount == 1 && isBlank(m_scratch[0]) && isBlank(c))
                return; // blanks after "=" wait for the line end
            m_scratch[m_groupCount++] = c;
            if (m_groupCount == 2) {
                const int hi = hexValue(m_scratch[0]);
                const int lo = hexValue(m_scratch[1]);
                if (hi >= 0 && lo >= 0) {
                    appendByte(char((hi << 4) | lo));
                } else {
                    // Not an escape after all: keep the text as written
                    // rather than inventing a byte.
                    appendByte('=') && appendByte(m_scratch[0]) && appendByte(m_scratch[1]);
                }
                m_qpEscape = false;
                m_groupCount = 0;
            }
        } else if (c == '=') {
            m_qpEscape = true;
            m_groupCount = 0;
        } else {
            appendByte(c);
        }
        return;
    default:
        // Base64 is collected as text and decoded at the end of the value.
        appendByte(c);
        return;
    }
}

void VCardLexer::endValue()
{
    if (!m_valueCallback) {
        reset();
        return;
    }
    const std::vector<char>* value = &m_buffer;
    if (m_encoding == EncodingBase64) {
        m_decoded.clear();
        if (!decodeBase64Text(m_buffer.data(), qsizetype(m_buffer.size()), m_decoded)) {
            std::vector<char>().swap(m_decoded);
            m_outOfMemory = true;
            return;
        }
        value = &m_decoded;
    }
    if (!value->empty())
        m_valueCallback(m_userData, value->data(), qsizetype(value->size()));
    m_valueCallback(m_userData, nullptr, 0);
    if (m_decoded.capacity() > kKeepCapacity)
        std::vector<char>().swap(m_decoded);
    reset();
}

void VCardLexer::endHeader()
{
    if (!m_propertyCallback) {
        m_state = StateValue;
        m_buffer.clear();
        return;
    }
    if (!appendByte('\0'))
        return;
    const char* base = m_buffer.data();
    m_paramPointers.clear();
    m_paramPointers.reserve(m_params.size() * 2 + 2);
    for (const auto& [nameOffset, valueOffset] : m_params) {
        m_paramPointers.push_back(base + nameOffset);
        m_paramPointers.push_back(valueOffset ? base + valueOffset : nullptr);
    }
    for (size_t i = 0; i < m_params.size(); ++i) {
        const char* name = m_paramPointers[i * 2];
        const char* value = m_paramPointers[i * 2 + 1];
        const char* word = (qstricmp(name, "ENCODING") == 0) ? value : name;
        if (!word)
            continue;
        if (qstricmp(word, "QUOTED-PRINTABLE") == 0)
            m_encoding = EncodingQuotedPrintable;
        else if (qstricmp(word, "BASE64") == 0 || qstricmp(word, "B") == 0)
            m_encoding = EncodingBase64;
        else if (qstricmp(word, "8BIT") == 0)
            m_encoding = Encoding8Bit;
    }
    m_paramPointers.push_back(nullptr);
    m_paramPointers.push_back(nullptr);
    m_nameInLowerCase = writtenInLowerCase(base);
    m_propertyCallback(m_userData, base, m_paramPointers.data());
    m_state = StateValue;
    m_buffer.clear();
}

void VCardLexer::reset()
{
    m_state = StateName;
    if (m_buffer.capacity() > kKeepCapacity)
        std::vector<char>().swap(m_buffer);
    else
        m_buffer.clear();
    m_valueStart = true;
    m_params.clear();
    m_paramEscape = false;
    m_paramQuoted = false;
    m_encoding = EncodingNone;
    m_qpEscape = false;
    m_scratch[0] = m_scratch[1] = 0;
    m_groupCount = 0;
}

int VCardLexer::appendByte(char c)
{
    try {
        // Geometric growth: a photo of many megabytes costs a few copies,
        // not one per 128 bytes.
        m_buffer.push_back(c);
        return 1;
    } catch (const std::bad_alloc&) {
        std::vector<char>().swap(m_buffer);
        m_outOfMemory = true;
        return 0;
    }
}

void VCardLexer::addParam(qsizetype nameOffset)
{
    try {
        m_params.emplace_back(nameOffset, 0);
    } catch (const std::bad_alloc&) {
        std::vector<char>().swap(m_buffer);
        m_outOfMemory = true;
    }
}
