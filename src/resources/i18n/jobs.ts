<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AndroidRestoreBookmarksThread</name>
    <message>
        <source>IDS_EXPORT_BOOKMARKS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Boobmarks to Android</translation>
    </message>
    <message>
        <source>Bookmarks:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidRestoreCalendarsThread</name>
    <message>
        <source>IDS_EXPORT_CALENDAR_EVENTS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Calendar events to Android.</translation>
    </message>
    <message>
        <source>Events:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidRestoreCallsThread</name>
    <message>
        <source>IDS_EXPORT_CALLS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Call History to Android.</translation>
    </message>
    <message>
        <source>Calls:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidRestorePlaylistThread</name>
    <message>
        <source>IDS_EXPORT_PLAYLISTS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Playlists to Android.</translation>
    </message>
    <message>
        <source>Playlists:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidTransferA2AThread</name>
    <message>
        <source>IDS_TRANSFER_INCOMPLETE_%1_OF_%2_NOT_SENT_%3</source>
        <translation>%1 of %2 files were transferred to Android. These files were not sent, because their paths hold a line break:
%3</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_FAILED_%1_%2</source>
        <translation>Transferring %1 failed. %2</translation>
    </message>
    <message>
        <source>IDS_UPLOADING_%1</source>
        <translation>Transferring:%1</translation>
    </message>
</context>
<context>
    <name>AndroidTransferImagesA2AThread</name>
    <message>
        <source>IDS_SUC_TRANSFER_%1_IMAGES</source>
        <translation>Successfully transferred %1 Photos.</translation>
    </message>
    <message>
        <source>IDS_SUC_TRANSFER_%1_VIDEOS</source>
        <translation>Successfully transferred %1 Videos.</translation>
    </message>
</context>
<context>
    <name>AndroidTransferMusicA2AThread</name>
    <message>
        <source>IDS_SUC_TRANSFER_%1_MUSIC</source>
        <translation>Successfully transferred %1 Songs.</translation>
    </message>
    <message>
        <source>IDS_SUC_TRANSFER_%1_RINGTONES</source>
        <translation>Successfully transferred %1 Ringtones.</translation>
    </message>
</context>
<context>
    <name>AndroidUploadFilesThread</name>
    <message>
        <source>IDS_SUC_UPLOAD_%1_FILES_TO_ANDROID</source>
        <translation>Successfully transferred %1 files to Android.</translation>
    </message>
    <message>
        <source>IDS_UPLOAD_INCOMPLETE_%1_OF_%2_FILES_NOT_SENT_%3</source>
        <translation>%1 of %2 files were transferred to Android. These files were not sent, because their names hold a line break:
%3</translation>
    </message>
    <message>
        <source>Files:%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_UPLOADING_FILE_%1</source>
        <translation>Transferring: %1</translation>
    </message>
</context>
<context>
    <name>AndroidUploadImagesThread</name>
    <message>
        <source>IDS_SUC_IMPORT_%1_IMAGES_TO_ANDROID</source>
        <translation>Successfully transferred %1 Photos to Android.</translation>
    </message>
    <message>
        <source>IDS_SUC_IMPORT_%1_VIDEOS_TO_ANDROID</source>
        <translation>Successfully transferred %1 Videos to Android.</translation>
    </message>
</context>
<context>
    <name>AndroidUploadMediaThread</name>
    <message>
        <source>IDS_UPLOADING_%1</source>
        <translation>Transferring:%1</translation>
    </message>
    <message>
        <source>Files:%1/%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidUploadMusicThread</name>
    <message>
        <source>IDS_SUC_IMPORT_%1_MUSIC_TO_ANDROID</source>
        <translation>Successfully transferred %1 Songs to Android.</translation>
    </message>
    <message>
        <source>IDS_SUC_IMPORT_%1_RINGTONES_TO_ANDROID</source>
        <translation>Successfully transferred %1 Ringtones to Android.</translation>
    </message>
</context>
<context>
    <name>BackupBookmarsThread</name>
    <message>
        <source>IDS_BACKUPING_BOOKMARKS</source>
        <translation>Backing up Bookmarks now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_SUC_BACKUP_%1_BOOKMARKS</source>
        <translation>Successfully backup %1 Bookmarks.</translation>
    </message>
</context>
<context>
    <name>BackupCalendarsThread</name>
    <message>
        <source>IDS_SUC_BACKUP_%1_CALENDAR_EVENTS</source>
        <translation>Successfully backup %1 Calendar events.</translation>
    </message>
</context>
<context>
    <name>BackupCallsThread</name>
    <message>
        <source>IDS_SUC_BACKUP_%1_CALLS</source>
        <translation>Successfully backup %1 Call History.</translation>
    </message>
</context>
<context>
    <name>BackupContactsThread</name>
    <message>
        <source>IDS_IMPORTING_CONTACTS_TO_LOCALDB</source>
        <translation>Backing up contacts now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_SUC_IMPORT_%1_TO_LOCALDB</source>
        <translation>Successfully backup %1 contacts.</translation>
    </message>
    <message>
        <source>IDS_SUC_IMPORT_%1_TO_LOCALDB_%2_MERGED</source>
        <translation>Successfully backup %1 contacts with %2  merged.</translation>
    </message>
</context>
<context>
    <name>BackupNotesThread</name>
    <message>
        <source>IDS_BACKUPING_NOTES</source>
        <translation>Backing up Notes. Please wait...</translation>
    </message>
    <message>
        <source>IDS_SUC_BACKUP_%1_NOTES</source>
        <translation>Successfully backup %1 notes.</translation>
    </message>
</context>
<context>
    <name>BackupPlaylistsThread</name>
    <message>
        <source>IDS_SUC_BACKUP_%1_PLAYLISTS</source>
        <translation>Successfully backup %1 Playlists.</translation>
    </message>
</context>
<context>
    <name>LocalDbSelForm</name>
    <message>
        <source>IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME</source>
        <translation>Select one Database or enter a new Database name</translation>
    </message>
    <message>
        <source>IDS_INVALID_LOCALDB_NAME</source>
        <translation>Invalid Local Database name(can&apos;t contain \ / : * ? &quot; &lt; &gt; |)</translation>
    </message>
    <message>
        <source>Select one Database for backup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select current database to merge or enter a new database name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selecting current Database will merge data;entering new DB name will create a new Database.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished">Cancel</translation>
    </message>
</context>
</TS>
