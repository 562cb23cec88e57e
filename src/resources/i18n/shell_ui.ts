<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ItemModelMain</name>
    <message>
        <source>IDS_ROOT_DEVICE</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>IDS_ROOT_LOCALDB</source>
        <translation>Local Databases</translation>
    </message>
</context>
<context>
    <name>ProgressForm</name>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>DataSourceSelForm</name>
    <message>
        <source>IDS_TITLE_SELECT_ONE_DEVICE_TO_TRANSFER</source>
        <translation>Please select a Device.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_ONE_DATASOURCE</source>
        <translation>Need to select a Device to continue</translation>
    </message>
    <message>
        <source>IDS_SEL_ONE_ANDROID_DEVICE</source>
        <translation>Please select an Android:</translation>
    </message>
    <message>
        <source>IDS_BTN_CONFIRM</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>IDS_BTN_CANCEL</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>AboutUsForm</name>
    <message>
        <source>IDS_ABOUT</source>
        <translation>About</translation>
    </message>
    <message>
        <source>IDS_BTN_OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
