// Type codes of the navigation tree's nodes; the main window picks the page
// to show by them.
#pragma once

enum NavNodeKind {
    NAV_ROOT_DEVICE = 1, // the "Devices" root
    NAV_ROOT_LOCALDB = 2, // the "Local Databases" root
    NAV_IPHONE_DEVICE = 3, // never created
    NAV_ANDROID_DEVICE = 4,
    NAV_LOCAL_DB = 5,
    NAV_SMS = 6,
    NAV_CONTACTS = 7,
    NAV_VOICEMAIL = 8, // never created
    NAV_CALENDAR = 9,
    NAV_NOTES = 10, // local backups only
    NAV_CALL_HISTORY = 11,
    NAV_RECORDING = 12, // never created
    NAV_BOOKMARKS = 13,
    NAV_FILESYS = 14,
    NAV_PHOTOS = 15,
    NAV_VIDEOS = 16,
    NAV_MUSIC = 17,
    NAV_PLAYLISTS = 18,
    NAV_RINGTONES = 19,
};

// The icon resource of a kind (":res/....png"); empty outside 1..19.
const char* navNodeIconPath(int kind);
