<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ExtractLocalFilesThread</name>
    <message>
        <source>IDS_SUC_DOWNLOAD_%1_FILES</source>
        <translation>Successfully extracted %1 files.</translation>
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
    <name>FileSysMainForm</name>
    <message>
        <source>IDS_EXPORT_FILES</source>
        <translation>Extract Files</translation>
    </message>
    <message>
        <source>IDS_IMPORT_FILES</source>
        <translation>Import Files</translation>
    </message>
    <message>
        <source>IDS_DELETE_FILES</source>
        <translation>Delete Files</translation>
    </message>
    <message>
        <source>IDS_LOADING_FILES_SCHEMA</source>
        <translation>Loading files...</translation>
    </message>
    <message>
        <source>IDS_CAN_EXPORT_FILE_DIR_%1</source>
        <translation>Can&apos;t export files from folder %1. Please choose a subfolder to try again.</translation>
    </message>
    <message>
        <source>IDS_CANNOT_EXPORT_FILE_%1_TOGETHER</source>
        <translation>The file %1 can&apos;t be extracted together.</translation>
    </message>
    <message>
        <source>IDS_DOWNLOADING_FILES</source>
        <translation>Extracting files...</translation>
    </message>
    <message>
        <source>IDS_FILES_NOT_EXTRACTED_%1</source>
        <translation>These entries were not extracted:
%1</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SEL_FOLDER_TO_UPLOAD</source>
        <translation>Please select a target directory on device.</translation>
    </message>
    <message>
        <source>IDS_CANT_IMPORT_FILES_TO_DIR_%1</source>
        <translation>You can&apos;t import files into file directory %1.</translation>
    </message>
    <message>
        <source>IDS_TITLE_UPLOAD_FILES_TO_ANDROID</source>
        <translation>Transferring files to Android...</translation>
    </message>
    <message>
        <source>IDS_NO_FILES_TO_DELETE</source>
        <translation>Found no file to delete.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_DEL_FILE_%1</source>
        <translation>Can&apos;t delete file %1.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_TO_DELETE_SEL_FILES</source>
        <translation>Confirm to delete selected files?</translation>
    </message>
    <message>
        <source>IDS_DELETING_FILES</source>
        <translation>Deleting files...</translation>
    </message>
    <message>
        <source>IDS_DELETE_FILES_SUC</source>
        <translation>Successfully deleted files.</translation>
    </message>
    <message>
        <source>IDS_FILES_NOT_DELETED_%1</source>
        <translation>These files were not deleted:
%1</translation>
    </message>
</context>
<context>
    <name>MediaExtract</name>
    <message>
        <source>IDS_DOWNLOADING_FILES</source>
        <translation>Extracting files...</translation>
    </message>
    <message>
        <source>IDS_FILES_NOT_EXTRACTED_%1</source>
        <translation>These entries were not extracted:
%1</translation>
    </message>
</context>
<context>
    <name>MusicMainForm</name>
    <message>
        <source>IDS_TRANSFER_TOOLBAR_MUSIC_A2A</source>
        <translation>Transfer Android Music to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_TOOLBAR_RINGTONE_A2A</source>
        <translation>Transfer Android Ringtones to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_SEL_MUSIC_A2A</source>
        <translation>Transfer selected Songs to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_SEL_RINGTONE_A2A</source>
        <translation>Transfer selected Ringtones to other Android</translation>
    </message>
    <message>
        <source>IDS_EXPORT_TOOLBAR_MUSIC</source>
        <translation>Extract Music</translation>
    </message>
    <message>
        <source>IDS_EXPORT_TOOLBAR_RINGTONE</source>
        <translation>Extract Ringtones</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SEL_MUSIC</source>
        <translation>Extract selected Songs</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SEL_RINGTONE</source>
        <translation>Extract selected Ringtones</translation>
    </message>
    <message>
        <source>IDS_IMPORT_MUSIC</source>
        <translation>Import Music</translation>
    </message>
    <message>
        <source>IDS_IMPORT_RINGTONE</source>
        <translation>Import Ringtones</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_MUSIC</source>
        <translation>Loading Music from Android...</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_RINGTONES</source>
        <translation>Loading Ringtones from Android...</translation>
    </message>
    <message>
        <source>IDS_IMPORTING_MUSIC</source>
        <translation>Importing Music to device...</translation>
    </message>
    <message>
        <source>IDS_TRANSFERING_MUSIC_A2A</source>
        <translation>Transferring Music to Android...</translation>
    </message>
</context>
<context>
    <name>PhotosMainForm</name>
    <message>
        <source>IDS_TRANSFER_TOOLBAR_IMAGES_A2A</source>
        <translation>Transfer Android Photos to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_TOOLBAR_VIDEOS_A2A</source>
        <translation>Transfer Android Videos to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_SEL_IMAGES_A2A</source>
        <translation>Transfer selected Photos to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_SEL_VIDEOS_A2A</source>
        <translation>Transfer selected Videos to other Android</translation>
    </message>
    <message>
        <source>IDS_EXPORT_TOOLBAR_IMAGES</source>
        <translation>Extract Photos</translation>
    </message>
    <message>
        <source>IDS_EXPORT_TOOLBAR_VIDEOS</source>
        <translation>Extract Videos</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SEL_IMAGES</source>
        <translation>Extract selected Photos</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SEL_VIDEOS</source>
        <translation>Extract selected Videos</translation>
    </message>
    <message>
        <source>IDS_IMPORT_IMAGES</source>
        <translation>Import Photos</translation>
    </message>
    <message>
        <source>IDS_IMPORT_VIDEOS</source>
        <translation>Import Videos</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_BUCKET_IMAGES_A2A</source>
        <translation>Transfer Android Photos in Album to other Android</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_BUCKET_VIDEOS_A2A</source>
        <translation>Transfer Android Videos in Album to other Android</translation>
    </message>
    <message>
        <source>IDS_EXPORT_BUCKET_IMAGES</source>
        <translation>Extract Photos from Album</translation>
    </message>
    <message>
        <source>IDS_EXPORT_BUCKET_VIDEOS</source>
        <translation>Extract Videos from Album</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_IMAGES</source>
        <translation>Loading Photos from Android...</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_VIDEOS</source>
        <translation>Loading Videos from Android...</translation>
    </message>
    <message>
        <source>Images:%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_ALL_PHOTOS</source>
        <translation>All Photos</translation>
    </message>
    <message>
        <source>IDS_ALL_VIDEOS</source>
        <translation>All Videos</translation>
    </message>
    <message>
        <source>IDS_CANNOT_CREATE_FOLDER_%1</source>
        <translation>Can not create the folder %1.</translation>
    </message>
    <message>
        <source>IDS_DOWNLOADING_FILES</source>
        <translation>Extracting...</translation>
    </message>
    <message>
        <source>IDS_FILES_NOT_EXTRACTED_%1</source>
        <translation>These entries were not extracted:
%1</translation>
    </message>
    <message>
        <source>IDS_TRANSFERING_IMAGES_A2A</source>
        <translation>Transferring Photos to Android...</translation>
    </message>
    <message>
        <source>IDS_TRANSFERING_VIDEOS_A2A</source>
        <translation>Transferring Videos to Android...</translation>
    </message>
    <message>
        <source>IDS_IMPORTING_IMAGES</source>
        <translation>Importing Photos...</translation>
    </message>
    <message>
        <source>IDS_IMPORTING_VIDEOS</source>
        <translation>Importing Videos...</translation>
    </message>
</context>
<context>
    <name>PlaylistMainForm</name>
    <message>
        <source>IDS_MI_TOOLBAR_BACKUP_PLAYLISTS</source>
        <translation>Backup Playlist</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_PLAYLISTS</source>
        <translation>Backup selected Playlist</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_A2A</source>
        <translation>Transfer Android Playlist to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_A2A</source>
        <translation>Transfer selected Playlist to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_DB2A</source>
        <translation>Transfer Playlist from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_DB2A</source>
        <translation>Transfer selected Playlist from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_DELETE_PLAYLISTS</source>
        <translation>Delete Playlist</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE</source>
        <translation>Delete selected Playlist</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_PLAYLISTS</source>
        <translation>Loading Playlist from Android...</translation>
    </message>
    <message>
        <source>IDS_TITLE_BACKUPING_PLAYLISTS</source>
        <translation>Backing up Playlist...</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_PLAYLISTS_TO_ANDROID</source>
        <translation>Transferring Playlist to Android...</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_ALL_PLAYLISTS</source>
        <translation>Confirm to delete all Playlist?</translation>
    </message>
    <message>
        <source>IDS_DEL_ALL_PLAYLISTS_SUC</source>
        <translation>Successfully deleted all Playlist.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_SEL_PLAYLISTS</source>
        <translation>Confirm to delete selected Playlist?</translation>
    </message>
    <message>
        <source>IDS_DEL_SEL_PLAYLISTS_SUC</source>
        <translation>Successfully deleted selected Playlist.</translation>
    </message>
</context>
<context>
    <name>RecordingMainForm</name>
    <message>
        <source>IDS_EXPORT_RECORDINGS</source>
        <translation>Extract Recording</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_RECORDINGS</source>
        <translation>Extract Recording</translation>
    </message>
</context>
</TS>
