// The country table and the rules that turn phone addresses into handle ids.
#pragma once

#include "records/absdb.h"

#include <QRegularExpression>
#include <QString>

// One row of the "countries" table. The normalisation helpers use only the
// row's own texts and need no database.
class _Country {
public:
    QString sn; // ISO 3166-1 alpha-2 code, upper case ("CN")
    QString n; // English name
    QString ln; // name in the country's own language
    QString pnum; // calling code, digits only ("86")
    QString mmc; // MCCs joined by commas ("404,405")
    QString numc; // allowed national lengths joined by commas ("10,11")
    QString mobilePattern; // "^" + r1 + "$"; empty for the empty country

    // True when any entry of numc equals length. Entries that are not numbers
    // count as 0, so an empty numc stands for the single length 0.
    bool isNationalLength(qint32 length) const;
    // True when mobilePattern is found in number (searching from the start;
    // the anchors apply to the first and last top-level alternatives only).
    // False for an empty pattern.
    bool isMobileNumber(const QString& number) const;
    // The handle id of an address: lower case for addresses with letters or
    // "@"; otherwise the digits (and "+") placed in this country where the
    // national rules allow, else left as bare digits.
    QString normalizeNumber(const QString& address) const;

private:
    // The compiled mobilePattern, rebuilt when the text changes. A record is
    // used by one thread at a time (copies are independent).
    mutable QString m_compiledPattern;
    mutable QRegularExpression m_mobileRx;
};

class Sqlite3Cursor;

// Fills the row from the named columns sn, n, ln, pnum, mmc, numc and r1 of a
// cursor positioned on a "countries" row.
void readCountryRow(_Country& country, Sqlite3Cursor& cursor);

// The read-only country table. The bundled ":res/countries.db" is copied to
// the data root on first use (an existing copy is kept) and opened there; the
// current country is the one that the MCC given at construction names.
// Every operation opens the database first; failures to find or copy the
// table throw std::runtime_error, SQLite failures Sqlite3Exception.
class CountryLibDb : public AbsDb {
public:
    // An empty MCC suits callers that only need the table.
    explicit CountryLibDb(const QString& mcc);
    ~CountryLibDb() override;

    void open() override;

    // The country that the MCC maps to. When the table does not know it,
    // *found (when given) becomes false and the current country is returned.
    _Country getCountryByMcc(const QString& mcc, bool* found = nullptr);
    // The same by ISO code, case-insensitive ("cn" gives CN).
    _Country getCountryByCode(const QString& code, bool* found = nullptr);
    // Opens when needed; the empty country when the MCC is unknown.
    const _Country& getCurCountry();

    const QString& mcc() const { return m_mcc; }

private:
    // The first country the query finds, else the current country.
    _Country countryOf(const Sqlite3Sql& sql, bool* found);

protected:
    QString m_mcc;
    _Country m_curCountry;
};
