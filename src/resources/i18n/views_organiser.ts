<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>BookmarksMainForm</name>
    <message>
        <source>IDS_MI_TOOLBAR_BACKUP_BOOKMARKS</source>
        <translation>Backup Bookmarks</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_BOOKMARKS</source>
        <translation>Backup selected Bookmarks</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_A2A</source>
        <translation>Transfer Android Bookmarks to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_A2A</source>
        <translation>Transfer selected Bookmarks to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_DB2A</source>
        <translation>Transfer Bookmarks from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_DB2A</source>
        <translation>Transfer selected Boomarks from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_EXPORT_BOOKMARKS</source>
        <translation>Extract Bookmarks</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_BOOKMARKS</source>
        <translation>Extract selected Bookmarks</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_DELETE_BOOKMARKS</source>
        <translation>Delete Bookmarks</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE</source>
        <translation>Delete selected Bookmarks</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_BOOKMARKS</source>
        <translation>Loading Bookmarks from Android...</translation>
    </message>
    <message>
        <source>Total:%1</source>
        <translation>Total:%1</translation>
    </message>
    <message>
        <source>IDS_CANNOT_FIND_BOOKMARKS_KW_%1</source>
        <translation>Find no Bookmarks with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_BOOKMARK_NOT_OPENED_%1</source>
        <translation>Only web addresses (http, https, ftp) are opened. These Bookmarks were not opened:
%1</translation>
    </message>
    <message>
        <source>IDS_TITLE_BACKUPING_BOOKMARKS</source>
        <translation>Backing up Bookmarks now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXPORT_BOOKMARKS</source>
        <translation>Extracting Bookmarks now.Please wait...</translation>
    </message>
    <message>
        <source>IDS_RESTORE_BOOKMARKS_TO_ANDROID</source>
        <translation>Transferring Bookmarks to Android...</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_BOOKMARKS</source>
        <translation>Confirm to delete selected Bookmarks?</translation>
    </message>
    <message>
        <source>IDS_DEL_BOOKMARKS_SUC</source>
        <translation>Successfully deleted Bookmarks.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_ALL_BOOKMARKS</source>
        <translation>Confirm to delete all Bookmarks?</translation>
    </message>
    <message>
        <source>IDS_DEL_ALL_BOOKMARKS_SUC</source>
        <translation>Successfully deleted all Bookmarks.</translation>
    </message>
</context>
<context>
    <name>CalendarMainForm</name>
    <message>
        <source>IDS_MI_TOOLBAR_BACKUP_CALENDAR_EVENTS</source>
        <translation>Backup Calendar events</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_CALENDAR_EVENTS</source>
        <translation>Backup selected Calendar events</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_A2A</source>
        <translation>Transfer Android Calendar events to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_A2A</source>
        <translation>Transfer selected Calendar events to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_DB2A</source>
        <translation>Transfer Calendar events from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_DB2A</source>
        <translation>Transfer selected Calendar events from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_EXPORT_CALENDAR_EVENTS</source>
        <translation>Extract Calendar events</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CALENDAR_EVENTS</source>
        <translation>Extract selected Calendar events</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_DELETE_CALENDAR_EVENTS</source>
        <translation>Delete Calendar events</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE</source>
        <translation>Delete selected Calendar events</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_CALENDARS</source>
        <translation>Loading Calendar from Android...</translation>
    </message>
    <message>
        <source>IDS_TITLE_BACKUPING_CALENDARS</source>
        <translation>Backing up Calendar events now. Please wait...</translation>
    </message>
    <message>
        <source>CSV Files(*.csv)</source>
        <translation>CSV Files(*.csv)</translation>
    </message>
    <message>
        <source>iCalendar Files(*.ics)</source>
        <translation>iCalendar Files(*.ics)</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXPORT_CALENDAR_ITEMS</source>
        <translation>Extracting Calendar events now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_CALENDAR_TO_ANDROID</source>
        <translation>Transferring Calendar events to Android...</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_CALENDAR_EVENTS</source>
        <translation>Confirm to delete selected Calendar events?</translation>
    </message>
    <message>
        <source>IDS_DEL_CALENDAR_SUC</source>
        <translation>Successfully deleted Calendar events.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_ALL_CALENDAR_EVENTS</source>
        <translation>Confirm to delete all Calendar events?</translation>
    </message>
    <message>
        <source>IDS_DEL_ALL_CALENDAR_EVENTS_SUC</source>
        <translation>Successfully deleted all Calendar events.</translation>
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
    <message>
        <source>CSV Files(*.csv)</source>
        <translation type="unfinished">CSV Files(*.csv)</translation>
    </message>
    <message>
        <source>Text Files(*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportBookmarkThread</name>
    <message>
        <source>IDS_EXPORTING_BOOKMARKS</source>
        <translation>Extracting Bookmarks now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_BOOKMARKS</source>
        <translation>Successfully extracted %1 Bookmarks.</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
</context>
<context>
    <name>ExportCalendarThread</name>
    <message>
        <source>IDS_EXPORTING_CALENDAR_ITEMS</source>
        <translation>Extracting Calendar events now. Please wait...</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_CALENDAR_ITEMS</source>
        <translation>Successfully extracted %1 Calendar events.</translation>
    </message>
    <message>
        <source>IDS_CALENDAR_EVENTS_LEFT_OUT_%1</source>
        <translation>Events left out for want of a start or for a date outside the years 1 to 9999: %1</translation>
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
        <translation type="unfinished">%1 / %2</translation>
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
    <name>ItemModelCalendar</name>
    <message>
        <source>Calendar/Event</source>
        <translation>Calendar/Event</translation>
    </message>
    <message>
        <source>Start Date</source>
        <translation>Start Date</translation>
    </message>
    <message>
        <source>End Date</source>
        <translation>End Date</translation>
    </message>
    <message>
        <source>All day</source>
        <translation>All day</translation>
    </message>
    <message>
        <source>Rule</source>
        <translation>Rule</translation>
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
