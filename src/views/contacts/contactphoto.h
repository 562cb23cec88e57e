// The picture of a contact as the contact list and the contact card show
// it: the bytes of its first photo row read as JPEG, else as PNG.
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

// The first photo row's bytes as stored; empty without one.
QByteArray bytes(const pim::_Contact& contact);

} // namespace contactphoto
