#include "shell/main/navsources.h"

#include "messagestore/ios6messagedb.h"
#include "records/contactcombinerule.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localcontactsdb.h"
#include "records/localnotesdb.h"
#include "records/localplaylistdb.h"
#include "shell/core/dataroot.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <functional>

namespace navsources {

namespace {

// A "dev.txt" holds a handful of short pairs.
constexpr qint64 kMaxDevTxtBytes = 64 * 1024;

// A file whose last committed state cannot be read here (a journal that
// cannot be rolled back, a log that can neither be folded in nor read, a
// writer that does not let go) may hold records: its count is unknown, not
// 0. Other failures are files that are no database of ours, which hold none.
qint64 failedCount(const std::exception& e)
{
    const auto* sqlite = dynamic_cast<const Sqlite3Exception*>(&e);
    const bool unknown = sqlite
        && (sqlite->code() == SQLITE_READONLY_ROLLBACK || sqlite->code() == SQLITE_READONLY_RECOVERY
            || sqlite->code() == SQLITE_BUSY);
    return unknown ? _LocalDbItemNode::kUnknownCount : 0;
}

// Runs the count only on a file that is there: counting must not leave new
// empty databases behind in a backup folder.
qint64 countIfPresent(const QDir& folder, const QString& file, const std::function<qint64(const QString&)>& count)
{
    const QString path = folder.absoluteFilePath(file);
    if (!QFileInfo(path).isFile())
        return 0;
    try {
        return count(path);
    } catch (const std::exception& e) {
        qWarning() << "count failed on" << path << e.what();
        return failedCount(e);
    }
}

} // namespace

QHash<QString, QString> parseDevTxt(const QString& text)
{
    static const QRegularExpression pair(QStringLiteral("([^=;]+)=([^=;]*)"));
    QHash<QString, QString> map;
    auto it = pair.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        map.insert(m.captured(1), m.captured(2));
    }
    return map;
}

AndroidDeviceInfo readVirtualDevice(const QDir& folder)
{
    QString text;
    QFile file(folder.absoluteFilePath(QStringLiteral("dev.txt")));
    if (file.open(QIODevice::ReadOnly))
        text = QString::fromLatin1(file.read(kMaxDevTxtBytes));
    const QHash<QString, QString> map = parseDevTxt(text);

    AndroidDeviceInfo device;
    device.folder = folder.absolutePath();
    device.uid = map.value(QStringLiteral("uid"));
    device.serial = device.uid;
    device.model = map.value(QStringLiteral("model"));
    device.manufacturer = map.value(QStringLiteral("manufacturer"));
    device.imei = map.value(QStringLiteral("imei"));
    device.sdk = map.value(QStringLiteral("sdk"));
    return device;
}

QList<AndroidDeviceInfo> loadVirtualDevices(const QDir& dataRoot)
{
    QList<AndroidDeviceInfo> devices;
    const QDir root(dataRoot.absoluteFilePath(QLatin1String(dataroot::kVirtualAndroid)));
    if (!root.exists())
        return devices;
    const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& name : folders)
        devices.append(readVirtualDevice(QDir(root.absoluteFilePath(name))));
    return devices;
}

_LocalDbItemNode::Counts countLocalDb(const QDir& folder)
{
    using C = _LocalDbItemNode;
    C::Counts n {};

    // Counting only reads: every file is opened read-only, so an old or
    // damaged backup is neither migrated nor otherwise written.
    // The message store lives deeper in the folder; a missing one counts 0.
    {
        IOS6MessageDb probe(folder, QString(), false);
        if (QFileInfo(probe.dbPath()).isFile()) {
            try {
                probe.openReadOnly();
                n[C::Messages] = probe.getMessageCount();
            } catch (const std::exception& e) {
                qWarning() << "message count failed on" << probe.dbPath() << e.what();
                n[C::Messages] = failedCount(e);
            }
        }
    }
    n[C::Contacts] = countIfPresent(folder, QStringLiteral("contacts.db"), [](const QString& path) {
        LocalContactsDb db(path, QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
        db.openReadOnly();
        return db.countContacts();
    });
    n[C::CalendarEvents] = countIfPresent(folder, QStringLiteral("calendars.db"), [](const QString& path) {
        LocalCalendarsDb db(path);
        db.openReadOnly();
        return db.countEvents();
    });
    n[C::CallRecords] = countIfPresent(folder, QStringLiteral("calls.db"), [](const QString& path) {
        LocalCallHistoryDb db(path);
        db.openReadOnly();
        return db.countCalls();
    });
    n[C::Notes] = countIfPresent(folder, QStringLiteral("notes.db"), [](const QString& path) {
        LocalNotesDb db(path);
        db.openReadOnly();
        return db.count();
    });
    n[C::Bookmarks] = countIfPresent(folder, QStringLiteral("bookmarks.db"), [](const QString& path) {
        LocalBookmarkDb db(path);
        db.openReadOnly();
        return db.countBookmarks();
    });
    n[C::Playlists] = countIfPresent(folder, QStringLiteral("playlists.db"), [](const QString& path) {
        LocalPlaylistDb db(path);
        db.openReadOnly();
        return db.count();
    });
    return n;
}

} // namespace navsources
