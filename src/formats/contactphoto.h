// The picture of a contact as the contact list, the contact card, the
// contact editor, the exports and prints show it: the first photo row's
// bytes read by the picture reader (JPEG or PNG within its bounds, turned
// upright; pictures/picturereader.h), whatever else they claim to be. The
// reads decode: never on the window's thread. Pages ask their
// PictureLoader by key, jobs read through pictures::madeHearing so that
// their cancel is heard while a photo is decoded.
#pragma once

#include "records/contact.h"

#include <QImage>
#include <QString>

#include <atomic>

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

} // namespace contactphoto
