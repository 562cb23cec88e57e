// The albums of a virtual device's "photos" or "videos" folder: each
// sub-folder is an album, numbered from 1 in the file system's order, that
// holds its "*.jpg" files (letter case ignored, no other extension, also in
// "videos"). A picture's thumbnail is "<name up to its first dot>.thm"
// beside it; a missing one is made from the picture as the picture reader
// reads it (within its bounds, turned upright; fitted to 128 x 128, JPEG),
// and a picture the reader does not read has none.
// A record's path is the picture itself, its thumbnail source the ".thm".
#pragma once

#include "records/mediarecords.h"

#include <QList>
#include <QString>

#include <functional>

namespace virtualphotoalbums {

// Reads the albums of kindFolder (none when it is missing) into albums, an
// album before its pictures, so that a stop keeps what was read. progress
// is called with each picture's number before it is read; it may throw to
// stop. While a thumbnail is made, checkCanceled is called every few
// milliseconds: what it throws stops the picture's decode and is thrown on.
void read(const QString& kindFolder, QList<PhotoBucket>& albums, const std::function<void(int)>& progress = {},
          const std::function<void()>& checkCanceled = {});

// Every photo of the albums, newest first (equal dates keep album order).
QList<PhotoRecord> newestFirst(const QList<PhotoBucket>& albums);
// The same for one list.
QList<PhotoRecord> newestFirst(QList<PhotoRecord> records);

} // namespace virtualphotoalbums
