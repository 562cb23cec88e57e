// The pictures the parts of a message show: a picture part's thumbnail and
// a vCard part's card picture. Both are kept as files of the private
// temporary folder once made. Making them decodes a phone's or a file's
// pictures, so it never runs on the window's thread: the bubble page has
// its PictureLoader make them, exports and prints make them first with
// makeAll and then only read the files.
#pragma once

#include "messagestore/msgrecords.h"

#include <QList>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>

namespace partpictures {

enum class Kind {
    None, // the part shows no picture
    Thumbnail, // an image part: its thumbnail
    Card, // a vCard part: its card picture
};

// Which picture the part shows, by its type: the one rule the bubble page,
// the exports and the printed pages show a part's picture by.
Kind kindOf(const _MsgAttachment* att);
// Where the part's picture is kept (empty for Kind::None); the file may not
// exist. Of an image part it reads the first bytes of the part's file (a
// GIF's or BMP's thumbnail is kept elsewhere: attachmentThumbnailPath),
// never more, and decodes nothing.
QString keptPath(const _MsgAttachment* att);
// The kept picture's path when it was made, else empty; reads what keptPath
// reads. kept, when given, gets keptPath.
QString madePath(const _MsgAttachment* att, QString* kept = nullptr);
// Makes the part's picture unless it was made before: its size when it
// exists then; an invalid size when there is none (no picture, no card,
// beyond the picture reader's bounds) or when *stop was set (by another
// thread: a decode under way ends soon, and no file is left).
QSize make(const _MsgAttachment* att, const std::atomic_bool* stop = nullptr);

// The parts of the message whose picture was not made yet.
QList<const _MsgAttachment*> missing(const _MsgMessage* msg);
// Same, of the messages.
QList<const _MsgAttachment*> missing(const MsgMessageList& messages);
// Makes the pictures of these parts on every core (everycore::run:
// checkCanceled on the caller's thread, what it throws stops the makes
// under way and goes on to the caller; progress hears how many are done).
void makeAll(const QList<const _MsgAttachment*>& parts, const std::function<void()>& checkCanceled,
             const std::function<void(int done, int total)>& progress = {});

} // namespace partpictures
