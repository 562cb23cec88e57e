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
    <name>ExportMessagesThread</name>
    <message>
        <source>IDS_EXPORTING_MESSAGES_TO_FILE</source>
        <translation>Exporting Messages...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_MMS</source>
        <translation>Successfully extracted %1 Messages.</translation>
    </message>
    <message>
        <source>unknown error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Messages: %1/%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportToFileThread</name>
    <message>
        <source>IDS_SUC_EXPORT_%1_CONTACTS_TO_FILE</source>
        <translation>%1 contact(s) exported to file.</translation>
    </message>
    <message>
        <source>Contacts:%1/%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown error.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ImportContactsToLocalThread</name>
    <message>
        <source>Contacts:%1/%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lines of the file that could not be read and were skipped: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Entries without a name that were skipped: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MMSPrinter</name>
    <message>
        <source>IDS_PRINT_MMS</source>
        <translation>Print Messages</translation>
    </message>
</context>
</TS>
