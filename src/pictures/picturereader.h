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

// At most this much work in the decode of a picture shown in the window (a
// thumbnail), which waits for it: a 12 MP camera photo is 18 M, a 48 MP
// one 72 M.
inline constexpr qint64 kMaxShownWork = qint64(1) << 27;

// The picture a file holds, read as a transfer reads it (JPEG or PNG only,
// within the same bounds, a large JPEG at a reduced size that keeps its
// longer side at kMaxImageSide or more) and turned upright, to be shown;
// null when it is no picture a transfer encodes, or when its decode would
// take more work than kMaxShownWork. format gets "jpeg" or "png".
QImage readPicture(const QString& path, QByteArray* format = nullptr);
