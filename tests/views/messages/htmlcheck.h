// Checks a page of the bubble view the way a browser reads it: Python's
// html.parser (a parser independent of ours) lists its elements, attributes
// and text, and the checks below say what a page built from phone data
// must never hold.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace htmlcheck {

struct Attribute {
    QString tag;
    QString name;
    QString value;
};

struct ParsedPage {
    QStringList tags; // start tags in document order
    QList<Attribute> attributes;
    QString text; // character data, entities decoded
    QString error; // empty when the parser ran
};

inline ParsedPage parse(const QString& html)
{
    static const char* const kScript = R"PY(
import sys, json
from html.parser import HTMLParser
class P(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.attrs, self.text = [], [], []
    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        for k, v in attrs:
            self.attrs.append([tag, k, v if v is not None else ""])
    handle_startendtag = handle_starttag
    def handle_data(self, data):
        self.text.append(data)
p = P()
p.feed(sys.stdin.buffer.read().decode("utf-8"))
p.close()
sys.stdout.write(json.dumps({"tags": p.tags, "attrs": p.attrs, "text": "".join(p.text)}))
)PY";
    ParsedPage page;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kScript)});
    if (!python.waitForStarted(10000)) {
        page.error = QStringLiteral("python3 did not start");
        return page;
    }
    python.write(html.toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        page.error = QString::fromUtf8(python.readAllStandardError());
        return page;
    }
    const QJsonObject out = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (const QJsonValue& t : out.value(QStringLiteral("tags")).toArray())
        page.tags << t.toString();
    for (const QJsonValue& a : out.value(QStringLiteral("attrs")).toArray()) {
        const QJsonArray v = a.toArray();
        page.attributes.append({v.at(0).toString(), v.at(1).toString(), v.at(2).toString()});
    }
    page.text = out.value(QStringLiteral("text")).toString();
    return page;
}

// Empty when the page is safe: no script, frame, object or style element,
// no event attribute, and every link either one of the page's own
// (paging links, the program's bubble and emoji files) or a fully encoded
// file URL. Otherwise what is wrong.
inline QString unsafeParts(const ParsedPage& page)
{
    if (!page.error.isEmpty())
        return page.error;
    QStringList problems;
    static const QStringList kForbidden
        = QStringLiteral("script iframe frame object embed style base form").split(QLatin1Char(' '));
    for (const QString& tag : page.tags) {
        if (kForbidden.contains(tag))
            problems << QStringLiteral("element <%1>").arg(tag);
    }
    static const QRegularExpression ownLink(
        QStringLiteral("^(/pre_page|/next_page|bubble/[a-z_]+\\.(css|jpg|png)|emoji/[0-9A-F]{1,8}\\.png)$"));
    // A fully encoded file URL: no blank, quote, angle bracket, backslash
    // or raw non-ASCII character.
    static const QRegularExpression fileUrl(QStringLiteral("^file:///[A-Za-z0-9\\-._~%/!$&'()*+,;=:@]*$"));
    for (const Attribute& a : page.attributes) {
        if (a.name == QLatin1String("http-equiv") && a.value != QLatin1String("Content-Type"))
            problems << QStringLiteral("http-equiv %1").arg(a.value);
        if (a.name.startsWith(QLatin1String("on")))
            problems << QStringLiteral("event attribute %1 on <%2>").arg(a.name, a.tag);
        if (a.name == QLatin1String("href") || a.name == QLatin1String("src")) {
            if (!ownLink.match(a.value).hasMatch() && !fileUrl.match(a.value).hasMatch())
                problems << QStringLiteral("link %1=\"%2\"").arg(a.name, a.value);
        }
    }
    return problems.join(QStringLiteral("; "));
}

} // namespace htmlcheck
