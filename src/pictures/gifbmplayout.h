// What the header of a GIF or a BMP says of its decode, as picturelayout.h
// says it of a JPEG or PNG: its size, the memory the decode holds and its
// work, read without decoding, and the decode itself. Only pictures shown
// as they are (a message part) are read so; a transfer sends them as they
// are. Used by the picture reader only.
#pragma once

#include "pictures/picturelayout.h"

#include <QImage>

class QIODevice;

namespace pictures {

// The layout of the GIF (its first picture, the one a reader shows) or BMP
// a device holds from its start (it seeks): header.format "gif" or "bmp";
// none when it is neither, or beyond the bounds: its decoded picture
// within Qt's allocation limit (both are decoded whole), its work within
// kMaxDecodeWork and all it holds within the budget of kDecodeBudgetMb.
// The work of a GIF is counted from the bytes of its picture's data at the
// most pixels one LZW code can make, so a GIF whose first picture holds
// more than about half a megabyte of data is beyond it.
Layout readGifBmpLayout(QIODevice& device);

// The picture decoded as its layout says (the device seeks to its start);
// null when it does not decode.
QImage decodeGifBmp(QIODevice& device, const Layout& layout);

} // namespace pictures
