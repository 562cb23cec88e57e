#include "msgrecords.h"

#include "shell/core/dataroot.h"
#include "shell/core/outputfile.h"

#include "emoji.h"
#include "pictures/picturereader.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTimeZone>
#include <QUuid>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

constexpr char16_t kObjReplacement = 0xFFFC;

QString withoutObjReplacement(const QString& text)
{
    QString t = text;
    t.remove(QChar(kObjReplacement));
    return t;
}

QString fileNamePart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString personLabel(const _MsgHandle* h)
{
    return h ? getHandleLabel(h, false) : QStringLiteral("You");
}

} // namespace

// ------------------------------------------------------------------ data set

MsgDataSet::~MsgDataSet()
{
    qDeleteAll(chats);
    qDeleteAll(handles);
    qDeleteAll(messages);
    qDeleteAll(attachments);
}

MsgDataSetPtr newMsgDataSet()
{
    return MsgDataSetPtr(new MsgDataSet);
}

QList<_MsgChat*> getDataSetChats(const MsgDataSet& ds)
{
    return ds.chats.values();
}

MsgMessageList getDataSetMessages(const MsgDataSet& ds)
{
    return ds.messages.values();
}

MsgMessageList collectChatMessages(const QList<_MsgChat*>& chats)
{
    MsgMessageList out;
    // A message joined to two of the chats is one message.
    QSet<const _MsgMessage*> seen;
    for (const _MsgChat* chat : chats) {
        if (!chat)
            continue;
        for (_MsgMessage* m : chat->messages) {
            if (!seen.contains(m)) {
                seen.insert(m);
                out.append(m);
            }
        }
    }
    return out;
}

QList<MsgChatGroup> mergeChatsByIdentifier(const MsgDataSet& ds)
{
    QList<MsgChatGroup> groups;
    QHash<QString, qsizetype> index;
    for (_MsgChat* chat : ds.chats) {
        auto it = index.constFind(chat->chat_identifier);
        if (it == index.constEnd()) {
            MsgChatGroup g;
            g.chats.append(chat);
            g.last = chat->_last;
            index.insert(chat->chat_identifier, groups.size());
            groups.append(g);
        } else {
            MsgChatGroup& g = groups[it.value()];
            g.chats.append(chat);
            g.last = std::max(g.last, chat->_last);
        }
    }
    return groups;
}

bool isGroupChat(const _MsgChat* chat)
{
    return chat && chat->handles.size() > 1;
}

QList<_MsgAttachment*> getAttachments(const _MsgMessage* msg)
{
    QList<_MsgAttachment*> list = msg->attachments.values();
    std::stable_sort(list.begin(), list.end(), int64LessThan<_MsgAttachment>);
    return list;
}

// -------------------------------------------------------------------- titles

QString getHandleLabel(const _MsgHandle* handle, bool withNumbers)
{
    if (!handle)
        return QString();
    if (handle->_ct_name.isEmpty())
        return handle->id;
    if (withNumbers)
        return QStringLiteral("%1 (%2)").arg(handle->_ct_name, handle->id);
    return handle->_ct_name;
}

QString getChatTitle(const _MsgChat* chat, bool withNumbers)
{
    if (!chat)
        return QStringLiteral("Unknown");
    if (!chat->display_name.isEmpty())
        return chat->display_name;
    if (chat->handles.isEmpty())
        return QStringLiteral("Unknown");
    // Handles in rowid order so that the title is the same on every load.
    QList<_MsgHandle*> handles = chat->handles.values();
    std::stable_sort(handles.begin(), handles.end(), int64LessThan<_MsgHandle>);
    QStringList labels;
    for (const _MsgHandle* h : handles)
        labels << getHandleLabel(h, withNumbers);
    return labels.join(QStringLiteral(", "));
}

QString getMsgChatTitle(const _MsgMessage* msg)
{
    if (!msg->chat)
        return QStringLiteral("unknown");
    QString title = getChatTitle(msg->chat, true);
    if (msg->chat->handles.size() >= 2 && msg->handle) {
        const QString who = msg->handle->_ct_name.isEmpty() ? msg->handle->id : msg->handle->_ct_name;
        title += QStringLiteral(" (%1)").arg(who);
    }
    return title;
}

QString getMsgSummary(const _MsgMessage* msg)
{
    if (msg->item_type == 0) {
        QString s = withoutObjReplacement(msg->text);
        // In stored order: the table's own order changes from run to run.
        for (const _MsgAttachment* att : getAttachments(msg)) {
            const QString mime = att->mime_type;
            if (mime.startsWith(QLatin1String("image/"), Qt::CaseInsensitive))
                s += QStringLiteral(" [IMAGE]");
            else if (mime.startsWith(QLatin1String("video/"), Qt::CaseInsensitive))
                s += QStringLiteral(" [VIDEO]");
            else if (mime.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive))
                s += QStringLiteral(" [AUDIO]");
            else if (mime.compare(QLatin1String("text/x-vCard"), Qt::CaseInsensitive) == 0
                     || mime.compare(QLatin1String("text/vcard"), Qt::CaseInsensitive) == 0)
                s += QStringLiteral(" [VCARD]");
            else
                s += QStringLiteral(" [ATTA]");
        }
        return s;
    }

    const QString date = dateFromIosTime(msg->date).toString(QStringLiteral("dd MMM yyyy h:m AP"));
    switch (msg->item_type) {
    case 1:
        return QStringLiteral("%1 Added %2 to the conversation.\n%3")
            .arg(personLabel(msg->handle), personLabel(msg->otherHandle), date);
    case 2:
        return QStringLiteral("%1 named the conversation \"%2\".\n%3")
            .arg(personLabel(msg->handle), msg->group_title, date);
    case 3:
        return QStringLiteral("%1 left the conversation.\n%2").arg(personLabel(msg->handle), date);
    case 4:
        return QStringLiteral("%1 %2 sharing location with %3.\n%4")
            .arg(personLabel(msg->handle),
                 msg->share_status != 0 ? QStringLiteral("stopped") : QStringLiteral("started"),
                 personLabel(msg->otherHandle), date);
    default:
        return QStringLiteral("System Information.\n%1").arg(date);
    }
}

QString getMsgPlainText(const _MsgMessage* msg)
{
    return replaceEmoji(getMsgSummary(msg), emojiToPlaceholder, nullptr);
}

QString removeObjReplacementChars(const _MsgMessage* msg)
{
    return withoutObjReplacement(msg->text);
}

// ------------------------------------------------------------- keys and guids

QString makeLogicHash(const _MsgMessage* msg)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    if (msg->item_type != 0) {
        md5.addData(msg->guid.toUtf8());
        return QString::fromLatin1(md5.result().toHex());
    }
    if (msg->handle)
        md5.addData(msg->handle->id.toUtf8());
    char date[4];
    qToLittleEndian<qint32>(msg->date, date);
    md5.addData(QByteArrayView(date, 4));
    const char fromMe = char(msg->is_from_me & 0xff);
    md5.addData(QByteArrayView(&fromMe, 1));
    md5.addData(withoutObjReplacement(msg->text).toUtf8());
    if (!msg->attachments.isEmpty()) {
        QStringList names;
        for (const _MsgAttachment* att : msg->attachments) {
            if (!att->filename.isEmpty())
                names << fileNamePart(att->filename).toLower();
        }
        std::sort(names.begin(), names.end()); // QString compares by UTF-16 code units
        for (const QString& n : names)
            md5.addData(n.toUtf8());
    }
    return QString::fromLatin1(md5.result().toHex());
}

QString newMsgGuid()
{
    const QString raw = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QString out;
    out.reserve(raw.size());
    for (const QChar c : raw) {
        if (c == QLatin1Char('-') || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            out += c;
    }
    return out;
}

QString makeGuidFromData(const QByteArray& data)
{
    const QString hex = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()).toUpper();
    return QStringList {hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12)}.join(
        QLatin1Char('-'));
}

QByteArray makeAttributedBody(const QString& guid)
{
    // A typedstream archive (version 1000) of an NSMutableAttributedString
    // whose string is U+FFFC with one attribute run over it. The attribute
    // dictionary holds the file transfer GUID and the message part number 0.
    // The prefix stops at the GUID string's length byte (36).
    static const char kPrefix[] = "040b73747265616d747970656481e803840140"
                                  "84848419"
                                  "4e534d757461626c6541747472696275746564537472696e67"
                                  "00"
                                  "8484"
                                  "12"
                                  "4e5341747472696275746564537472696e67"
                                  "00"
                                  "8484"
                                  "08"
                                  "4e534f626a656374"
                                  "00"
                                  "85"
                                  "92"
                                  "848484"
                                  "0f"
                                  "4e534d757461626c65537472696e67"
                                  "01"
                                  "8484"
                                  "08"
                                  "4e53537472696e67"
                                  "01"
                                  "95"
                                  "84012b"
                                  "03efbfbc"
                                  "86"
                                  "84026949"
                                  "0101"
                                  "92"
                                  "848484"
                                  "0c"
                                  "4e5344696374696f6e617279"
                                  "00"
                                  "95"
                                  "840169"
                                  "02"
                                  "92"
                                  "849898"
                                  "22"
                                  "5f5f6b494d46696c655472616e7366657247554944417474726962757465"
                                  "4e616d65"
                                  "86"
                                  "92"
                                  "849898"
                                  "24";
    static const char kSuffix[] = "86"
                                  "92"
                                  "849898"
                                  "1d"
                                  "5f5f6b494d4d657373616765506172744174747269627574654e616d65"
                                  "86"
                                  "92"
                                  "848484"
                                  "08"
                                  "4e534e756d626572"
                                  "00"
                                  "8484"
                                  "07"
                                  "4e5356616c7565"
                                  "00"
                                  "95"
                                  "84012a"
                                  "849b9b00"
                                  "868686";
    return QByteArray::fromHex(QByteArray(kPrefix) + guid.toUtf8().toHex() + QByteArray(kSuffix));
}

// --------------------------------------------------------------------- dates

QDateTime dateFromIosTime(qint64 secondsSince2001)
{
    return QDateTime::fromSecsSinceEpoch(secondsSince2001 + kIosEpochOffset);
}

int iosTimeFromDate(const QDateTime& dt)
{
    const qint64 v = dt.toSecsSinceEpoch() - kIosEpochOffset;
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// --------------------------------------------------------------------- order

namespace {

bool hasSource(const _MsgMessage* m)
{
    return m->_src_id > 0 && !m->_src_flag;
}

// Two loaded messages that the store wrote close together: their source
// order is more telling than their dates (phones stamp parts of one MMS
// and quick replies with skewed clocks).
bool closeBySource(const _MsgMessage* a, const _MsgMessage* b)
{
    if (!hasSource(a) || !hasSource(b))
        return false;
    const qint64 ds = a->_src_id - b->_src_id;
    const qint64 dd = qint64(a->date) - qint64(b->date);
    return ds >= -20 && ds <= 20 && dd >= -120 && dd <= 120;
}

bool sourceLess(const _MsgMessage* a, const _MsgMessage* b)
{
    return a->_src_id < b->_src_id;
}

} // namespace

bool msgLessThan(const _MsgMessage* a, const _MsgMessage* b)
{
    if (a->date != b->date)
        return a->date < b->date;
    const qint64 sa = hasSource(a) ? a->_src_id : 0;
    const qint64 sb = hasSource(b) ? b->_src_id : 0;
    if (sa != sb)
        return sa < sb;
    return a->ROWID < b->ROWID;
}

bool msgGreaterThan(const _MsgMessage* a, const _MsgMessage* b)
{
    return msgLessThan(b, a);
}

void sortMessages(MsgMessageList& list, bool newestFirst)
{
    std::stable_sort(list.begin(), list.end(), msgLessThan);
    // Runs of neighbours (in date order) that are close by source go by
    // source id; a run keeps the place of its first member.
    qsizetype start = 0;
    const qsizetype n = list.size();
    while (start < n) {
        qsizetype end = start + 1;
        while (end < n && closeBySource(list.at(end - 1), list.at(end)))
            ++end;
        if (end - start > 1)
            std::stable_sort(list.begin() + start, list.begin() + end, sourceLess);
        start = end;
    }
    if (newestFirst)
        std::reverse(list.begin(), list.end());
}

bool intGreaterEqual(const MsgChatGroup& a, const MsgChatGroup& b)
{
    return a.last > b.last;
}

// ---------------------------------------------------------------- thumbnails

namespace {

// GIF and BMP thumbnails are kept in a folder of their own.
const QLatin1String kGifBmpThumbnails("thumbnails-2");

// A thumbnail is named after its part's path. Those of GIFs and BMPs made
// before their decoders filled memory cleared first hold process memory
// (a cut BMP's rows, a damaged GIF's pixels, values past a BMP's colour
// table): theirs are kept in a folder of their own, so that each is made
// anew once. The name stays, which an export gives its copy; JPEG and PNG
// thumbnails stay where they always were.
QString thumbnailPath(const QString& localPath, bool gifOrBmp)
{
    const QString name
        = QString::fromLatin1(QCryptographicHash::hash(localPath.toUtf8(), QCryptographicHash::Md5).toHex())
        + QStringLiteral(".thumb");
    const QDir dir = privateTempDir();
    return gifOrBmp ? dir.absoluteFilePath(kGifBmpThumbnails + QLatin1Char('/') + name) : dir.absoluteFilePath(name);
}

} // namespace

QString attachmentThumbnailPath(const _MsgAttachment* att)
{
    return thumbnailPath(att->localPath, startsAsGifOrBmp(att->localPath));
}

QImage makeAttachmentThumbnail(const _MsgAttachment* att, const std::atomic_bool* stop)
{
    const auto stopped = [stop] { return stop && stop->load(); };
    const bool gifOrBmp = startsAsGifOrBmp(att->localPath);
    const QString thumb = thumbnailPath(att->localPath, gifOrBmp);
    if (QFile::exists(thumb))
        return QImage(thumb); // our own small file
    if (att->localPath.isEmpty())
        return QImage();
    // What earlier versions kept of a GIF or BMP is never shown again, and
    // holds what their memory held: gone (as far as it can be), whatever
    // the make comes to.
    if (gifOrBmp)
        QFile::remove(thumbnailPath(att->localPath, false));

    // A JPEG or PNG is read as a transfer reads it: within bounds of work
    // and memory, and upright; a GIF or BMP within the bounds its header
    // decides. Never a drawing, which would render at whatever size it
    // claims, nor any other format, nor a picture beyond the bounds.
    QByteArray format;
    const QImage image = readPictureAlsoGifBmp(att->localPath, stop, &format);
    if (stopped() || image.isNull())
        return QImage();
    const QImage scaled = scaledAttachmentThumbnail(image);
    const QByteArray bytes = attachmentThumbnailBytes(scaled, format);
    // Written whole or not at all: a half-written thumbnail would be shown
    // for good.
    OutputFile out(thumb);
    if (stopped() || bytes.isEmpty() || !QDir().mkpath(QFileInfo(thumb).absolutePath()) || !out.open()
        || !out.write(bytes) || stopped() || !out.commit())
        return QImage();
    return scaled;
}

QImage scaledAttachmentThumbnail(const QImage& picture)
{
    return picture.height() <= picture.width() ? picture.scaledToWidth(120, Qt::FastTransformation)
                                               : picture.scaledToHeight(120, Qt::FastTransformation);
}

QByteArray attachmentThumbnailBytes(const QImage& scaled, const QByteArray& format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !scaled.save(&buffer, format == "png" ? "PNG" : "JPEG"))
        return QByteArray();
    return bytes;
}

void makeSmsChat(const QString& address, const QString& contactName, _MsgHandle* handle, _MsgChat* chat)
{
    handle->id = address;
    handle->service = QStringLiteral("SMS");
    handle->_ct_name = contactName;

    chat->guid = QStringLiteral("SMS;-;") + address;
    chat->style = 45;
    chat->state = 3;
    chat->chat_identifier = address;
    chat->service_name = QStringLiteral("SMS");
    chat->account_login = QStringLiteral("E:");
    chat->handles.insert(address, handle);
}
