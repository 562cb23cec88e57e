#include "messagestore/partbytes.h"

#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"
#include "shell/core/everycore.h"
#include "shell/core/fileutils.h"

#include <QFileInfo>

#include <atomic>

namespace {

// The scaled side may come out one off the arithmetic of sentSize.
bool nearSize(const QSize& expected, const QSize& actual)
{
    return expected.isValid() && qAbs(expected.width() - actual.width()) <= 1
        && qAbs(expected.height() - actual.height()) <= 1;
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
    , m_recordedSent(known.sent)
    , m_origin(known.origin)
    , m_storedRead(stored.isKnown())
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
    if (!m_workedOut && m_recordedSent.isKnown())
        return m_recordedSent;
    if (!m_workedOut)
        workOut();
    return m_here.isKnown() ? m_here : asStored();
}

PartContent PartBytes::root()
{
    return m_origin.isKnown() ? m_origin : asStored();
}

PartIdentity PartBytes::identity() const
{
    // A sent content that merely stands in for a file that is gone says
    // nothing of the bytes.
    return PartIdentity {m_here.isKnown() ? m_here : m_recordedSent, m_origin};
}

bool PartBytes::knownToBecome(const PartContent& content) const
{
    if (!content.isKnown())
        return false;
    if (m_recordedSent == content)
        return true;
    return m_encoded
        && (m_here == content || m_unturned == content || m_hereSecond == content || m_unturnedSecond == content);
}

QList<std::pair<PartContent, PartContent>> PartBytes::secondCopies() const
{
    QList<std::pair<PartContent, PartContent>> copies;
    if (m_hereSecond.isKnown())
        copies.append({m_here, m_hereSecond});
    if (m_unturnedSecond.isKnown())
        copies.append({m_unturned, m_unturnedSecond});
    return copies;
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
    if (copy.m_header.format != format)
        return false;
    // A copy of a copy has the size of the copy. What earlier versions
    // sent of a picture that turns was not turned.
    return nearSize(sentSize(m_header, true), copy.m_header.size)
        || (m_header.turns() && nearSize(sentSize(m_header, false), copy.m_header.size));
}

bool PartBytes::settledFor(const PartBytes& copy) const
{
    // The copies of a copy matter only for a part of no known origin.
    return m_workedOut && (!m_encoded || copy.m_origin.isKnown() || m_secondWorkedOut);
}

void PartBytes::lookFor(PartBytes& copy)
{
    if (!copy.m_origin.isKnown() && copy.asStored().isKnown() && !m_secondTargets.contains(copy.asStored()))
        m_secondTargets.append(copy.asStored());
}

bool PartBytes::needsSecond() const
{
    if (m_secondWorkedOut)
        return false;
    for (const PartContent& target : m_secondTargets) {
        if (!m_encoded || (target != m_here && target != m_unturned))
            return true;
    }
    return false;
}

bool PartBytes::workOut(const std::atomic_bool* stop)
{
    if (m_workedOut && (!m_encoded || !needsSecond()))
        return true;
    // Anything but a picture, and a file that is gone, goes (or would go)
    // as it is; only a file read here says what a transfer makes of it.
    const PartContent stored = asStored();
    if (!m_workedOut && (!isReencoded(m_mime) || !stored.isKnown() || !QFileInfo(m_path).isFile())) {
        m_workedOut = true;
        return true;
    }
    readHeader();
    // One decode gives both copies; the copies of those come from their
    // bytes.
    const EncodedImage image = m_header.isEncoded() ? encodeImage(m_path, m_mime, true, stop) : EncodedImage();
    if (image.result == EncodedImage::Result::Stopped)
        return false;
    if (image.result == EncodedImage::Result::AsItIs) {
        if (m_encoded) {
            // Its file went since its copies were worked out: theirs
            // cannot be.
            m_secondWorkedOut = true;
            return true;
        }
        // A picture no decoder reads (or whose decoding would cost beyond
        // bounds) goes as it is.
        m_workedOut = true;
        m_here = stored;
        return true;
    }
    m_workedOut = true;
    m_encoded = true;
    m_here = contentOfBytes(image.upright);
    m_unturned = image.unturned.isEmpty() ? PartContent() : contentOfBytes(image.unturned);
    if (!needsSecond())
        return true;
    PartContent second[2];
    const QByteArray* copies[2] = {&image.upright, &image.unturned};
    for (int i = 0; i < 2; ++i) {
        if (copies[i]->isEmpty())
            continue;
        const EncodedImage again = encodeImage(*copies[i], m_mime, false, stop);
        if (again.result == EncodedImage::Result::Stopped)
            return false;
        if (again.result == EncodedImage::Result::Encoded)
            second[i] = contentOfBytes(again.upright);
    }
    m_hereSecond = second[0];
    m_unturnedSecond = second[1];
    m_secondWorkedOut = true;
    return true;
}

void PartBytes::workOutSent(const QList<PartBytes*>& parts, const std::function<void()>& checkCanceled,
                            const std::function<void(int, int)>& progress)
{
    // The decodes under way hear the stop and end.
    everycore::run(
        int(parts.size()), [&parts](int i, const std::atomic_bool& stop) { parts.at(i)->workOut(&stop); },
        checkCanceled, progress);
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
    // One may be what a transfer made of the other, or of a copy of it: the
    // copy's bytes, or the picture it is recorded as a copy of. What is
    // known decides first, and only a picture that could have become the
    // other is encoded (once: a recorded copy that matches nothing is
    // checked against this computer's encoder).
    bool pending = false;
    const auto copyOf = [&](PartBytes& original, PartBytes& copy) {
        const auto found
            = [&] { return original.knownToBecome(copy.asStored()) || original.knownToBecome(copy.origin()); };
        if (found())
            return true;
        if (original.settledFor(copy) || !original.mayBecome(copy))
            return false;
        original.lookFor(copy);
        if (toWorkOut) {
            toWorkOut->append(&original);
            pending = true;
            return false;
        }
        original.workOut();
        return found();
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

std::optional<QList<int>> pairParts(const QList<PartRef>& wanted, const QList<QList<int>>& candidates,
                                    const std::function<PartRef(int)>& held)
{
    QList<int> taken(wanted.size(), -1);
    QList<int> used;
    // Equal bytes first, so that a copy never takes the place of the part
    // itself; then other copies of one picture; then the names, where one
    // side's bytes are gone.
    enum class By { Bytes, Picture, Name };
    for (const By by : {By::Bytes, By::Picture, By::Name}) {
        for (qsizetype i = 0; i < wanted.size(); ++i) {
            if (taken.at(i) >= 0)
                continue;
            const PartRef& part = wanted.at(i);
            for (int index : candidates.value(i)) {
                if (used.contains(index))
                    continue;
                const PartRef other = held(index);
                bool same = false;
                if (!part.bytes || !other.bytes) {
                    same = !part.bytes && !other.bytes; // pieces their keys stand for
                } else if (by == By::Bytes) {
                    const PartContent content = part.bytes->asStored();
                    same = content.isKnown() && content == other.bytes->asStored();
                } else if (by == By::Picture) {
                    same = matchParts(*part.bytes, *other.bytes) == PartMatch::Same;
                } else {
                    same = samePart(*part.bytes, part.name, *other.bytes, other.name);
                }
                if (same) {
                    taken[i] = index;
                    used.append(index);
                    break;
                }
            }
        }
    }
    if (taken.contains(-1))
        return std::nullopt;
    return taken;
}

void keepLearnt(IOS6MessageDb& store, PartBytes& part)
{
    if (!part.sentWorkedOut())
        return;
    const PartContent stored = part.asStored();
    const PartIdentity identity = part.identity();
    // What this computer's encoder makes of the bytes is the word to keep
    // where another encoder's was recorded.
    store.recordIdentity(stored, identity, IOS6MessageDb::Recorded::ReplaceSent);
    // The copies in turn, where they were worked out: whose copies they are
    // and what a transfer makes of them.
    for (const auto& [copy, second] : part.secondCopies())
        store.recordIdentity(copy, PartIdentity {second, part.root()});
}

void keepSamePicture(IOS6MessageDb& store, PartBytes& a, PartBytes& b)
{
    const PartContent contentA = a.asStored();
    const PartContent contentB = b.asStored();
    if (!contentA.isKnown() || !contentB.isKnown() || contentA == contentB)
        return;
    // Each is a copy of the picture the other is a copy of; a part whose
    // origin is recorded keeps it.
    if (!b.origin().isKnown() && a.knownToBecome(contentB))
        store.recordIdentity(contentB, PartIdentity {PartContent(), a.root()});
    else if (!a.origin().isKnown() && b.knownToBecome(contentA))
        store.recordIdentity(contentA, PartIdentity {PartContent(), b.root()});
}
