#include "formats/vcard.h"

#include "formats/vcardlexer.h"

#include <QStringDecoder>
#include <QTextCodec>

#include <algorithm>
#include <utility>

namespace {

QString decodeUnlabelled(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Old phones wrote their own code page without saying so; Windows-1252
    // keeps every byte readable instead of turning it into U+FFFD.
    if (QTextCodec* cp1252 = QTextCodec::codecForName("Windows-1252"))
        return cp1252->toUnicode(bytes);
    return QString::fromLatin1(bytes);
}

// Whether the card whose BEGIN line has just been read is a vCard 2.1 one:
// its VERSION line may come after other properties, and how those unfold
// depends on it. ahead is the text after "BEGIN:"; the card's lines are read
// up to its VERSION, its END or a card begun inside it. A card that names no
// version is read as 3.0. *stop: where the reading stopped.
bool cardIsVersion21(QByteArrayView ahead, const char** stop)
{
    const auto startsWithWord = [](QByteArrayView line, const char* word) {
        const qsizetype n = qsizetype(qstrlen(word));
        if (line.size() < n || qstrnicmp(line.data(), word, n) != 0)
            return false;
        line = line.sliced(n);
        while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
            line = line.sliced(1);
        return !line.isEmpty() && (line.front() == ':' || line.front() == ';');
    };
    bool first = true; // the rest of the BEGIN line itself
    while (!ahead.isEmpty()) {
        qsizetype end = 0;
        while (end < ahead.size() && ahead[end] != '\n' && ahead[end] != '\r')
            ++end;
        const QByteArrayView line = ahead.first(end);
        ahead = ahead.sliced(end < ahead.size() ? end + 1 : end);
        if (std::exchange(first, false))
            continue;
        *stop = line.data();
        if (startsWithWord(line, "VERSION")) {
            const qsizetype colon = line.indexOf(':');
            return colon >= 0 && line.sliced(colon + 1).trimmed() == QByteArrayView("2.1");
        }
        if (startsWithWord(line, "END") || startsWithWord(line, "BEGIN"))
            return false;
    }
    *stop = ahead.data();
    return false;
}

// The characters a backslash escapes in a vCard 2.1 structured value (N,
// ADR, ORG), as phones read them there.
bool escapedIn21(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char(';') || c == QLatin1Char(':') || c == QLatin1Char(',');
}

} // namespace

QString VCardProperty::group() const
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

QString VCardProperty::plainName() const
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

QString VCardProperty::decodeValue() const
{
    // Parameter names are case-insensitive, and so are charset names.
    auto it = params.constBegin();
    while (it != params.constEnd() && it.key().compare(QLatin1String("CHARSET"), Qt::CaseInsensitive) != 0)
        ++it;
    if (it != params.constEnd()) {
        const QByteArray charset = it.value().toLatin1();
        if (qstricmp(charset.constData(), "UTF-8") == 0)
            return QString::fromUtf8(value);
        if (QTextCodec* codec = QTextCodec::codecForName(charset))
            return codec->toUnicode(value);
    }
    return decodeUnlabelled(value);
}

QString VCardProperty::decodeText() const
{
    if (!fromVersion21)
        return vcardUnescapeText(decodeValue());
    QString text = decodeValue();
    // Left to right: "\\;" is a backslash and an escaped ";".
    text.replace(QLatin1String("\\;"), QLatin1String(";"));
    return text;
}

QStringList VCardProperty::splitValue() const
{
    const QString text = decodeValue();
    const QStringView view(text);
    QStringList parts;
    // Components without escapes are cut out whole; only escaped ones are
    // built piece by piece.
    QString escaped;
    bool hasEscape = false;
    qsizetype start = 0;
    const auto take = [&](qsizetype end) {
        QString part;
        if (hasEscape) {
            escaped += view.sliced(start, end - start);
            part.swap(escaped);
            hasEscape = false;
        } else {
            part = text.mid(start, end - start);
        }
        return part;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        // A 2.1 card's backslash escapes "\\", ";", ":" and "," and nothing
        // else: "C:\Town" keeps its backslash.
        if (c == QLatin1Char('\\') && (!fromVersion21 || (i + 1 < n && escapedIn21(text.at(i + 1))))) {
            escaped += view.sliced(start, i - start);
            hasEscape = true;
            if (i + 1 < n) {
                const QChar next = text.at(++i);
                escaped += (next == QLatin1Char('n') || next == QLatin1Char('N')) ? QChar(QLatin1Char('\n')) : next;
            }
            start = i + 1;
        } else if (c == QLatin1Char(';')) {
            parts.append(take(i));
            start = i + 1;
        }
    }
    // A trailing ";" gives no empty last component.
    const QString last = take(qMax(start, n));
    if (!last.isEmpty())
        parts.append(last);
    return parts;
}

QByteArray VCardCard::serialize() const
{
    QByteArray out;
    out.reserve(64 + size() * 48);
    out.append("BEGIN:VCARD\r\n");
    for (const VCardProperty& p : *this) {
        out.append(p.name.toLatin1());
        for (auto it = p.params.constBegin(); it != p.params.constEnd(); ++it) {
            out.append(';');
            out.append(it.key().toLatin1());
            out.append('=');
            out.append(it.value().toUtf8());
        }
        out.append(':');
        out.append(p.value);
        out.append("\r\n");
    }
    out.append("END:VCARD\r\n");
    return out;
}

struct VCardParser::Context {
    struct Open {
        qsizetype card; // index in cards
        bool version21 = false;
    };

    QList<VCardCard> cards;
    // The cards begun and not yet ended, innermost last: a card written
    // inside another (as some writers do for AGENT) is a card of its own,
    // and the outer card goes on after its END. A 2.1 card's values go on
    // after a backslash at the line end, and its folds keep their blank.
    QList<Open> open;
    bool hasProperty = false;
    VCardLexer* lexer = nullptr;
    // The last look for a card's version: where it stopped and what it
    // found. A card begun before that point finds the same line, so a file
    // of many BEGIN lines is still read once.
    const char* versionSeenUpTo = nullptr;
    bool versionSeen21 = false;

    VCardCard& current() { return cards[open.last().card]; }
    // The lexer reads the lines that follow by the rules of the card they
    // belong to.
    void readAsVersion21(bool on)
    {
        lexer->setBackslashContinuation(on);
        lexer->setFoldKeepsBlank(on);
    }
};

QList<VCardCard> VCardParser::parse(const QByteArray& text, int* skippedLines)
{
    Context context;
    if (skippedLines)
        *skippedLines = 0;
    std::unique_ptr<VCardLexer> lexer = VCardLexer::create();
    if (!lexer)
        return {};
    context.lexer = lexer.get();
    lexer->setUserData(&context);
    lexer->setPropertyCallback(&VCardParser::onProperty);
    lexer->setValueCallback(&VCardParser::onValue);
    lexer->feed(text.constData(), text.size(), true);
    if (skippedLines)
        *skippedLines = lexer->skippedLines();
    return context.cards;
}

void VCardParser::onProperty(void* userData, const char* name, const char* const* params)
{
    auto* context = static_cast<Context*>(userData);
    context->hasProperty = false;
    // Names are case-insensitive ("begin:vcard").
    if (qstricmp(name, "BEGIN") == 0) {
        // Any BEGIN opens a card; its value is not looked at.
        const QByteArrayView ahead = context->lexer->textAhead();
        if (!context->versionSeenUpTo || ahead.data() >= context->versionSeenUpTo)
            context->versionSeen21 = cardIsVersion21(ahead, &context->versionSeenUpTo);
        const bool version21 = context->versionSeen21;
        context->cards.append(VCardCard());
        context->open.append(Context::Open {context->cards.size() - 1, version21});
        context->readAsVersion21(version21);
        return;
    }
    if (qstricmp(name, "END") == 0) {
        if (!context->open.isEmpty())
            context->open.removeLast();
        context->readAsVersion21(!context->open.isEmpty() && context->open.last().version21);
        return;
    }
    if (context->open.isEmpty())
        return;
    VCardProperty property;
    property.name = QString::fromLatin1(name);
    property.fromVersion21 = context->open.last().version21;
    for (const char* const* p = params; p[0]; p += 2) {
        const QString key = QString::fromLatin1(p[0]);
        const QString value = p[1] ? QString::fromLatin1(p[1]) : QString();
        if ((p[0][0] == 'T' || p[0][0] == 't') && qstricmp(p[0], "TYPE") == 0) {
            QString& held = property.params[key];
            if (held.isEmpty())
                held = value;
            else if (!value.isEmpty())
                held += QLatin1Char(',') + value;
        } else {
            property.params.insert(key, value);
        }
    }
    context->current().append(std::move(property));
    context->hasProperty = true;
}

void VCardParser::onValue(void* userData, const char* bytes, qsizetype length)
{
    auto* context = static_cast<Context*>(userData);
    if (length == 0 || !context->hasProperty)
        return;
    VCardProperty& property = context->current().last();
    property.value = QByteArray(bytes, length);
    if (property.name.compare(QLatin1String("VERSION"), Qt::CaseInsensitive) == 0) {
        context->open.last().version21 = property.value.trimmed() == "2.1";
        context->readAsVersion21(context->open.last().version21);
    }
}

QByteArray base64Lines(const QByteArray& data, int lineLength)
{
    const QByteArray b64 = data.toBase64();
    if (lineLength <= 0 || b64.size() <= lineLength)
        return b64;
    QByteArray out;
    out.reserve(b64.size() + (b64.size() / lineLength + 1) * 3);
    for (qsizetype pos = 0; pos < b64.size(); pos += lineLength) {
        if (pos > 0)
            out.append("\r\n ");
        out.append(b64.constData() + pos, qMin<qsizetype>(lineLength, b64.size() - pos));
    }
    return out;
}

QByteArray quotedPrintableEncode(const QByteArray& data, int lineLength)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(data.size() * 3);
    int count = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data.at(i));
        if (b < 0x21 || b > 0x7E || b == '=') {
            out.append('=');
            out.append(hex[b >> 4]);
            out.append(hex[b & 0x0F]);
            count += 3;
        } else {
            out.append(char(b));
            count += 1;
        }
        // Never after the last byte: a trailing "=" would join the next line.
        if (lineLength != 0 && count >= lineLength - 3 && i + 1 < data.size()) {
            out.append("=\r\n");
            count = 0;
        }
    }
    return out;
}

QString vcardEscapeText(const QString& text)
{
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';'))
            out.append(QLatin1Char('\\'));
        out.append(c);
    }
    return out;
}

QString vcardUnescapeText(const QString& text)
{
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString out;
    out.reserve(text.size());
    bool escaped = false;
    for (const QChar c : text) {
        if (escaped) {
            out.append((c == QLatin1Char('n') || c == QLatin1Char('N')) ? QChar(QLatin1Char('\n')) : c);
            escaped = false;
        } else if (c == QLatin1Char('\\')) {
            escaped = true;
        } else {
            out.append(c);
        }
    }
    if (escaped)
        out.append(QLatin1Char('\\'));
    return out;
}

bool isChatUriScheme(QStringView scheme)
{
    static const char* const kSchemes[] = {
        "aim",    "gg",    "gtalk", "icq", "im",   "irc",   "irc6", "ircs",
        "matrix", "msnim", "qq",    "sip", "sips", "skype", "xmpp", "ymsgr",
    };
    return std::any_of(std::begin(kSchemes), std::end(kSchemes),
                       [scheme](const char* s) { return scheme == QLatin1String(s); });
}

QString vcardEscapeParam(const QString& text)
{
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == QLatin1Char('^'))
            out += QStringLiteral("^^");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("^'");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("^n");
        else if (c != QLatin1Char('\r'))
            out += c;
    }
    return out;
}

QString vcardUnescapeParam(const QString& text)
{
    if (!text.contains(QLatin1Char('^')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (text.at(i) == QLatin1Char('^')
            && (next == QLatin1Char('\'') || next == QLatin1Char('n') || next == QLatin1Char('N')
                || next == QLatin1Char('^'))) {
            out.append(next == QLatin1Char('\'')      ? QChar(QLatin1Char('"'))
                           : next == QLatin1Char('^') ? QChar(QLatin1Char('^'))
                                                      : QChar(QLatin1Char('\n')));
            ++i;
        } else {
            out.append(text.at(i));
        }
    }
    return out;
}
