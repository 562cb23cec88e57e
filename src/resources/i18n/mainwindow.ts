<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CountrySelForm</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>IDS_SEL_YOUR_PHONE_COUNTRY</source>
        <translation>Select your country code:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>IDS_CANT_CONTINUE_WITHOUT_SEL_ONE_COUNTRY</source>
        <translation>Please select a cuntry code first to continue.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_SEL_COUNTRY_%1</source>
        <translation>Confirm to select %1?</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>IDS_MI_OPEN_LOCAL_DB_FOLDER</source>
        <translation>Open Database Folder</translation>
    </message>
    <message>
        <source>IDS_MI_EXIT</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>IDS_MI_CHECK_FOR_UPDATE</source>
        <translation>Check for Update</translation>
    </message>
    <message>
        <source>IDS_MI_CLEAR_CACHE_FILES</source>
        <translation>Clear Cache files</translation>
    </message>
    <message>
        <source>IDS_MI_CONNECT_ANDROID_WITH_WIFI</source>
        <translation>Connect Android Phone via WiFi</translation>
    </message>
    <message>
        <source>IDS_MI_HELP</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>IDS_MI_FEEDBACK</source>
        <translation>Feedback and Support</translation>
    </message>
    <message>
        <source>IDS_MI_ABOUT_US</source>
        <translation>About</translation>
    </message>
    <message>
        <source>IDS_MI_HOME</source>
        <translation>Visit our website</translation>
    </message>
    <message>
        <source>IDS_OPEN_LOCAL_DB_FOLDER</source>
        <translation>Open Database Folder</translation>
    </message>
    <message>
        <source>IDS_UNMOUNT_DEVICE</source>
        <translation>Disconnect Device</translation>
    </message>
    <message>
        <source>IDS_MI_REMVOE_LOCALDB</source>
        <translation>Delete local Database</translation>
    </message>
    <message>
        <source>IDS_CLEAR_CACHES_SUC</source>
        <translation>Successfully cleared cache files.</translation>
    </message>
    <message>
        <source>IDS_CLEAR_CACHES_FAILED</source>
        <translation>Failed to clear cache files. Some of them may be in use.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_REMOVE_LOCAL_DB</source>
        <translation>Confirm to delete local Database?</translation>
    </message>
    <message>
        <source>IDS_CANT_DEL_LOCAL_DB</source>
        <translation>Failed to delete local Database.</translation>
    </message>
    <message>
        <source>IDS_REMOVE_LOCALDB_SUC</source>
        <translation>Successfully deleted local Database.</translation>
    </message>
    <message>
        <source>IDS_CONNECTING_ANDROID_DEVICE</source>
        <translation>Connecting Android...</translation>
    </message>
    <message>
        <source>IDS_ANDROID_%1_CANT_READ_MMC_NUMBER</source>
        <translation>Failed to load country code from your phone. Please click &quot;OK&quot; button to select a country code manually.</translation>
    </message>
    <message>
        <source>IDS_STATUS_OTHER_EDITION</source>
        <translation>Handset Ferry for iPhone is available too</translation>
    </message>
    <message>
        <source>A new version of %1 is available. To support your phone, please download the latest version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This version of Quillharbor software has become obsolete. Please download the latest version to install on your computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UnavailableForm</name>
    <message>
        <source>IDS_VIEW_NOT_AVAILABLE_%1</source>
        <translation>%1

This view is not available yet.</translation>
    </message>
</context>
</TS>
