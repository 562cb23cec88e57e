// What the header of a GIF or a BMP says of its decode, as picturelayout.h
// says it of a JPEG or PNG: its size, the memory the decode holds and its
// work, read without decoding; and the decode itself, our own, into memory
// cleared first, so that every pixel comes from the file's bytes or is
// zero (Qt's decoders of these formats fill a picture they allocate
// themselves, and leave what a cut or damaged file does not fill as it
// was). Only pictures shown as they are (a message part) are read so; a
// transfer sends them as they are. Used by the picture reader only.
#pragma once

#include "pictures/picturelayout.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>

#include <array>
#include <atomic>
#include <optional>

class QIODevice;

namespace pictures {

// What a GIF's or BMP's headers say, as the decode needs it.
struct GifBmpPlan {
    // header.format "gif" or "bmp"; none when it is neither, or beyond the
    // bounds: its picture within Qt's allocation limit (as earlier versions
    // decoded it), its work within kMaxDecodeWork and all it holds within
    // the budget of kDecodeBudgetMb.
    Layout layout;
    qint64 dataAt = 0; // where the pixel data (a BMP's) or the LZW data (a GIF's) begins
    // The colour of each pixel value (a GIF's, and a BMP's of 8 bits a
    // pixel or fewer).
    QList<QRgb> colours;
    bool alpha = false; // the picture has an alpha channel (a GIF a transparent colour)

    // A BMP's
    int bits = 0; // a pixel
    int compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    bool topDown = false;
    std::array<quint32, 4> masks {}; // red, green, blue, alpha of a pixel of 16 or 32 bits

    // A GIF's: its first picture on the screen, its LZW code size, and
    // what fills the screen around the picture (none: zero).
    QRect frame;
    bool interlaced = false;
    int codeBits = 0;
    std::optional<QRgb> fill;
};

// The plan of the GIF (its first picture, the one a reader shows) or BMP a
// device holds from its start (it seeks). The work of a GIF is that of our
// decoder: it clears and fills its screen, places every pixel of its
// picture (also those off the screen) and reads its LZW data up to the
// picture's last row, never further; it is counted at kGifWorkOfAPixel a
// pixel placed, as the JPEG decoder's samples are counted. A BMP's is its
// pixels, and the bytes of its RLE data.
GifBmpPlan readGifBmpPlan(QIODevice& device);
// Its layout alone.
Layout readGifBmpLayout(QIODevice& device);

// The picture decoded as its plan says (the device seeks to its start);
// null when *stop was set. What the file lacks (it was cut, or its data
// end early) is zero: a BMP's rows not read (a row shows when its pixels
// are there, without the padding after them), a GIF's pixels not placed;
// a BMP's values past its colour table have a colour (colourEveryValue).
QImage decodeGifBmp(QIODevice& device, const GifBmpPlan& plan, const std::atomic_bool* stop);

// A GIF's pixel placed costs our decoder this many times a JPEG sample
// decoded by libjpeg, so that any GIF within kMaxDecodeWork is made in
// about the time of a JPEG at it.
inline constexpr qint64 kGifWorkOfAPixel = 4;

} // namespace pictures
