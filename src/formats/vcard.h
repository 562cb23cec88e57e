// The vCard object model: cards of properties, the parser that builds them
// from text, their serialisation and the two transfer encoders the writer
// uses. Nothing here knows about contacts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct VCardProperty {
    // As written in the file (case kept), read as Latin-1; with its group
    // when it has one ("item1.TEL").
    QString name;
    // Parameter name to value, as written (read as Latin-1, one character
    // per byte); a parameter without "=" has the empty value. A TYPE met twice collects its values joined by "," (as
    // vCard defines "TYPE=a;TYPE=b"); any other name keeps the last value.
    QMap<QString, QString> params;
    // The value after the transfer decoding; no character set applied yet.
    QByteArray value;
    // Read from a vCard 2.1 card. Its writers escape ";" with a backslash
    // and write every other backslash of a text as it stands ("CORP\ann",
    // "C:\Users"); in a structured value some escape "\", ":" and "," too.
    // 3.0 and 4.0 escape "\", ",", ";" and line breaks.
    bool fromVersion21 = false;

    // The group that binds related properties ("item1" of "item1.TEL"),
    // empty when there is none.
    QString group() const;
    // The name without its group ("TEL" of "item1.TEL").
    QString plainName() const;

    // The value as text, through its CHARSET parameter when a codec of that
    // name exists; otherwise UTF-8, or Windows-1252 when the bytes are not
    // valid UTF-8.
    QString decodeValue() const;
    // decodeValue() with the text escapes of its card's version undone:
    // "\\", "\,", "\;", "\n" (3.0, 4.0), only "\;" (2.1).
    QString decodeText() const;
    // A structured value (N, ADR, ORG) split at unescaped ";" into
    // components, their escapes undone: those decodeText undoes (3.0, 4.0),
    // "\\", "\;", "\:" and "\," (2.1, whose other backslashes stay). A
    // trailing empty component is not returned.
    QStringList splitValue() const;
};

class VCardCard : public QList<VCardProperty> {
public:
    // "BEGIN:VCARD", one line per property with its parameters in name
    // order, "END:VCARD", every line ending in CR LF. Parameter values are
    // written in UTF-8, property values as they stand: the caller encodes
    // them first.
    QByteArray serialize() const;
};

class VCardParser {
public:
    // Parses the whole text. Never throws: a line that cannot be read is
    // skipped (and counted in skippedLines when given), the rest is read.
    static QList<VCardCard> parse(const QByteArray& text, int* skippedLines = nullptr);

private:
    struct Context;
    static void onProperty(void* userData, const char* name, const char* const* params);
    static void onValue(void* userData, const char* bytes, qsizetype length);
};

// Base64 of data cut into lines of lineLength characters joined by
// CR LF and a blank (a folded vCard value).
QByteArray base64Lines(const QByteArray& data, int lineLength);

// Quoted-printable with every byte outside "!".."~" and "=" escaped; with a
// non-zero lineLength a soft break "=" CR LF is put in before a line would
// reach that length.
QByteArray quotedPrintableEncode(const QByteArray& data, int lineLength);

// Backslash-escapes "\", "," and ";" for a vCard text value.
QString vcardEscapeText(const QString& text);
// Undoes vcardEscapeText; "\n" and "\N" become a line feed.
QString vcardUnescapeText(const QString& text);

// Whether a URI scheme (in lower case) is one of a chat service's, so that
// an IMPP address in it is read as a chat address by every reader. Other
// schemes name other things ("tel:" a phone number, "https:" a web page).
bool isChatUriScheme(QStringView scheme);

// A parameter value with what its syntax cannot hold written as RFC 6868
// does: "^" as "^^", a double quote as "^'", a line feed as "^n"; a
// carriage return goes. The caller puts a value that is not a plain word
// in double quotes.
QString vcardEscapeParam(const QString& text);
// Undoes vcardEscapeParam; "^N" is a line feed too, and a "^" before any
// other character stays as it is.
QString vcardUnescapeParam(const QString& text);
