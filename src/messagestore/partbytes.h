// When two message parts are one picture. A transfer to a phone re-encodes
// every JPEG and PNG it sends (encodeImage, imageencoding.h), so a phone
// holds other bytes than the store it was sent from, and the copy of a copy
// others again. A part is therefore known by three things: its bytes, the
// bytes a transfer sends of it, and the picture it is a transferred copy of
// (its origin).
// samePart() is the one rule the store writer, the transfer and the load
// decide by.
//
// A store keeps what it learns of a part's bytes in the table kIdentityTable,
// keyed by the part's digest: what a transfer sends of those bytes, worked
// out once, and the picture they are a copy of, carried on by every store
// the part goes through, so that a chain of transfers still knows the first
// picture. The table is made the first time there is something to keep.
#pragma once

#include "messagestore/imageencoding.h"
#include "messagestore/partcontent.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>

struct _MsgAttachment;
class IOS6MessageDb;

// The name a part goes by in comparisons: the one the phone gave it
// (transferName), else its file's name (the last segment of filename).
QString givenPartName(const QString& transferName, const QString& filename);
QString givenPartName(const _MsgAttachment& att);
// The name a load gives a part the phone names phoneName: one file name
// ("Unknown2" when nothing of it is left) that a file system takes, with the
// suffix its type implies when it has none.
QString partName(const QString& phoneName, const QString& mime);
// Whether two parts' names are the same as a load gives them, case aside.
bool samePartName(const QString& name, const QString& otherName, const QString& mime);

// What a store knows of a part's bytes besides the bytes themselves.
struct PartIdentity {
    PartContent sent; // what a transfer sends of them; unknown: not worked out
    PartContent origin; // the picture they are a transferred copy of; unknown: none known
    bool isEmpty() const { return !sent.isKnown() && !origin.isKnown(); }
    bool isComplete() const { return sent.isKnown() && origin.isKnown(); }
    // This, with what it does not know taken from other.
    PartIdentity filledFrom(const PartIdentity& other) const;
};
inline constexpr const char* kIdentityTable = "part_identity";
// What the attachment record carries of its identity (from its store's
// kIdentityTable).
PartIdentity recordedIdentity(const _MsgAttachment& att);
// What is known of the attachment's bytes content: what its own store
// recorded, and what store learnt of the same bytes besides.
PartIdentity knownIdentity(const _MsgAttachment& att, const PartContent& content, IOS6MessageDb& store);

// A part's file, known by its bytes, by what a transfer sends of it and by
// its origin: each taken from what a store records when it does, else
// worked out at most once when first asked.
class PartBytes {
public:
    PartBytes() = default;
    PartBytes(const QString& path, const QString& mime, const PartContent& stored = PartContent(),
              const PartIdentity& known = PartIdentity());

    const QString& path() const { return m_path; }
    const QString& mime() const { return m_mime; }
    PartContent asStored();
    PartContent asSent();
    // Whether asStored() is known without reading the file.
    bool storedKnown() const { return m_storedRead; }
    // Whether asSent() is known without encoding.
    bool sentKnown() const { return m_sentRead; }
    // Whether asSent() was worked out here (rather than taken from a
    // record), for its user to record.
    bool sentWorkedOut() const { return m_sentWorkedOut; }
    // The picture this one is a copy of, as recorded; else its own bytes.
    PartContent root();
    const PartContent& origin() const { return m_origin; }
    void setOrigin(const PartContent& origin) { m_origin = origin; }
    // What is known of the bytes besides them, to be recorded with them.
    PartIdentity identity() const;

    // Works out asSent() of every part given (each once; no two the same
    // object) on every core. checkCanceled is called on the caller's thread
    // every few milliseconds; what it throws ends the work (the encodings
    // under way finish first) and goes on to the caller.
    static void workOutSent(const QList<PartBytes*>& parts, const std::function<void()>& checkCanceled);

    // Whether a transfer could make copy of this part: a picture whose size
    // and format are those encodedImage gives it. Read from the files'
    // headers; false rules the encoding out.
    bool mayBecome(PartBytes& copy);

private:
    void readHeader();

    QString m_path;
    QString m_mime;
    PartContent m_stored;
    PartContent m_sent;
    PartContent m_origin;
    bool m_storedRead = false;
    bool m_sentRead = false;
    bool m_sentWorkedOut = false;
    bool m_sentFromBytes = false; // m_sent was recorded, or worked out from the file
    // From the file's header.
    bool m_headerRead = false;
    ImageHeader m_header;
};

enum class PartMatch {
    Same, // one picture
    Different,
    Unknown, // the bytes of one side are not known: the names decide
    NeedsSent, // only asked without encoding: what a transfer sends of toWorkOut decides
};
// Whether a and b are one picture: the same bytes, copies of one origin, or
// one the copy a transfer makes of the other. The encodings this needs are
// made here, unless toWorkOut is given: the parts whose asSent() decides are
// then appended to it (NeedsSent), for PartBytes::workOutSent.
PartMatch matchParts(PartBytes& a, PartBytes& b, QList<PartBytes*>* toWorkOut = nullptr);
// The one rule: one picture by matchParts, or by their names (samePartName)
// where the bytes of one side are not known (a file gone).
bool samePart(PartBytes& a, const QString& nameA, PartBytes& b, const QString& nameB);
