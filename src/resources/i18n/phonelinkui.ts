<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AndroidDeviceInfoForm</name>
    <message>
        <source>&lt;b style=&quot;font-style:italic;&quot;&gt;Device:&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b style=&quot;font-style:italic;&quot;&gt;Android Version:&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b style=&quot;font-style:italic;&quot;&gt;Device ID:&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b style=&quot;font-style:italic;&quot;&gt;Connecting Method:&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b style=&quot;font-style:italic;&quot;&gt;IMEI:&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b style=&quot;font-style:italic;&quot;&gt;Cache Path:&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AndroidWIFIForm</name>
    <message>
        <source>IDS_WIFI_SOCK_WRONG_FOR_EXAMPLE</source>
        <translation>Input Error. Please input the correct WiFi connection info.</translation>
    </message>
    <message>
        <source>IDS_CONNECTING_ANDROID_DEVICE</source>
        <translation>Connecting to Android...</translation>
    </message>
    <message>
        <source>Connect Android via WiFi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run Quillharbor Phone Agent on Android phone and click Connection button to get the Wifi connection info. Now input the info to the following Text Box.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished">Cancel</translation>
    </message>
    <message>
        <source>If you haven&apos;t installed Quillharbor Phone Agent on Android phone, please go to the Market (Google Play) on your Android to search Quillharbor Phone Agent to download and install.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
