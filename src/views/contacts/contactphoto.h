// The picture of a contact as the contact list, the contact card and the
// contact editor show it: photo bytes read as JPEG, else as PNG (by
// content, whatever else they claim to be).
#pragma once

#include "records/contact.h"

#include <QImage>

namespace contactphoto {

// The photo scaled (fast) to width pixels wide, keeping its aspect ratio,
// but never taller than four times the width (a needle-shaped picture is
// narrowed instead). Large pictures are read at the reduced size. A null
// image when the contact has no photo row or its bytes are neither JPEG nor
// PNG.
QImage scaledToWidth(const pim::_Contact& contact, int width);
// The same for photo bytes.
QImage scaledToWidth(const QByteArray& bytes, int width);
// The picture scaled (fast) to fit box exactly in one dimension, keeping its
// aspect ratio: smaller pictures are enlarged. Null when the bytes are
// neither JPEG nor PNG.
QImage fittedInto(const QByteArray& bytes, const QSize& box);

// The first photo row's bytes as stored; empty without one.
QByteArray bytes(const pim::_Contact& contact);

} // namespace contactphoto
