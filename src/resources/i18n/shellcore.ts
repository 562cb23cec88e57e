<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>Quillharbor Handset Ferry</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>everycore</name>
    <message>
        <source>Not enough memory to finish the work.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
