// What a transfer to a phone sends of a picture: every JPEG and PNG part is
// decoded (as JPEG or PNG only, never as whatever else its bytes look
// like), scaled to kMaxImageSide on its longer side when larger, turned
// upright as its EXIF orientation says and encoded anew (as PNG for a MIME
// type ending in "png", else as JPEG). The bytes this makes are recorded in
// stores by their digest, so a picture that earlier versions encoded keeps
// its bytes: the same decode, the same scaling, the same encoder.
//
// The work a picture may cause is bounded by what its header says, the
// same on every machine: a picture beyond the bounds goes as it is. The
// decodes of all threads together hold at most kDecodeBudgetMb of memory
// at once, counting what the decoder keeps of texts and other chunks
// beside the picture; a large JPEG is decoded at a reduced size (libjpeg's
// DCT scaling).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>

class QIODevice;

// The longest side of a picture as a transfer sends it.
inline constexpr int kMaxImageSide = 1080;
// Megabytes the decodes under way may hold together.
inline constexpr int kDecodeBudgetMb = 1024;
// At most this many scans in a JPEG (each progressive scan is one more pass
// over the whole picture); camera and editor files have at most a few dozen.
inline constexpr int kMaxJpegScans = 100;
// At most this many pixels in a JPEG (a 200 MP camera photo has 16320 x
// 12240).
inline constexpr qint64 kMaxJpegPixels = qint64(1) << 28;
// At most this many compressed text and profile chunks in a PNG (libpng
// inflates each to up to 8 MB).
inline constexpr int kMaxPngCompressedChunks = 32;
// At most this much work in a decode, counted in samples (one channel of
// one pixel) decoded: each scan of a JPEG decodes every sample of the
// components it holds (a progressive scan is one more pass over them,
// whether it holds data or not), and the picture of a JPEG of several
// scans is made in one more pass over all its samples; a PNG's samples are
// unpacked once. A 108 MP camera photo of ten scans is about 1 G; a 256 MP
// grey JPEG of 100 scans, 26 G.
inline constexpr qint64 kMaxDecodeWork = qint64(1) << 32;
// At most this many bytes of coefficients in a JPEG of several scans (a
// progressive one): libjpeg clears them as a scan first holds them, and
// goes over them all to make the picture once it has read every scan, in
// stretches no stop ends. A 200 MP photo saved progressive at 4:2:0 holds
// 572 MB, a 108 MP one at full colour resolution 618 MB.
inline constexpr qint64 kMaxJpegCoefficientBytes = qint64(640) << 20;
// At most this many where libjpeg makes the picture in a longer stretch:
// where the last scan is the first to hold one of the components (it
// clears their coefficients and then makes the picture, with no read in
// between), or where the scans leave some of the first coefficients of a
// block unrefined (it smooths every block as it makes the picture, at
// three times the cost). A camera's progressive photo ends with the
// refinements of every coefficient.
inline constexpr qint64 kMaxJpegCoefficientBytesInALongStretch = qint64(192) << 20;
// A JPEG coded arithmetically (which no camera writes) is decoded whole, as
// earlier versions did, or not at all: libjpeg decodes such data at several
// times the cost of the usual, also where it has run out, with no read (so
// no stop) in between. A JPEG whose frame repeats a component id (which no
// camera writes either) is no picture: libjpeg gives each scan of the id
// another component than its work was counted by.

// Whether a transfer sends a part of this type re-encoded.
bool isReencoded(const QString& mime);

// What a picture's file says of itself, read as JPEG or PNG only.
struct ImageHeader {
    QByteArray format; // "jpeg" or "png"; empty: not a picture a transfer encodes (neither reads it, or its
                       // decoding would exceed the bounds above): it goes as it is, known by its bytes only
    QSize size; // as stored (before any turn by its orientation)
    int orientation = 1; // EXIF orientation 1..8 of a JPEG; 1 when none
    // A JPEG too large to decode whole in earlier versions is decoded at
    // 1/reduction of its size (2, 4 or 8), losing the last size % reduction
    // rows and columns.
    int reduction = 1;
    bool isEncoded() const { return !format.isEmpty(); }
    bool turns() const { return orientation > 1; }
};
ImageHeader readImageHeader(const QString& path);
ImageHeader readImageHeader(const QByteArray& bytes); // same, of bytes in memory
// Same, of an open device that holds the picture from its start and can
// seek.
ImageHeader readImageHeader(QIODevice& device);
// The size of the copy a transfer makes of such a picture, exactly (with
// the scaled side rounded as QImage rounds it): upright (turned as its
// orientation says; what this version sends) or unturned (what earlier
// versions sent). Invalid when !header.isEncoded().
QSize sentSize(const ImageHeader& header, bool upright = true);

// What a transfer sends of a picture.
struct EncodedImage {
    enum class Result { Encoded, AsItIs, Stopped };
    Result result = Result::AsItIs; // AsItIs: not a picture it encodes (it goes as it is); Stopped: *stop was set
    QByteArray upright; // Encoded: the bytes sent (turned upright as the orientation says)
    QByteArray unturned; // Encoded, when asked for and the picture turns: what earlier versions sent; else empty
};
// stop: when set (by another thread), the decode ends within a fraction of
// a second (a JPEG's at the end of the scan under way, without making the
// picture) and the result is Stopped.
EncodedImage encodeImage(const QString& path, const QString& mime, bool withUnturned = false,
                         const std::atomic_bool* stop = nullptr);
EncodedImage encodeImage(const QByteArray& bytes, const QString& mime, bool withUnturned = false,
                         const std::atomic_bool* stop = nullptr);
// Same, of an open device that holds the picture from its start and can
// seek.
EncodedImage encodeImage(QIODevice& device, const QString& mime, bool withUnturned = false,
                         const std::atomic_bool* stop = nullptr);
// The bytes sent, or empty when the picture goes as it is (for the callers
// that only send).
QByteArray encodedImage(const QString& path, const QString& mime, const std::atomic_bool* stop = nullptr);
