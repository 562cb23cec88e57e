// The Phone Agent's data services, played from the fixture: the loaders'
// "backup://" services (bookmarks, calendars, calls, contacts, mms2, images,
// videos, music, ringtones, playlists), the file browser ("files"), file
// download ("download") and photo thumbnails ("image-thumbnails"). The file
// services work on the simulator's FileStore, so deletions and uploads show
// in later sessions.
//
// Fixture options beyond README.md's sections (all optional):
// - "batchSize": records per batch (default 50);
// - "blockSize": bytes per "$block:" of a download (default 32768);
// - "thumbLineBytes": bytes per Base64 line of a thumbnail (default 3000);
// - "keepUploads": false keeps of an uploaded file only its size, not its
//   bytes (benchmarks; it is listed, but cannot be downloaded);
// - a file entry's "announce": the size "$file:" announces for a download in
//   place of the real one (a short or long transfer);
// - a file entry's "path": listed under this full path instead of the one
//   its place in the tree gives (a folder that lists its own parent);
// - a file entry's "generated": n in place of its content, n bytes of a fixed
//   pattern (FileStore::pattern; large files for benchmarks);
// - a media entry's "thumb": Base64 of the picture "image-thumbnails" sends
//   for its path (otherwise the file's own content in "files");
// - a media entry's "key", "bucketId", "name" (display name);
// - a message attachment's "repeat": its data is the Base64 bytes repeated
//   this many times (large attachments without a large fixture).
#pragma once

#include "fixture.h"

#include <QJsonArray>

namespace phonesim {

class PhoneSim;

void registerDataServices(PhoneSim& sim);

class Session;
// The "mms2" load of these messages (the fixture's "messages" form).
void sendMessages(Session& s, const QJsonArray& messages);

// A large phone for benchmarks, generated (not read from a file): messages
// spread over conversations, one in attachmentEvery with a small picture,
// contacts with a name, a phone and an e-mail row each, and calls.
Fixture makeLargeFixture(int messages, int conversations, int contacts, int calls, int attachmentEvery = 10);

} // namespace phonesim
