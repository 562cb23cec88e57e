#include "formats/vcard.h"

#include "formats/vcardlexer.h"

#include <QStringDecoder>
#include <QTextCodec>

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

} // namespace

QString VCardProperty::decodeValue() const
{
    const auto it = params.constFind(QStringLiteral("CHARSET"));
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
    return vcardUnescapeText(decodeValue());
}

QStringList VCardProperty::splitValue() const
{
    const QString text = decodeValue();
    QStringList parts;
    QString current;
    bool escaped = false;
    for (const QChar c : text) {
        if (escaped) {
            current.append((c == QLatin1Char('n') || c == QLatin1Char('N')) ? QChar(QLatin1Char('\n')) : c);
            escaped = false;
        } else if (c == QLatin1Char('\\')) {
            escaped = true;
        } else if (c == QLatin1Char(';')) {
            parts.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        parts.append(current);
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
            out.append(it.value().toLatin1());
        }
        out.append(':');
        out.append(p.value);
        out.append("\r\n");
    }
    out.append("END:VCARD\r\n");
    return out;
}

struct VCardParser::Context {
    QList<VCardCard> cards;
    bool hasCard = false;
    bool hasProperty = false;
};

QList<VCardCard> VCardParser::parse(const QByteArray& text)
{
    Context context;
    std::unique_ptr<VCardLexer> lexer = VCardLexer::create();
    if (!lexer)
        return {};
    lexer->setUserData(&context);
    lexer->setPropertyCallback(&VCardParser::onProperty);
    lexer->setValueCallback(&VCardParser::onValue);
    lexer->feed(text.constData(), text.size(), true);
    return context.cards;
}

void VCardParser::onProperty(void* userData, const char* name, const char* const* params)
{
    auto* context = static_cast<Context*>(userData);
    if (qstrcmp(name, "BEGIN") == 0) {
        // Any BEGIN opens a card; its value is not looked at.
        context->cards.append(VCardCard());
        context->hasCard = true;
        context->hasProperty = false;
        return;
    }
    if (qstrcmp(name, "END") == 0) {
        context->hasCard = false;
        context->hasProperty = false;
        return;
    }
    if (!context->hasCard) {
        context->hasProperty = false;
        return;
    }
    VCardProperty property;
    property.name = QString::fromLatin1(name);
    for (const char* const* p = params; p[0]; p += 2)
        property.params.insert(QString::fromLatin1(p[0]), p[1] ? QString::fromLatin1(p[1]) : QString());
    context->cards.last().append(std::move(property));
    context->hasProperty = true;
}

void VCardParser::onValue(void* userData, const char* bytes, qsizetype length)
{
    auto* context = static_cast<Context*>(userData);
    if (length != 0 && context->hasProperty)
        context->cards.last().last().value = QByteArray(bytes, length);
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
