// Where the application keeps its state: the data root and its folders.
//
// The data root is the product-id folder under the maker folder in the
// user's application-data folder (on Linux the XDG data home), or under the
// folder named by a ".redirect" file next to it. Its location is fixed by
// the first getDataDir() call and kept for the life of the process.
#pragma once

#include <QDir>
#include <QString>

namespace dataroot {

// Maker folder name inside the application-data folder.
inline constexpr char kMakerName[] = "QuillHarbor";
// Product id: the data root's folder name; the update check sends it too.
inline constexpr char kProductId[] = "7C31E05A9D2B46F08A1E5B3C6D7F9012";

// Entries of the data root. Each is created by its owner on first use.
inline constexpr char kLocalDatabases[] = "local_databases";
inline constexpr char kAndroidCache[] = "android_cache";
inline constexpr char kVirtualAndroid[] = "virtual_android";
inline constexpr char kLogs[] = "qlogs";
inline constexpr char kLastCheckVersionTime[] = "last-check-version-time";
inline constexpr char kCountriesDb[] = "countries.db";

// The data root as a fresh computation (redirect file, else maker folder),
// without the process-wide cache and without creating anything. getDataDir
// uses it for its first call; tests use it to check the rules.
QString resolveDataDir();

} // namespace dataroot

// The user's application-data folder (not created). On Linux the XDG data
// home; on Windows "AppData/Roaming" under the home folder when it exists,
// else "Application Data".
QDir getAppDataDir();
// Absolute path of the maker folder inside the application-data folder (not
// created).
QString getMakerDataDir();
// The path named by the redirect file, or empty when the file is missing,
// unreadable or names nothing that exists. Nothing is trimmed.
QString readRedirectDir();
// The data root. The first call fixes its location; every call creates the
// folder chain when missing (failures are left to the users of the folder).
// In a test (APP_TEST_SANDBOX set) the first call stops the process when
// the location lies outside the test's sandbox.
QDir getDataDir();
// The data root's "local_databases" folder, created when missing; each
// sub-folder is one local backup.
QDir getLocalDatabasesDir();
// The per-user folder for files made while rendering (card pictures,
// thumbnails): under the user's cache folder, readable by the user alone,
// created when missing. Never a shared, world-writable folder.
QDir privateTempDir();
