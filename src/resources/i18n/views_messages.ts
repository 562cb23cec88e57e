<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AttachmentExtractThread</name>
    <message>
        <source>IDS_SUC_EXTRACT_%1_MEDIA_FILES_TO_%2</source>
        <translation>Successfully extacted %1 MMS attachment to %2.</translation>
    </message>
    <message>
        <source>IDS_AND_%1_MORE</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>IDS_EXTRACT_%1_MEDIA_FILES_TO_%2_FAILED_%3</source>
        <translation>Extracted %1 MMS attachment to %2. These attachments could not be copied: %3</translation>
    </message>
    <message>
        <source>IDS_CREATE_FOLDER_%1_FAILED</source>
        <translation>Failed to create the folder %1.</translation>
    </message>
    <message>
        <source>IDS_EXTRACTING_MEDIA_FILES</source>
        <translation>Extracting Messages attachment now.Please wait...</translation>
    </message>
</context>
<context>
    <name>BubbleViewMgr</name>
    <message>
        <source>IDS_SAVE_ATTACHMENT</source>
        <translation>Save Attachment</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT_SUC</source>
        <translation>Attachment saved successfully.</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT_FILE_ERROR</source>
        <translation>Failed to save attachment.</translation>
    </message>
</context>
<context>
    <name>SMSMainForm</name>
    <message>
        <source>IDS_ALL_MMS</source>
        <translation>All Messages</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_TOOLBAR_MMS</source>
        <translation>Backup Messages</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_HANDLE_MMS</source>
        <translation>Backup Messages with this contact</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_SEL_MMS</source>
        <translation>Backup selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_TOOLBAR_MMS_A2A</source>
        <translation>Transfer Android Messages to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_HANDLE_MMS_A2A</source>
        <translation>Transfer Messages with this contact to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_SEL_MMS_A2A</source>
        <translation>Transfer selected Messages to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_TOOLBAR_MMS_DB2A</source>
        <translation>Transfer Messages from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_HANDLE_MMS_DB2A</source>
        <translation>Transfer Messages with this contact from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_SEL_MMS_DB2A</source>
        <translation>Transfer selected Messages from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_TOOLBAR_MMS_MEDIA_FILES</source>
        <translation>Extract attachment from Messages</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_HANDLE_MMS_MEDIA_FILES</source>
        <translation>Extract attachment from Messages with this contact</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_SEL_MMS_MEDIA_FILES</source>
        <translation>Extract attachment from selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_TOOLBAR_MMS</source>
        <translation>Export Messages to file</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_HANDLE_MMS</source>
        <translation>Export Messages with this contact to file</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_SEL_MMS</source>
        <translation>Export selected Messages to file</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_TOOLBAR_MMS</source>
        <translation>Print Messages</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_HANDLE_MMS</source>
        <translation>Print Messages with this contact</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_SEL_MMS</source>
        <translation>Print selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_DEL_TOOLBAR_MMS</source>
        <translation>Delete Messages</translation>
    </message>
    <message>
        <source>IDS_MI_DEL_HANDLE_MMS</source>
        <translation>Delete Messages with this contact</translation>
    </message>
    <message>
        <source>IDS_MI_DEL_SEL_MMS</source>
        <translation>Delete selected Messages</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUND_AND_SMS</source>
        <translation>Can&apos;t find any Message.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0</source>
        <translation>Find no Message with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0</source>
        <translation>Find no contact with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_SEL_EXPORT_MMS_PATH</source>
        <translation>Please select Save Path for messages.</translation>
    </message>
    <message>
        <source>Text Files(*.txt)</source>
        <translation>Text Files(*.txt)</translation>
    </message>
    <message>
        <source>CSV Files(*.csv)</source>
        <translation>CSV Files(*.csv)</translation>
    </message>
    <message>
        <source>PDF Files(*.pdf)</source>
        <translation>PDF Files(*.pdf)</translation>
    </message>
    <message>
        <source>HTML Files(*.html)</source>
        <translation>HTML Files(*.html)</translation>
    </message>
    <message>
        <source>IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES</source>
        <translation>Please select Save Path for media files.</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXTRACT_MEDIA_FILES</source>
        <translation>Extracting media files now...</translation>
    </message>
    <message>
        <source>IDS_TITLE_BACKUPING_MMS</source>
        <translation>Backing up Messages now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_SMS_TO_ANDROID</source>
        <translation>Transferring Messages to Android...</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_SEL_MMS</source>
        <translation>Confirm to delete selected messages?</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_HANDEL_MMS</source>
        <translation>Confirm to delete Messages with this contact?</translation>
    </message>
    <message>
        <source>IDS_DELETE_ALL_MMS</source>
        <translation>Confirm to delete all Messages?</translation>
    </message>
    <message>
        <source>IDS_DELETE_ALL_MMS_FAIL</source>
        <translation>Failed to delete all Messages.</translation>
    </message>
    <message>
        <source>IDS_DELETE_ALL_MMS_SUC</source>
        <translation>Successfully deleted all Messages.</translation>
    </message>
</context>
</TS>
