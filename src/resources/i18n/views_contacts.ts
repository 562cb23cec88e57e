<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AddrEntitiesEditor</name>
    <message>
        <source>Country</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>City</source>
        <translation>City</translation>
    </message>
    <message>
        <source>Postcode</source>
        <translation>Postcode</translation>
    </message>
</context>
<context>
    <name>ContactEditor</name>
    <message>
        <source>&lt;a href=&quot;#&quot;&gt;Delete Photo&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#&quot;&gt;Delete Photo&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Prefix</source>
        <translation>Prefix</translation>
    </message>
    <message>
        <source>First Name</source>
        <translation>First Name</translation>
    </message>
    <message>
        <source>Middle Name</source>
        <translation>Middle Name</translation>
    </message>
    <message>
        <source>Last Name</source>
        <translation>Last Name</translation>
    </message>
    <message>
        <source>Suffix</source>
        <translation>Suffix</translation>
    </message>
    <message>
        <source>Nickname</source>
        <translation>Nickname</translation>
    </message>
    <message>
        <source>Job Title</source>
        <translation>Job Title</translation>
    </message>
    <message>
        <source>Department</source>
        <translation>Department</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Company</translation>
    </message>
    <message>
        <source>Notes:</source>
        <translation>Notes:</translation>
    </message>
    <message>
        <source>Phone:</source>
        <translation>Phone:</translation>
    </message>
    <message>
        <source>Phone Number</source>
        <translation>Phone Number</translation>
    </message>
    <message>
        <source>E-Mail:</source>
        <translation>E-Mail:</translation>
    </message>
    <message>
        <source>E-Mail Address</source>
        <translation>E-Mail Address</translation>
    </message>
    <message>
        <source>Date (year-month-day):</source>
        <translation>Date (year-month-day):</translation>
    </message>
    <message>
        <source>IM:</source>
        <translation>IM:</translation>
    </message>
    <message>
        <source>Relationshp:</source>
        <translation>Relationshp:</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>Url:</source>
        <translation>Url:</translation>
    </message>
    <message>
        <source>Url</source>
        <translation>Url</translation>
    </message>
    <message>
        <source>IDS_READING_PHOTO</source>
        <translation>Reading the photo</translation>
    </message>
</context>
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
    <message>
        <source>IDS_CONFIRM_DEL_SEL_CONTACTS</source>
        <translation>Confirm to delete selected contacts?</translation>
    </message>
    <message>
        <source>IDS_REMOVE_CONTACTS_SUC</source>
        <translation>Successfully deleted contacts.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_ALL_CONTACTS</source>
        <translation>Confirm to delete all contacts?</translation>
    </message>
    <message>
        <source>IDS_DEL_ALL_CONTACTS_SUC</source>
        <translation>Successfully deleted all contacts.</translation>
    </message>
    <message>
        <source>IDS_TRANSFERING_CONTACTS_TO_ANDROID</source>
        <translation>Transferring Contacts to Android now...</translation>
    </message>
    <message>
        <source>IDS_SENGING_CHANGES_TO_ANDROID_DEVICE</source>
        <translation>Updating Android...</translation>
    </message>
    <message>
        <source>IDS_DELETING_CONTACTS_FROM_ANDROID</source>
        <translation>Deleting Contacts from Android...</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SEL_CONTACTS_TO_DELETE_FROM_DEVICE</source>
        <translation>Please select Contacts to delete.</translation>
    </message>
</context>
<context>
    <name>EditContactForm</name>
    <message>
        <source>Add Contact</source>
        <translation>Add Contact</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>IDS_NEW_CONTACT</source>
        <translation>Add New Contact</translation>
    </message>
    <message>
        <source>IDS_EDIT_CONTACT_%1</source>
        <translation>Edit Contact %1</translation>
    </message>
    <message>
        <source>IDS_ENTER_FIRSTNAME_OR_LASTNAME</source>
        <translation>First name or Last name can&apos;t be blank.</translation>
    </message>
    <message>
        <source>IDS_CONTACT_NAME_%1_EXIST</source>
        <translation>Contact %1 has already existed.</translation>
    </message>
    <message>
        <source>IDS_CANCEL_EDIT_CONTACT_WILL_LOST_CHANGES_CONTINUE</source>
        <translation>Discard the editing?</translation>
    </message>
</context>
</TS>
