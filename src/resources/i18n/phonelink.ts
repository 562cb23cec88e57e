<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AndroidConnectWithUSBThread</name>
    <message>
        <source>IDS_GET_ANDROID_DEVICE_INFO</source>
        <translation>Getting Android info...</translation>
    </message>
</context>
<context>
    <name>AndroidConnectWithWiFiThread</name>
    <message>
        <source>IDS_GET_ANDROID_DEVICE_INFO</source>
        <translation>Getting Android info...</translation>
    </message>
</context>
<context>
    <name>AndroidDownloadFilesThread</name>
    <message>
        <source>IDS_SUC_DOWNLOAD_%1_FILES</source>
        <translation>Successfully extracted %1 files.</translation>
    </message>
    <message>
        <source>IDS_DOWNLOADING_FILES</source>
        <translation>Extracting files from Android...</translation>
    </message>
    <message>
        <source>IDS_DOWNLOADING_FILE_%1</source>
        <translation>Extracting:%1</translation>
    </message>
    <message>
        <source>Files:%1/%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadBookmarksThread</name>
    <message>
        <source>Bookmarks:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadCallsThread</name>
    <message>
        <source>Calls:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadContactsThread</name>
    <message>
        <source>Contacts: %1/%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadFileSysThread</name>
    <message>
        <source>Loading:%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadImagesThread</name>
    <message>
        <source>Images:%1/%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadMessagesThread</name>
    <message>
        <source>IDS_ANDROID_LOADING_SMS</source>
        <translation>Loading Messages from Android...</translation>
    </message>
    <message>
        <source>Receiving %1(%L2 KB)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n message(s) could not be received intact and will be fetched again on the next load.</source>
        <translation>
            <numerusform>%n message could not be received intact and will be fetched again on the next load.</numerusform>
            <numerusform>%n messages could not be received intact and will be fetched again on the next load.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The phone announced %n message(s) but listed %1; the cache keeps the messages it did not list until a complete listing.</source>
        <translation>
            <numerusform>The phone announced %n message but listed %1; the cache keeps the messages it did not list until a complete listing.</numerusform>
            <numerusform>The phone announced %n messages but listed %1; the cache keeps the messages it did not list until a complete listing.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) of the phone&apos;s listing could not be read; the cache keeps the messages it did not list until a complete listing.</source>
        <translation>
            <numerusform>%n line of the phone&apos;s listing could not be read; the cache keeps the messages it did not list until a complete listing.</numerusform>
            <numerusform>%n lines of the phone&apos;s listing could not be read; the cache keeps the messages it did not list until a complete listing.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>AndroidLoadMusicThread</name>
    <message>
        <source>Music:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidLoadPlaylistsThread</name>
    <message>
        <source>Playlists:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
