#include "countrylibdb.h"

#include "shell/core/dataroot.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <stdexcept>

namespace {

const QString kResourcePath = QStringLiteral(":res/countries.db");

// Addresses with letters or "@" are names or e-mail addresses, not numbers.
// Letters of every script count: a sender named only in, say, Cyrillic or
// Chinese would otherwise be stripped to an empty "number" and merged with
// every other such sender.
bool hasLetterOrAt(const QString& address)
{
    const QList<uint> codePoints = address.toUcs4();
    for (const uint cp : codePoints) {
        const char32_t c = cp;
        if (c == U'@' || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || QChar::isLetter(c))
            return true;
    }
    return false;
}

// Keeps "+" and the digits of the address. Decimal digits of other scripts
// (Arabic-Indic, full-width, ...) are read as the ASCII digits they stand
// for, so the same number typed on phones set to different scripts gives the
// same handle instead of an empty one.
QString digitsAndPlus(const QString& address)
{
    QString out;
    out.reserve(address.size());
    const QList<uint> codePoints = address.toUcs4();
    for (const uint cp : codePoints) {
        const char32_t c = cp;
        if (c == U'+') {
            out += QLatin1Char('+');
        } else if (c >= U'0' && c <= U'9') {
            out += QLatin1Char(char(c));
        } else if (QChar::category(c) == QChar::Number_DecimalDigit) {
            const int v = QChar::digitValue(c);
            if (v >= 0 && v <= 9)
                out += QLatin1Char(char('0' + v));
        }
    }
    return out;
}

} // namespace

// ------------------------------------------------------------------ _Country

bool _Country::isNationalLength(qint32 length) const
{
    const QStringList parts = numc.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (const QString& part : parts) {
        bool ok = false;
        int value = part.toInt(&ok, 10);
        if (!ok)
            value = 0;
        if (value == length)
            return true;
    }
    return false;
}

bool _Country::isMobileNumber(const QString& number) const
{
    if (mobilePattern.isEmpty())
        return false;
    if (m_compiledPattern != mobilePattern) {
        m_mobileRx = QRegularExpression(mobilePattern);
        m_compiledPattern = mobilePattern;
    }
    if (!m_mobileRx.isValid())
        return false;
    return m_mobileRx.match(number).hasMatch();
}

QString _Country::normalizeNumber(const QString& address) const
{
    // 1. E-mail addresses and other addresses with letters.
    if (hasLetterOrAt(address))
        return address.toLower();

    // 2. The number: digits and "+" only.
    const QString number = digitsAndPlus(address);
    const qint32 length = qint32(number.size());

    // 3. Already international (or unplaceable: "12+34" stays as it is).
    if (number.contains(QLatin1Char('+')))
        return number;

    // 4. A national mobile number.
    if (isNationalLength(length) && isMobileNumber(number))
        return QLatin1Char('+') + pnum + number;

    // 5. A national mobile number behind the trunk prefix "0".
    if (number.startsWith(QLatin1Char('0'))) {
        const QString national = number.mid(1);
        if (isNationalLength(length - 1) && isMobileNumber(national))
            return QLatin1Char('+') + pnum + national;
    }

    // 6. The calling code written without "+"; no mobile test here.
    if (number.startsWith(pnum) && isNationalLength(length - qint32(pnum.size())))
        return QLatin1Char('+') + number;

    // 7. Short codes, "00" prefixes, fixed lines: bare digits.
    return number;
}

void readCountryRow(_Country& country, Sqlite3Cursor& cursor)
{
    country.sn = cursor.getText(QStringLiteral("sn"));
    country.n = cursor.getText(QStringLiteral("n"));
    country.ln = cursor.getText(QStringLiteral("ln"));
    country.pnum = cursor.getText(QStringLiteral("pnum"));
    country.mmc = cursor.getText(QStringLiteral("mmc"));
    country.numc = cursor.getText(QStringLiteral("numc"));
    country.mobilePattern = QLatin1Char('^') + cursor.getText(QStringLiteral("r1")) + QLatin1Char('$');
}

// -------------------------------------------------------------- CountryLibDb

CountryLibDb::CountryLibDb(const QString& mcc)
    : m_mcc(mcc)
{
}

CountryLibDb::~CountryLibDb() = default;

void CountryLibDb::open()
{
    if (isOpen())
        return;

    const QString target = getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb));
    if (!QFile::exists(target)) {
        if (!QFile::exists(kResourcePath))
            throw std::runtime_error("can not find :res/countries.db.");
        QFile resource(kResourcePath);
        // QFile::copy writes a temporary file and renames it, so a reader
        // never sees half a table. Two first uses may race; the loser finds
        // the winner's copy in place and goes on with it.
        if (!resource.copy(target) && !QFile::exists(target)) {
            throw std::runtime_error(QStringLiteral("can not create %1. %2")
                                         .arg(QDir::toNativeSeparators(target), resource.errorString())
                                         .toUtf8()
                                         .toStdString());
        }
        // Files copied out of the resources are read-only; the copy is ours.
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    }

    openThrow(target, Sqlite3DB::ReadWrite);
    try {
        m_curCountry = getCountryByMcc(m_mcc);
    } catch (...) {
        // Leave nothing half open: the next call tries again and reports again.
        close();
        m_curCountry = _Country();
        throw;
    }
}

_Country CountryLibDb::countryOf(const Sqlite3Sql& sql, bool* found)
{
    Sqlite3Cursor cursor = queryThrow(sql);
    const bool hit = cursor.moveNext();
    if (found)
        *found = hit;
    if (!hit)
        return m_curCountry;
    _Country country;
    readCountryRow(country, cursor);
    return country;
}

_Country CountryLibDb::getCountryByMcc(const QString& mcc, bool* found)
{
    open();
    Sqlite3Sql sql(
        QStringLiteral("select c.* from mmc_sn as m inner join countries as c on m.[sn] = c.sn and m.mmc=?"));
    sql.addTextParam(mcc);
    return countryOf(sql, found);
}

_Country CountryLibDb::getCountryByCode(const QString& code, bool* found)
{
    open();
    Sqlite3Sql sql(QStringLiteral("select * from countries where sn=?"));
    sql.addTextParam(code.toUpper());
    return countryOf(sql, found);
}

const _Country& CountryLibDb::getCurCountry()
{
    open();
    return m_curCountry;
}
