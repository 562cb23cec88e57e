// What the main window reads from the data root to fill its navigation tree:
// the virtual devices ("virtual_android") and the record counts of a local
// backup folder. No widgets.
#pragma once

#include "phonelink/androiddeviceinfo.h"
#include "shell/itemmodelmain.h"

#include <QDir>
#include <QHash>
#include <QList>
#include <QString>

namespace navsources {

// The key=value pairs of a "dev.txt" text (pairs separated by ';', no line
// structure: keys and values are taken exactly as they stand). A later equal
// key overwrites an earlier one.
QHash<QString, QString> parseDevTxt(const QString& text);

// The descriptor of the virtual device in folder, from its "dev.txt" (a
// missing or unreadable file gives empty fields).
AndroidDeviceInfo readVirtualDevice(const QDir& folder);

// One descriptor per sub-folder of the data root's "virtual_android", in
// listing order; none when the folder is missing.
QList<AndroidDeviceInfo> loadVirtualDevices(const QDir& dataRoot);

// The seven counts of a backup folder (messages, contacts, calendar events,
// notes, bookmarks, call records, playlists). A database that is missing,
// corrupt or not of ours counts 0; nothing is created or deleted. A journal
// that an interrupted write left is rolled back first (the file's last
// committed state is what it holds); where that cannot be done, as on a
// read-only medium, the count is _LocalDbItemNode::kUnknownCount.
_LocalDbItemNode::Counts countLocalDb(const QDir& folder);

} // namespace navsources
