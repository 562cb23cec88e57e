// When two message parts are one picture. A transfer to a phone re-encodes
// every JPEG and PNG it sends (encodeImage), so a phone holds other bytes
// than the store it was sent from, and the copy of a copy others again. A
// part is therefore known by three things: its bytes, the bytes a transfer
// sends of it (and of that copy in turn), and the picture it is a
// transferred copy of (its origin). samePart() is the one rule the store
// writer, the transfer and the load decide by, and pairParts() the one way
// the parts of two messages are paired.
//
// A store keeps what it learns of a part's bytes in the table kIdentityTable,
// keyed by the part's digest: what a transfer sends of those bytes, worked
// out once, and the picture they are a copy of, carried on by every store
// the part goes through, so that a chain of transfers still knows the first
// picture. The table is made the first time there is something to keep;
// keepLearnt() and keepSamePicture() are the one way anything goes into it.
#pragma once

#include "messagestore/partcontent.h"
#include "pictures/imageencoding.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

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

enum class PartMatch {
    Same, // one picture
    Different,
    Unknown, // the bytes of one side are not known: the names decide
    NeedsSent, // only asked without encoding: what a transfer sends of toWorkOut decides
};

// A part's file, known by its bytes, by the copies a transfer makes of it
// and by its origin: each taken from what a store records when it does,
// else worked out at most once when first asked.
//
// The copies: what this version sends (the picture turned upright as its
// orientation says), what earlier versions sent of a picture that turns
// (unturned), and, for a picture some part may be a copy of a copy of,
// what a transfer makes of each of those in turn. A recorded copy that
// matches nothing may come from another encoder (another computer's, or an
// earlier library's): it is checked once against this one's.
class PartBytes {
public:
    PartBytes() = default;
    PartBytes(const QString& path, const QString& mime, const PartContent& stored = PartContent(),
              const PartIdentity& known = PartIdentity());

    const QString& path() const { return m_path; }
    const QString& mime() const { return m_mime; }
    PartContent asStored();
    // What this version's transfer sends of the part: its own bytes for
    // anything it does not encode (or a file that is gone).
    PartContent asSent();
    // Whether asStored() is known without reading the file.
    bool storedKnown() const { return m_storedRead; }
    // Whether asSent() is known without encoding.
    bool sentKnown() const { return m_workedOut || m_recordedSent.isKnown(); }
    // Whether asSent() was worked out here from the file (rather than taken
    // from a record), for its user to record (keepLearnt).
    bool sentWorkedOut() const { return m_workedOut && m_here.isKnown(); }
    // The picture this one is a copy of, as recorded; else its own bytes.
    PartContent root();
    const PartContent& origin() const { return m_origin; }
    // What is known of the bytes besides them, to be recorded with them.
    PartIdentity identity() const;
    // Whether one of the copies a transfer makes of this part, as known
    // without encoding, holds content.
    bool knownToBecome(const PartContent& content) const;
    // The copies worked out here whose own copies were worked out too, with
    // those.
    QList<std::pair<PartContent, PartContent>> secondCopies() const;

    // Works out the copies of every part given (each once; no two the same
    // object) on every core, each as far as the comparisons that named it
    // need. checkCanceled is called on the caller's thread every few
    // milliseconds; what it throws stops the work (the decodes under way
    // end within a fraction of a second) and goes on to the caller.
    // progress, when given, hears how many are done of how many, on the
    // caller's thread.
    static void workOutSent(const QList<PartBytes*>& parts, const std::function<void()>& checkCanceled,
                            const std::function<void(int done, int total)>& progress = {});

    // Whether a transfer could make copy of this part, or a copy of such a
    // copy: a picture whose size and format are those its copies have
    // (within a pixel). Read from the files' headers; false rules the
    // encoding out.
    bool mayBecome(PartBytes& copy);
    // Whether the copies worked out so far say all there is to say of
    // whether this part becomes copy: nothing more to encode for it.
    bool settledFor(const PartBytes& copy) const;
    // Notes that a comparison looks for copy among this part's copies
    // (workOut then goes as far as it needs).
    void lookFor(PartBytes& copy);
    // Works out the copies as far as the comparisons noted need; false when
    // stop ended it.
    bool workOut(const std::atomic_bool* stop = nullptr);

private:
    void readHeader();
    bool needsSecond() const;

    QString m_path;
    QString m_mime;
    PartContent m_stored;
    PartContent m_recordedSent; // from a record: another encoder's, maybe
    PartContent m_origin;
    bool m_storedRead = false;
    // Worked out here: what this version sends (m_here: the picture turned
    // upright and encoded, or the file's bytes where it goes as it is;
    // unknown when the file is gone), what earlier versions sent of a
    // picture that turns (m_unturned), and what a transfer makes of those
    // copies in turn (m_second, worked out only when a comparison needs it).
    bool m_workedOut = false;
    bool m_encoded = false;
    bool m_secondWorkedOut = false;
    PartContent m_here;
    PartContent m_unturned;
    PartContent m_hereSecond;
    PartContent m_unturnedSecond;
    // The copies of a copy that comparisons look for (parts of no known
    // origin): the second generation is worked out only for them.
    QList<PartContent> m_secondTargets;
    bool m_headerRead = false;
    ImageHeader m_header;
};

// Whether a and b are one picture: the same bytes, copies of one origin, or
// one a copy a transfer makes of the other (or of a copy of it) or of its
// origin. The encodings this needs are made here, unless toWorkOut is
// given: the parts whose copies decide are then appended to it
// (NeedsSent), for PartBytes::workOutSent.
PartMatch matchParts(PartBytes& a, PartBytes& b, QList<PartBytes*>* toWorkOut = nullptr);
// The one rule: one picture by matchParts, or by their names (samePartName)
// where the bytes of one side are not known (a file gone).
bool samePart(PartBytes& a, const QString& nameA, PartBytes& b, const QString& nameB);

// A part to pair: its bytes and name, or no bytes for a piece its key
// stands for (a text), which pairs with any other such.
struct PartRef {
    PartBytes* bytes = nullptr;
    QString name;
};
// Pairs each of wanted with one of its candidates (indexes of held), none
// taken twice: equal bytes first, then the same picture otherwise
// (matchParts), then the names where one side's bytes are not known, so
// that the pairing does not depend on the parts' order. For each of wanted
// the index it took; nothing when one finds none.
std::optional<QList<int>> pairParts(const QList<PartRef>& wanted, const QList<QList<int>>& candidates,
                                    const std::function<PartRef(int)>& held);

// Records in store what was learnt of part's bytes while comparing it: the
// copies worked out here (and theirs), and its origin.
void keepLearnt(IOS6MessageDb& store, PartBytes& part);
// Records in store, for two parts found to be one picture with other
// bytes, which is a copy of which one's picture.
void keepSamePicture(IOS6MessageDb& store, PartBytes& a, PartBytes& b);
