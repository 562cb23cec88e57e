#include "formats/messagepartpictures.h"

#include "formats/messagevcardpicture.h"
#include "pictures/imageencoding.h"
#include "shell/core/everycore.h"

#include <QFileInfo>

namespace partpictures {

Kind kindOf(const _MsgAttachment* att)
{
    const QString& mime = att->mime_type;
    if (mime.startsWith(QLatin1String("image/"), Qt::CaseInsensitive))
        return Kind::Thumbnail;
    if (mime.compare(QLatin1String("text/x-vCard"), Qt::CaseInsensitive) == 0
        || mime.compare(QLatin1String("text/vcard"), Qt::CaseInsensitive) == 0)
        return Kind::Card;
    return Kind::None;
}

QString keptPath(const _MsgAttachment* att)
{
    switch (kindOf(att)) {
    case Kind::Thumbnail:
        return attachmentThumbnailPath(att);
    case Kind::Card:
        return vcardPicturePath(att->localPath);
    case Kind::None:
        break;
    }
    return QString();
}

QString madePath(const _MsgAttachment* att, QString* kept)
{
    const QString path = keptPath(att);
    if (kept)
        *kept = path;
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

QSize make(const _MsgAttachment* att, const std::atomic_bool* stop)
{
    switch (kindOf(att)) {
    case Kind::Thumbnail:
        return makeAttachmentThumbnail(att, stop).size();
    case Kind::Card: {
        const QString card = vcardToHtml(att->localPath, stop);
        // Our own small file: its header tells the size.
        return !card.isEmpty() && QFileInfo(card).isFile() ? readImageHeader(card).size : QSize();
    }
    case Kind::None:
        break;
    }
    return QSize();
}

QList<const _MsgAttachment*> missing(const _MsgMessage* msg)
{
    QList<const _MsgAttachment*> parts;
    for (const _MsgAttachment* att : getAttachments(msg)) {
        if (kindOf(att) != Kind::None && madePath(att).isEmpty())
            parts << att;
    }
    return parts;
}

QList<const _MsgAttachment*> missing(const MsgMessageList& messages)
{
    QList<const _MsgAttachment*> parts;
    for (const _MsgMessage* msg : messages)
        parts << missing(msg);
    return parts;
}

void makeAll(const QList<const _MsgAttachment*>& parts, const std::function<void()>& checkCanceled,
             const std::function<void(int, int)>& progress)
{
    everycore::run(
        int(parts.size()), [&parts](int i, const std::atomic_bool& stop) { make(parts.at(i), &stop); }, checkCanceled,
        progress);
}

} // namespace partpictures
