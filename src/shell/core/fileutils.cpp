#include "fileutils.h"

#include "platform/desktop.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>

#include <stdexcept>

namespace {

// Characters that no file name may hold on any of our platforms.
bool isRemovedChar(QChar c)
{
    switch (c.unicode()) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
    case '\n':
    case '\r':
    case '\t':
        return true;
    default:
        return false;
    }
}

QString removeChars(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!isRemovedChar(c))
            out.append(c);
    }
    return out;
}

bool isReservedDeviceName(const QString& name)
{
    static const char* const kNames[] = {"CON",  "PRN",  "AUX",  "CLOCK$", "NUL",  "COM1", "COM2", "COM3",
                                         "COM4", "COM5", "COM6", "COM7",   "COM8", "COM9", "LPT1"};
    for (const char* reserved : kNames) {
        if (name.compare(QLatin1String(reserved), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool onlyDots(const QString& name)
{
    for (QChar c : name) {
        if (c != QLatin1Char('.'))
            return false;
    }
    return true;
}

// A path is taken when anything is there, a dangling link included: writing
// to it would create the link's target instead.
bool pathTaken(const QString& path)
{
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
}

QString decodeField(QByteArray bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    // U+FEFF at the start of a field is the field's own: keep it.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

[[noreturn]] void throwReadError(QIODevice* device)
{
    const QString reason = device->errorString();
    qDebug("utf8CSVRow::error:%s", qUtf8Printable(reason));
    throw std::runtime_error((QStringLiteral("utf8CSVRow::error:") + reason).toUtf8().toStdString());
}

} // namespace

QString csvQuote(const QString& text)
{
    bool enclose = false;
    QString out;
    out.reserve(text.size() + 2);
    for (QChar c : text) {
        out.append(c);
        if (c == QLatin1Char('"')) {
            out.append(c);
            enclose = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char(',') || c == QLatin1Char('\r')) {
            // A carriage return too: the reader drops it outside quotes.
            enclose = true;
        }
    }
    if (enclose)
        return QLatin1Char('"') + out + QLatin1Char('"');
    return out;
}

bool readCsvRow(QStringList* row, QIODevice* device, bool atStart)
{
    if (atStart) {
        // The byte order mark is consumed only when it is there; every other
        // byte stays for the row, and a mark later in the text is data.
        char head[3];
        const qint64 n = device->peek(head, 3);
        if (n < 0)
            throwReadError(device);
        if (n == 0)
            return false;
        if (n == 3 && QByteArray(head, 3) == QByteArrayLiteral("\xEF\xBB\xBF") && device->skip(3) != 3)
            throwReadError(device);
    }

    QByteArray field;
    bool quoteSeen = false;
    bool quoted = false;
    bool pendingQuote = false;

    for (;;) {
        char b;
        const qint64 n = device->read(&b, 1);
        if (n < 0)
            throwReadError(device);
        if (n == 0) {
            row->append(decodeField(field));
            return false;
        }

        if (b == '"' && !quoteSeen) {
            // A quote opens quoting wherever it stands in the field.
            quoteSeen = true;
            quoted = true;
            continue;
        }
        if (quoted && b == '"') {
            if (pendingQuote) {
                field.append('"');
                pendingQuote = false;
            } else {
                pendingQuote = true;
            }
            continue;
        }
        if (quoted && pendingQuote) {
            // The quotes have closed; b is an ordinary byte again.
            pendingQuote = false;
            quoted = false;
        }
        if (!quoted) {
            if (b == ',') {
                row->append(decodeField(field));
                field.clear();
                quoteSeen = false;
                pendingQuote = false;
                continue;
            }
            if (b == '\r')
                continue;
            if (b == '\n') {
                row->append(decodeField(field));
                return true;
            }
        }
        field.append(b);
    }
}

QString uniqueFilePath(const QString& path)
{
    if (!pathTaken(path))
        return path;
    const QFileInfo fi(path);
    const QString name = fi.baseName();
    const QString suffix = fi.suffix();
    const QDir folder = fi.dir();
    for (qint64 n = 1;; ++n) {
        const QString tag = QStringLiteral("(%1)").arg(n);
        QString candidate = name + tag;
        if (!suffix.isEmpty())
            candidate += QLatin1Char('.') + suffix;
        if (candidate.toUtf8().size() > kMaxFileNameBytes)
            candidate = fileNameWithTag(suffix.isEmpty() ? name : name + QLatin1Char('.') + suffix, tag);
        const QString candidatePath = folder.filePath(candidate);
        if (!pathTaken(candidatePath))
            return candidatePath;
    }
}

QString fileNameWithTag(const QString& name, const QString& tag, qsizetype maxBytes)
{
    // A suffix longer than this is no type's: the whole name is the stem.
    constexpr qsizetype kMaxSuffix = 16;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const bool hasSuffix = dot > 0 && name.size() - dot <= kMaxSuffix + 1;
    QString stem = hasSuffix ? name.left(dot) : name;
    const QString rest = tag + (hasSuffix ? name.mid(dot) : QString());
    const qsizetype room = maxBytes - rest.toUtf8().size();
    if (stem.toUtf8().size() + rest.toUtf8().size() <= maxBytes)
        return stem + rest;
    // Whole characters go from the end until the stem fits.
    qsizetype bytes = 0;
    qsizetype keep = 0;
    while (keep < stem.size()) {
        const bool pair = stem.at(keep).isHighSurrogate() && keep + 1 < stem.size();
        const qsizetype width = pair ? 2 : 1;
        const qsizetype add = QStringView(stem).mid(keep, width).toUtf8().size();
        if (bytes + add > room)
            break;
        bytes += add;
        keep += width;
    }
    stem.truncate(keep);
    // Cut in the middle of a phrase: no trailing blank or dot of its own.
    while (!stem.isEmpty() && (stem.back().isSpace() || stem.back() == QLatin1Char('.')))
        stem.chop(1);
    return stem + rest;
}

QString sanitizeFileName(const QString& name)
{
    const qsizetype firstDot = name.indexOf(QLatin1Char('.'));
    const QString base = firstDot < 0 ? name : name.left(firstDot);
    if (isReservedDeviceName(base)) {
        QString out = QStringLiteral("$$") + base + QStringLiteral("$$");
        const qsizetype lastDot = name.lastIndexOf(QLatin1Char('.'));
        // The suffix loses separators too, so the result stays one name.
        const QString suffix = lastDot < 0 ? QString() : removeChars(name.mid(lastDot + 1)).trimmed();
        if (!suffix.isEmpty())
            out += QLatin1Char('.') + suffix;
        return out;
    }
    const QString out = removeChars(name).trimmed();
    // ".", ".." and the like name a folder, never a file of their own.
    if (onlyDots(out))
        return QString();
    return out;
}

QString phoneNameToPathComponent(const QString& name)
{
    QString s = sanitizeFileName(name);
    s.remove(QChar(0));
    // A name made only of dots would climb out of (or stay in) its folder.
    if (s.isEmpty() || s.count(QLatin1Char('.')) == s.size())
        return QString();
    return s;
}

QString md5Hex(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

void removeDir(const QString& path)
{
    const QFileInfo top(path);
    if (top.isSymLink()) {
        // A link given as the folder: remove the link, not what it points to.
        QFile::remove(path);
        return;
    }
    if (!top.isDir())
        return;
    // Hidden entries go too; links inside are removed as entries and never
    // followed.
    QDir(path).removeRecursively();
}

QString pathUnder(const QString& base, const QString& relative)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative))
        return QString();
    const QString root = QDir::cleanPath(QDir(base).absolutePath());
    const QString joined = QDir::cleanPath(root + QLatin1Char('/') + relative);
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (!joined.startsWith(prefix) || joined.size() == prefix.size())
        return QString();
    return joined;
}

void openInExplorer(const QString& path)
{
    desktop::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
}

void shellOpen(const QString& target)
{
    desktop::openUrl(desktop::urlForTarget(target));
}

QString firstMissingFolder(const QString& path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString missing;
    while (!info.exists()) {
        missing = info.absoluteFilePath();
        const QString parent = info.absolutePath();
        if (parent == missing)
            break;
        info = QFileInfo(parent);
    }
    return missing;
}
