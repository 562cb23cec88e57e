#include "messagestore/partcontent.h"

#include "messagestore/msgrecords.h"

#include <QFile>

namespace {

// Fast and without known collisions: a part that merely looks like another
// is never taken for it.
constexpr QCryptographicHash::Algorithm kAlgorithm = QCryptographicHash::Blake2b_256;
constexpr qint64 kReadChunk = 256 * 1024;

} // namespace

PartHasher::PartHasher()
    : m_hash(kAlgorithm)
{
}

void PartHasher::addData(QByteArrayView bytes)
{
    m_hash.addData(bytes);
    m_size += bytes.size();
}

PartContent PartHasher::result() const
{
    return PartContent {m_size, QString::fromLatin1(m_hash.resultView().toByteArray().toHex())};
}

PartContent contentOfBytes(QByteArrayView bytes)
{
    PartHasher hasher;
    hasher.addData(bytes);
    return hasher.result();
}

PartContent contentOfFile(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return PartContent();
    PartHasher hasher;
    QByteArray chunk(kReadChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), kReadChunk);
        if (n < 0)
            return PartContent();
        if (n == 0)
            break;
        hasher.addData(QByteArrayView(chunk.constData(), n));
    }
    return hasher.result();
}

PartContent recordedContent(const _MsgAttachment& att)
{
    if (att.content_hash.isEmpty())
        return PartContent();
    return PartContent {att.total_bytes, att.content_hash};
}
