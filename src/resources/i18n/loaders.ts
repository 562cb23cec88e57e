<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AndroidDownloadFilesThread</name>
    <message>
        <source>IDS_SUC_DOWNLOAD_%1_FILES</source>
        <translation>Successfully extracted %1 files.</translation>
    </message>
    <message>
        <source>IDS_DOWNLOADING_FILES</source>
        <translation>Extracting files from Android...</translation>
    </message>
    <message>
        <source>IDS_DOWNLOADING_FILE_%1</source>
        <translation>Extracting:%1</translation>
    </message>
</context>
<context>
    <name>AndroidLoadMessagesThread</name>
    <message>
        <source>IDS_ANDROID_LOADING_SMS</source>
        <translation>Loading Messages from Android...</translation>
    </message>
</context>
</TS>
