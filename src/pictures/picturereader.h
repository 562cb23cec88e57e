// The one reader of pictures that come from a phone or a file, for
// showing them: every decode of such bytes goes through it (or through
// encodeImage, which a transfer uses), never through QImage or
// QImageReader directly. It reads as a transfer reads: JPEG or PNG only,
// within the bounds of work and memory its header decides, out of the
// budget all decodes share, and turned upright.
#pragma once

#include "pictures/imageencoding.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>
#include <functional>

class QIODevice;

// The picture a device holds from its start (it seeks), read as a transfer
// reads it (JPEG or PNG only, within the same bounds, a large JPEG at a
// reduced size that keeps its longer side at kMaxImageSide or more) and
// turned upright, to be shown; null when it is no picture a transfer
// encodes (beyond its bounds of work and memory among them) or when *stop
// was set (by another thread: the read then ends within a fraction of a
// second). Never called where a person waits: a camera photo takes up to
// a second. format gets "jpeg" or "png".
QImage readPicture(QIODevice& device, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr);
// Same, of a file.
QImage readPicture(const QString& path, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr);
// Same, of bytes in memory (a contact's photo).
QImage readPictureBytes(const QByteArray& bytes, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr);
// Same, of a file, and also a GIF (its first picture) or a BMP, for a
// message part shown as it is (a transfer sends such parts as they are):
// within bounds their headers decide as well (pictures/gifbmplayout.h).
// No other format is read (a drawing, an icon). format gets "jpeg",
// "png", "gif" or "bmp".
QImage readPictureAlsoGifBmp(const QString& path, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr);
// Same, of a device that holds the picture from its start (it seeks).
QImage readPictureAlsoGifBmp(QIODevice& device, const std::atomic_bool* stop = nullptr, QByteArray* format = nullptr);

namespace pictures {

// What make makes (a read through the reader), made on a worker while this
// thread calls checkCanceled every few milliseconds: what that throws
// stops make (its stop is set), waits for it and is thrown on, so that a
// job's cancel is heard while a picture decodes. Without a check, made on
// this thread.
QImage madeHearing(const std::function<QImage(const std::atomic_bool& stop)>& make,
                   const std::function<void()>& checkCanceled);

// For tests: called on the decoding thread as each decode of a picture
// from a phone or a file begins (null: none).
using DecodeObserver = void (*)();
void setDecodeObserver(DecodeObserver observer);
// For tests: called on the decoding thread as each decode that began
// ends, with whether it was stopped (its stop was set: a stop that never
// reached the decode is not).
using DecodeEndObserver = void (*)(bool stopped);
void setDecodeEndObserver(DecodeEndObserver observer);

} // namespace pictures
