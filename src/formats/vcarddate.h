// Dates of contact events as vCard files write them (BDAY, ANNIVERSARY,
// X-EVENT) and as the contact's event row keeps them.
#pragma once

#include <QString>
#include <QVariant>

class VCardDate {
public:
    // The value an event row keeps for a date text of a file:
    // - a date in the extended or basic form ("1980-01-02", "19800102"),
    //   optionally with a time ("T10:30", "T103000", fractions) and a zone
    //   ("Z", "+01:00", "-0500"): a QDateTime (midnight without a time);
    // - a date without a year ("--01-02", "--0102"): the text "--MM-dd";
    // - anything else: the trimmed text, so that nothing is lost.
    // An empty text gives an invalid QVariant.
    static QVariant fromText(const QString& text);

    // The text written for an event row's date: a date alone when the time
    // is midnight, else the ISO date-time with its zone; texts that are no
    // date are written as they stand.
    static QString toText(const QVariant& value);

    // Whether toText writes the value as a date: a date, a date-time or a
    // day without a year, not a text kept as it was read.
    static bool isDate(const QVariant& value);

    // "--MM-dd" for a month and day without a year; empty when they are no
    // day of any year.
    static QString yearless(int month, int day);
};
