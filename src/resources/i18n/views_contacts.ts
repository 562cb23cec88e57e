<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ContactsMainForm</name>
    <message>
        <source>IDS_MI_TOOLBAR_BACKUP_CONTACTS</source>
        <translation>Backup Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_CONTACTS</source>
        <translation>Backup selected Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_A2A</source>
        <translation>Transfer Android Contacts to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_A2A</source>
        <translation>Transfer selected Contacts to other Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_TRANSFER_DB2A</source>
        <translation>Transfer Contacts from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TRANSFER_DB2A</source>
        <translation>Transfer selected Contacts from Database to Android</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_EXPORT_CONTACTS</source>
        <translation>Extract Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CONTACTS</source>
        <translation>Extract selected Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_PRINT_CONTACTS</source>
        <translation>Print Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT</source>
        <translation>Print selected Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_NEW_CONTACT</source>
        <translation>Add Contact</translation>
    </message>
    <message>
        <source>IDS_MI_IMPORT</source>
        <translation>Import Contacts from file</translation>
    </message>
    <message>
        <source>IDS_MI_EDIT</source>
        <translation>Edit Contact</translation>
    </message>
    <message>
        <source>IDS_MI_TOOLBAR_DELETE_CONTACTS</source>
        <translation>Delete Contacts</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE</source>
        <translation>Delete selected Contacts</translation>
    </message>
    <message>
        <source>IDS_LOADING_ANDROID_CONTACTS</source>
        <translation>Loading Contacts from Android...</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0</source>
        <translation>Find no contact with keyword %1.</translation>
    </message>
    <message>
        <source>VCard Files(*.vcf)</source>
        <translation>VCard Files(*.vcf)</translation>
    </message>
    <message>
        <source>CSV Files(*.csv)</source>
        <translation>CSV Files(*.csv)</translation>
    </message>
    <message>
        <source>Text Files(*.txt)</source>
        <translation>Text Files(*.txt)</translation>
    </message>
    <message>
        <source>HTML files(*.html)</source>
        <translation>HTML files(*.html)</translation>
    </message>
    <message>
        <source>Word files(*.doc)</source>
        <translation>Word files(*.doc)</translation>
    </message>
    <message>
        <source>PDF files(*.pdf)</source>
        <translation>PDF files(*.pdf)</translation>
    </message>
    <message>
        <source>IDS_STARTING_EXPORT_CONTACTS_TO_FILE</source>
        <translation>Extracting Contacts now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_TITLE_BACKUPING_CONTACTS</source>
        <translation>Backing up Contacts now. Please wait...</translation>
    </message>
    <message>
        <source>IDS_LOADING_CONTACTS_FROM_FILE</source>
        <translation>Importing Contacts from file...</translation>
    </message>
    <message>
        <source>IDS_FOUND_NO_CONTACTS_IN_THE_FILE</source>
        <translation>Found No Contact in file.</translation>
    </message>
</context>
</TS>
