<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ContactsPrinter</name>
    <message>
        <source>IDS_PRINT_CONTACTS</source>
        <translation>Print Contacts</translation>
    </message>
</context>
<context>
    <name>ExportToFileThread</name>
    <message>
        <source>IDS_SUC_EXPORT_%1_CONTACTS_TO_FILE</source>
        <translation>%1 contact(s) exported to file.</translation>
    </message>
</context>
</TS>
