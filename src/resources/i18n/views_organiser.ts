<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
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
    <message>
        <source>CSV Files(*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text Files(*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportCallHistoryThread</name>
    <message>
        <source>IDS_SUC_EXPORT_%1_CALLS</source>
        <translation>Successfully extracted %1 Call history.</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportNotesThread</name>
    <message>
        <source>IDS_EXPORTING_NOTES</source>
        <translation>Extracting Notes now. Please wait...</translation>
    </message>
    <message>
        <source>Notes:%1 / %2</source>
        <translation>Notes:%1 / %2</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_NOTES</source>
        <translation>Successfully extracted %1 Notes.</translation>
    </message>
</context>
<context>
    <name>NotesMainForm</name>
    <message>
        <source>IDS_MI_TOOLBAR_EXPORT_NOTES</source>
        <translation>Extract Notes</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_NOTES</source>
        <translation>Extract Notes</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_DELETE_NOTES</source>
        <translation>Delete Notes</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE</source>
        <translation>Delete selected Notes</translation>
    </message>
    <message>
        <source>Total:%1</source>
        <translation>Total:%1</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXPORT_NOTES</source>
        <translation>Extracting Notes now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_NOTES</source>
        <translation>Confirm to delete selected Notes?</translation>
    </message>
    <message>
        <source>IDS_DEL_NOTES_SUC</source>
        <translation>Successfully deleted Notes.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_ALL_NOTES</source>
        <translation>Confirm to delete all Notes?</translation>
    </message>
    <message>
        <source>IDS_DEL_ALL_NOTES_SUC</source>
        <translation>Successfully deleted all Notes.</translation>
    </message>
</context>
</TS>
