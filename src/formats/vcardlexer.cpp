#include "formats/vcardlexer.h"

#include <QByteArray>

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
// large photo does not keep its memory for the rest of the parse.
constexpr size_t kKeepCapacity = 1024;

} // namespace

int base64DigitValue(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 255;
}

std::unique_ptr<VCardLexer> VCardLexer::create()
{
    return std::unique_ptr<VCardLexer>(new (std::nothrow) VCardLexer());
}

VCardLexer::~VCardLexer() = default;

int VCardLexer::feed(const char* bytes, qsizetype length, bool final)
{
    for (qsizetype i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (!m_pendingNewline && c != '\n' && c != '\r') {
            // Inside a line: the common case, kept short.
            m_afterCR = false;
            if (m_state == StateValue && m_encoding == EncodingNone && !m_valueStart && m_valueCallback) {
                if (!appendByte(c))
                    return 0;
            } else if (!step(c)) {
                return 0;
            }
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
                m_folding = true; // the break and this one blank are removed
                continue;
            }
            m_pendingNewline = false;
            if (!m_folding && !step('\n'))
                return 0;
        }
        if (lineEnd) {
            if (m_state == StateValue && m_encoding == EncodingQuotedPrintable && m_qpEscape && m_groupCount == 0) {
                // "=" at the end of a quoted-printable line: a soft line
                // break, the value goes on with the next line.
                m_qpEscape = false;
                continue;
            }
            m_pendingNewline = true;
            m_folding = false;
        } else if (!step(c)) {
            return 0;
        }
    }
    if (final && !step('\n'))
        return 0;
    return 1;
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
    if (m_valueBroken)
        return;
    switch (m_encoding) {
    case EncodingQuotedPrintable:
        if (m_qpEscape) {
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
    case EncodingBase64:
        if (isSpace(c))
            return;
        m_scratch[m_groupCount++] = c;
        if (m_groupCount == 4 && !decodeBase64Group())
            stopValue();
        return;
    default:
        appendByte(c);
        return;
    }
}

bool VCardLexer::decodeBase64Group()
{
    m_groupCount = 0;
    const int d0 = base64DigitValue(m_scratch[0]);
    const int d1 = base64DigitValue(m_scratch[1]);
    if (d0 == 255 || d1 == 255)
        return false;
    // Checked whole before anything is appended: a broken group adds no
    // byte, so the value ends with the last good group.
    const bool pad2 = m_scratch[2] == '=';
    const bool pad3 = pad2 || m_scratch[3] == '=';
    const int d2 = pad2 ? 0 : base64DigitValue(m_scratch[2]);
    const int d3 = pad3 ? 0 : base64DigitValue(m_scratch[3]);
    if (d2 == 255 || d3 == 255 || (pad2 && m_scratch[3] != '='))
        return false;
    if (!appendByte(char((d0 << 2) | (d1 >> 4))))
        return false;
    if (!pad2 && !appendByte(char(((d1 << 4) | (d2 >> 2)) & 0xFF)))
        return false;
    if (!pad3 && !appendByte(char(((d2 << 6) | d3) & 0xFF)))
        return false;
    return true;
}

void VCardLexer::stopValue()
{
    // The rest of the value cannot be decoded: what was decoded before it
    // is kept and the rest of its line is skipped.
    m_valueBroken = true;
    m_groupCount = 0;
}

void VCardLexer::endValue()
{
    if (!m_valueCallback) {
        reset();
        return;
    }
    if (m_encoding == EncodingBase64 && m_groupCount > 0 && !m_valueBroken) {
        // A last group without its padding; a single character left over
        // makes no byte and is dropped.
        while (m_groupCount < 4)
            m_scratch[m_groupCount++] = '=';
        if (!decodeBase64Group())
            stopValue();
    }
    if (m_outOfMemory)
        return;
    if (!m_buffer.empty())
        m_valueCallback(m_userData, m_buffer.data(), qsizetype(m_buffer.size()));
    m_valueCallback(m_userData, nullptr, 0);
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
    m_scratch[0] = m_scratch[1] = m_scratch[2] = m_scratch[3] = 0;
    m_groupCount = 0;
    m_valueBroken = false;
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
