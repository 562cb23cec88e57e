<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Catalogue</name>
    <message>
        <source>IDS_CATALOGUE_CHECK</source>
        <translation>catalogue loaded</translation>
    </message>
</context>
</TS>
