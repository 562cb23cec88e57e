// One line of text per contact data row, shared by the contact card of the
// contacts page and the HTML contact export. The card passes these around as
// RowFormatter pointers, one per section.
//
// The results are markup (the address label is bold), not plain text, and
// hold the row's values as they are: a consumer that shows them as rich text
// or writes them into HTML escapes the values by formatting an escaped copy
// of the row (see escapedRow).
#pragma once

#include "records/contact.h"

#include <QString>

class ContactRowFormat {
public:
    using RowFormatter = QString (*)(const ContactDataRow& row);

    static QString formatValue(const ContactDataRow& row); // notes: data1 as it is
    static QString formatPhone(const ContactDataRow& row); // "label:number"
    static QString formatEmail(const ContactDataRow& row); // "label:address"
    static QString formatEvent(const ContactDataRow& row); // "label:short date"
    static QString formatIM(const ContactDataRow& row); // "kind:handle(protocol)"
    static QString formatOrganization(const ContactDataRow& row); // "label:title department company"
    static QString formatRelation(const ContactDataRow& row); // "label:name"
    static QString formatAddress(const ContactDataRow& row); // "<b>label</b><br/>lines"
    static QString formatWebsite(const ContactDataRow& row); // "label:address"

    // An ISO 8601 date or date-time (text, QDate or QDateTime value) as a
    // date in the system locale's short format; empty when it is none.
    static QString shortDate(const QVariant& value);
    // The row with every text column HTML-escaped, for markup consumers.
    static ContactDataRow escapedRow(const ContactDataRow& row);
};
