// The picture of a contact as the contact list, the contact card, the
// contact editor, the exports and prints show it: the first photo row's
// bytes read by the picture reader (JPEG or PNG within its bounds, turned
// upright; pictures/picturereader.h), whatever else they claim to be. The
// reads decode: never on the window's thread. Pages ask their
// PictureLoader by key, jobs read through madeHearing so that their
// cancel is heard while a photo is decoded.
#pragma once

#include "records/contact.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <functional>

namespace contactphoto {

// The first photo row's bytes as stored; empty without one.
QByteArray bytes(const pim::_Contact& contact);
// The key of photo bytes shown at size (a width, a box's side) for a
// PictureLoader: other bytes or another size, another key. Empty for no
// bytes.
QString key(const QByteArray& bytes, int size);

// The photo read (a null image for bytes that are no picture within the
// reader's bounds, or when *stop was set meanwhile).
QImage read(const QByteArray& bytes, const std::atomic_bool* stop = nullptr);
// The picture scaled (fast) to width pixels wide, keeping its aspect ratio,
// but never taller than four times the width (a needle-shaped picture is
// narrowed instead). Null for a null picture.
QImage scaledToWidth(const QImage& picture, int width);
// The picture scaled (fast) to fit box exactly in one dimension, keeping
// its aspect ratio: smaller pictures are enlarged.
QImage fittedInto(const QImage& picture, const QSize& box);

// What make makes, made on a worker while this thread calls checkCanceled
// every few milliseconds: what that throws stops make (its stop is set),
// waits for it and is thrown on. Without a check, made on this thread.
QImage madeHearing(const std::function<QImage(const std::atomic_bool& stop)>& make,
                   const std::function<void()>& checkCanceled);

} // namespace contactphoto
