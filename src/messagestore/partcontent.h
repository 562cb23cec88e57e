// What a message part holds, known by its bytes rather than its name: their
// number and a digest of them. Two parts are the same when both are known
// and equal; a part whose bytes cannot be read is unknown.
#pragma once

#include <QCryptographicHash>
#include <QString>

struct _MsgAttachment;

struct PartContent {
    qint64 size = -1;
    QString digest; // lower-case hexadecimal; empty: unknown

    bool isKnown() const { return !digest.isEmpty(); }
    friend bool operator==(const PartContent&, const PartContent&) = default;
    // A short text of the digest that tells parts of one name apart.
    QString tag() const { return digest.left(8); }
};

// A digest built up as the bytes come.
class PartHasher {
public:
    PartHasher();
    void addData(QByteArrayView bytes);
    PartContent result() const;

private:
    QCryptographicHash m_hash;
    qint64 m_size = 0;
};

PartContent contentOfBytes(QByteArrayView bytes);
// The content of the file at path; unknown when it cannot be read whole.
PartContent contentOfFile(const QString& path);
// What the attachment record says of its file (its content_hash and
// total_bytes); unknown when it says nothing.
PartContent recordedContent(const _MsgAttachment& att);
