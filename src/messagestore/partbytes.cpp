#include "messagestore/partbytes.h"

#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"
#include "shell/core/fileutils.h"

#include <QFileInfo>
#include <QSemaphore>
#include <QThreadPool>

#include <atomic>

namespace {

// How long the caller's thread waits for an encoding before it asks for a
// cancel again.
constexpr int kCancelSliceMs = 20;

// A copy may come out one pixel off what sentSize says, and a reader may
// turn a picture by what its header says: either way round counts.
bool sizesMatch(const QSize& expected, const QSize& actual)
{
    const auto near = [](const QSize& a, const QSize& b) {
        return qAbs(a.width() - b.width()) <= 1 && qAbs(a.height() - b.height()) <= 1;
    };
    return near(expected, actual) || near(expected.transposed(), actual);
}

} // namespace

QString givenPartName(const QString& transferName, const QString& filename)
{
    return transferName.isEmpty() ? filename.section(QLatin1Char('/'), -1) : transferName;
}

QString givenPartName(const _MsgAttachment& att)
{
    return givenPartName(att.transfer_name, att.filename);
}

QString partName(const QString& phoneName, const QString& mime)
{
    // The phone's name must stay one file name: separators go, and a name
    // made only of dots gets the fallback.
    QString name = phoneNameToPathComponent(phoneName);
    if (name.isEmpty())
        name = QStringLiteral("Unknown2");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == name.size() - 1) {
        if (mime.contains(QLatin1String("png"), Qt::CaseInsensitive))
            name += QStringLiteral(".png");
        else if (mime.contains(QLatin1String("jpg"), Qt::CaseInsensitive)
                 || mime.contains(QLatin1String("jpeg"), Qt::CaseInsensitive))
            name += QStringLiteral(".jpg");
    }
    // A phone may give a name longer than any file system takes.
    return fitFileName(name);
}

bool samePartName(const QString& name, const QString& otherName, const QString& mime)
{
    return partName(name, mime).compare(partName(otherName, mime), Qt::CaseInsensitive) == 0;
}

PartIdentity recordedIdentity(const _MsgAttachment& att)
{
    PartIdentity identity;
    if (!att.sent_hash.isEmpty())
        identity.sent = PartContent {att.sent_bytes, att.sent_hash};
    if (!att.origin_hash.isEmpty())
        identity.origin = PartContent {att.origin_bytes, att.origin_hash};
    return identity;
}

PartIdentity PartIdentity::filledFrom(const PartIdentity& other) const
{
    return PartIdentity {sent.isKnown() ? sent : other.sent, origin.isKnown() ? origin : other.origin};
}

PartIdentity knownIdentity(const _MsgAttachment& att, const PartContent& content, IOS6MessageDb& store)
{
    const PartIdentity recorded = recordedIdentity(att);
    return recorded.isComplete() ? recorded : recorded.filledFrom(store.identityOf(content));
}

PartBytes::PartBytes(const QString& path, const QString& mime, const PartContent& stored, const PartIdentity& known)
    : m_path(path)
    , m_mime(mime)
    , m_stored(stored)
    , m_sent(known.sent)
    , m_origin(known.origin)
    , m_storedRead(stored.isKnown())
    , m_sentRead(known.sent.isKnown())
    , m_sentFromBytes(known.sent.isKnown())
{
}

PartContent PartBytes::asStored()
{
    if (!m_storedRead) {
        m_storedRead = true;
        m_stored = contentOfFile(m_path);
    }
    return m_stored;
}

PartContent PartBytes::asSent()
{
    if (m_sentRead)
        return m_sent;
    m_sentRead = true;
    m_sent = asStored();
    // Anything but a picture, and a file that is gone, goes (or would go)
    // as it is; only a file read here says what a transfer makes of it.
    if (!isReencoded(m_mime) || !m_sent.isKnown() || !QFileInfo(m_path).isFile())
        return m_sent;
    const QByteArray encoded = encodedImage(m_path, m_mime);
    // A picture no decoder reads goes as it is.
    if (!encoded.isEmpty())
        m_sent = contentOfBytes(encoded);
    m_sentWorkedOut = true;
    m_sentFromBytes = true;
    return m_sent;
}

PartContent PartBytes::root()
{
    return m_origin.isKnown() ? m_origin : asStored();
}

PartIdentity PartBytes::identity() const
{
    // A sent content that merely stands in for a file that is gone says
    // nothing of the bytes.
    PartIdentity identity;
    identity.origin = m_origin;
    if (m_sentFromBytes)
        identity.sent = m_sent;
    return identity;
}

void PartBytes::readHeader()
{
    if (m_headerRead)
        return;
    m_headerRead = true;
    m_header = readImageHeader(m_path);
}

bool PartBytes::mayBecome(PartBytes& copy)
{
    if (!isReencoded(m_mime))
        return false;
    readHeader();
    // Not a picture a transfer encodes: it goes as it is.
    if (!m_header.isEncoded())
        return false;
    if (!QFileInfo(copy.m_path).isFile())
        return copy.asStored().isKnown(); // only the record is left: it cannot be ruled out
    copy.readHeader();
    const QByteArray format = m_mime.endsWith(QLatin1String("png"), Qt::CaseInsensitive) ? "png" : "jpeg";
    // Sent upright, or unturned by an earlier version.
    return copy.m_header.format == format
        && (sizesMatch(sentSize(m_header), copy.m_header.size)
            || sizesMatch(sentSize(m_header, false), copy.m_header.size));
}

void PartBytes::workOutSent(const QList<PartBytes*>& parts, const std::function<void()>& checkCanceled)
{
    if (parts.isEmpty())
        return;
    std::atomic_bool stop = false;
    QSemaphore done;
    QThreadPool pool;
    for (PartBytes* part : parts) {
        pool.start([part, &stop, &done] {
            if (!stop)
                part->asSent();
            done.release();
        });
    }
    try {
        for (qsizetype finished = 0; finished < parts.size();) {
            if (done.tryAcquire(1, kCancelSliceMs))
                ++finished;
            checkCanceled();
        }
    } catch (...) {
        // The encodings under way finish; none starts any more.
        stop = true;
        pool.waitForDone();
        throw;
    }
}

PartMatch matchParts(PartBytes& a, PartBytes& b, QList<PartBytes*>* toWorkOut)
{
    const PartContent bytesA = a.asStored();
    const PartContent bytesB = b.asStored();
    if (!bytesA.isKnown() || !bytesB.isKnown())
        return PartMatch::Unknown;
    if (bytesA == bytesB)
        return PartMatch::Same;
    // Copies of one picture, or one a copy of the other, as recorded.
    const PartContent rootA = a.root();
    const PartContent rootB = b.root();
    if (rootA == rootB || rootA == bytesB || rootB == bytesA)
        return PartMatch::Same;
    // One may be what a transfer made of the other; what is known decides
    // first, and only a picture that could have become the other is
    // encoded.
    bool pending = false;
    const auto copyOf = [&](PartBytes& original, PartBytes& copy) {
        if (original.sentKnown())
            return original.asSent() == copy.asStored();
        if (!original.mayBecome(copy))
            return false;
        if (toWorkOut) {
            toWorkOut->append(&original);
            pending = true;
            return false;
        }
        return original.asSent() == copy.asStored();
    };
    if (copyOf(a, b) || copyOf(b, a))
        return PartMatch::Same;
    return pending ? PartMatch::NeedsSent : PartMatch::Different;
}

bool samePart(PartBytes& a, const QString& nameA, PartBytes& b, const QString& nameB)
{
    switch (matchParts(a, b)) {
    case PartMatch::Same:
        return true;
    case PartMatch::Unknown:
        return samePartName(nameA, nameB, a.mime().isEmpty() ? b.mime() : a.mime());
    case PartMatch::Different:
    case PartMatch::NeedsSent:
        break;
    }
    return false;
}
