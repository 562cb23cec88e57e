#include "navnodekind.h"

const char* navNodeIconPath(int kind)
{
    static const char* const paths[] = {
        "",
        ":res/devices.png",
        ":res/databases.png",
        ":res/iphone.png",
        ":res/android.png",
        ":res/database.png",
        ":res/sms.png",
        ":res/contacts.png",
        ":res/voicemail.png",
        ":res/calendar.png",
        ":res/notes.png",
        ":res/call.png",
        ":res/recording.png",
        ":res/bookmark.png",
        ":res/filesys.png",
        ":res/photo.png",
        ":res/video.png",
        ":res/music.png",
        ":res/playlist.png",
        ":res/ringtone.png",
    };
    if (kind < NAV_ROOT_DEVICE || kind > NAV_RINGTONES)
        return "";
    return paths[kind];
}
