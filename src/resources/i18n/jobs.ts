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
    <name>AndroidRestoreContactsThread</name>
    <message>
        <source>IDS_MERGING_CONTACTS</source>
        <translation>Merging contacts now...</translation>
    </message>
    <message>
        <source>Contacts:%1/%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_SEND_CHANGES_TO_ANDROID</source>
        <translation>Updating Android device now...</translation>
    </message>
    <message>
        <source>IDS_SUC_TRANSFER_%1_CONTACTS_TO_ANDROID_%2_MERGED</source>
        <translation>Successfully transferred %1 contacts to Android,with %2 repeated contacts merged.</translation>
    </message>
    <message>
        <source>IDS_SUC_TRANSFER_%1_CONTACTS_TO_ANDROID</source>
        <translation>Successfully transferred %1 contacts to Android.</translation>
    </message>
    <message>
        <source>IDS_CONTACTS_NOT_TRANSFERRED_%1_%2</source>
        <translation>%2 contacts were kept on the PC but did not reach Android: %1</translation>
    </message>
</context>
<context>
    <name>AndroidRestoreMessagesThread</name>
    <message>
        <source>IDS_RESTORING_SMS_TO_ANDROID</source>
        <translation>Transferring Messages to Android...</translation>
    </message>
    <message>
        <source>SMS: %1/%2</source>
        <translation>Messages:%1 / %2</translation>
    </message>
    <message>
        <source>IDS_RESTORE_SMS_SET_DEFAULT_APP</source>
        <translation>Please click &quot;YES&quot; to temporarily set our Quillharbor app as your default SMS app when the message pops out on your Android&apos;s screen. Then click the &quot;OK&quot; button to start transferring messages to your Android.&lt;br/&gt;&lt;br/&gt;Note: It will resume your default Messaging app settings after transferring messages to Android.</translation>
    </message>
    <message>
        <source>Sending %1, %2/%3 KB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_SUC_RESTORE_%1_SMS_TO_ANDROID</source>
        <translation>Successfully restored %1 Messages to Android.</translation>
    </message>
    <message>
        <source>IDS_SMS_NOTHING_SENT_ALL_ON_ANDROID_%1</source>
        <translation>Nothing was sent: Android already holds these %1 Messages.</translation>
    </message>
    <message>
        <source>IDS_SMS_ALREADY_ON_ANDROID_%1</source>
        <translation>%1 Messages were on Android already and were not sent again.</translation>
    </message>
    <message>
        <source>IDS_SKIP_%1_SMS_GROUP_OR_SYS_MESSAGES</source>
        <translation>%1 group messages or system messages can&apos;t be transferred.</translation>
    </message>
    <message>
        <source>IDS_SMS_ATTACHMENTS_NOT_SENT_%1_%2</source>
        <translation>%1 attachments could not be sent (missing or unreadable files, or names that cannot be sent): %2</translation>
    </message>
    <message>
        <source>IDS_RESTORE_SMS_RESUME_DEFAULT_APP</source>
        <translation>&lt;br/&gt;Now please click &quot;YES&quot; to resume your default Messaging app settings when the message pops out on your Android&apos;s screen.</translation>
    </message>
    <message>
        <source>Comparing pictures: %1/%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preparing pictures: %1/%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot prepare the picture %1 for the phone. %2</source>
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
    <name>AndroidSendChangesThread</name>
    <message>
        <source>IDS_NEW_CONTACT_WITHOUT_NAME</source>
        <translation>A new contact needs a name before it can be sent to Android.</translation>
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
    <name>BackupMMSThread</name>
    <message>
        <source>IDS_BACKING_UP_MESSAGES</source>
        <translation>Backing up Messages to Local Database...</translation>
    </message>
    <message>
        <source>IDS_BACKING_UP_MMS</source>
        <translation>Backing up Messages to Local Database...</translation>
    </message>
    <message>
        <source>SMS: %1/%2</source>
        <translation>Messages:%1 / %2</translation>
    </message>
    <message>
        <source>IDS_SUC_BACKUP_%1_MMS</source>
        <translation>Successfully backup %1 messages.</translation>
    </message>
    <message>
        <source>IDS_BACKUP_MMS_NO_CHAT_%1</source>
        <translation>%1 messages were left out: their conversation is missing.</translation>
    </message>
    <message>
        <source>IDS_BACKUP_MMS_FILES_NOT_COPIED_%1_%2</source>
        <translation>%1 attachment files were missing and could not be copied: %2</translation>
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
    <name>ContactsRestoreSession</name>
    <message>
        <source>IDS_DEVICE_NOT_CONNECTED</source>
        <translation>This device is not connected: nothing can be sent to it.</translation>
    </message>
</context>
<context>
    <name>DeleteMMSThread</name>
    <message>
        <source>IDS_DELETING_MMS</source>
        <translation>Deleting Messages...</translation>
    </message>
    <message>
        <source>Messages: %1/%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_SUC_DELETE_%1_MESSAGES</source>
        <translation>Successfully Deleted %1 Messages.</translation>
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
