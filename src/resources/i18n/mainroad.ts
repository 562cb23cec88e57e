<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AndroidRestoreBookmarksThread</name>
    <message>
        <source>IDS_EXPORT_BOOKMARKS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Boobmarks to Android</translation>
    </message>
</context>
<context>
    <name>AndroidRestoreCalendarsThread</name>
    <message>
        <source>IDS_EXPORT_CALENDAR_EVENTS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Calendar events to Android.</translation>
    </message>
</context>
<context>
    <name>AndroidRestoreCallsThread</name>
    <message>
        <source>IDS_EXPORT_CALLS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Call History to Android.</translation>
    </message>
</context>
<context>
    <name>AndroidRestorePlaylistThread</name>
    <message>
        <source>IDS_EXPORT_PLAYLISTS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restored %1 Playlists to Android.</translation>
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
        <translation>Invalid Local Database name(can't contain \ / : * ? &quot; &lt; &gt; |)</translation>
    </message>
</context>
<context>
    <name>CallHistoryMainForm</name>
    <message>
        <source>IDS_LOADING_ANDROID_CALL_HISTORIES</source>
        <translation>Loading Call history from Android...</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_BACKUP_CALLS</source>
        <translation>Backup Call history</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_A2A</source>
        <translation>Transfer Android Call history to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_DB2A</source>
        <translation>Transfer Call history from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_EXPORT_CALLS</source>
        <translation>Extract Call history</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_DELETE_CALLS</source>
        <translation>Delete Call history</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_CALLS</source>
        <translation>Backup selected Call history</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_A2A</source>
        <translation>Transfer selected Call history to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_DB2A</source>
        <translation>Transfer selected Call history from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CALLS</source>
        <translation>Extract selected Call history</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE</source>
        <translation>Delete selected Call history</translation>
    </message>
    <message>
        <source>IDS_TITLE_BACKUPING_CALLS</source>
        <translation>Backing up Call History...</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXPORT_CALL_HISTORIES</source>
        <translation>Extracting Call History now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_CALLS_TO_ANDROID</source>
        <translation>Transferring Call history to Android...</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_SEL_CALLS</source>
        <translation>Confirm to delete selected Call History?</translation>
    </message>
    <message>
        <source>IDS_DEL_SEL_CALLS_SUC</source>
        <translation>Successfully deleted selected Call History.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_ALL_CALLS</source>
        <translation>Confirm to delete all Call History?</translation>
    </message>
    <message>
        <source>IDS_DEL_ALL_CALLS_SUC</source>
        <translation>Successfully deleted all Call History.</translation>
    </message>
</context>
<context>
    <name>ExportCallHistoryThread</name>
    <message>
        <source>IDS_SUC_EXPORT_%1_CALLS</source>
        <translation>Successfully extracted %1 Call history.</translation>
    </message>
</context>
</TS>
