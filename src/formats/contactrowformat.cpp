#include "formats/contactrowformat.h"

#include <QDateTime>
#include <QLocale>

namespace {

QString text(const ContactDataRow& row, const char* key)
{
    return pim::valueText(row.values, QLatin1String(key));
}

// A code column: missing or not numeric reads as 0.
int code(const ContactDataRow& row, const char* key)
{
    bool ok = false;
    const int n = text(row, key).trimmed().toInt(&ok);
    return ok ? n : 0;
}

// The custom label "data3" when set, else the table's word for "data2".
QString label(const ContactDataRow& row, const QMap<int, QString>& table)
{
    const QString custom = text(row, "data3");
    if (!custom.isEmpty())
        return custom;
    return table.value(code(row, "data2"));
}

QString labelled(const QString& label, const QString& value)
{
    return QStringLiteral("%1:%2").arg(label, value);
}

} // namespace

QString ContactRowFormat::formatValue(const ContactDataRow& row)
{
    return text(row, "data1");
}

QString ContactRowFormat::formatPhone(const ContactDataRow& row)
{
    return labelled(label(row, pim::phoneTypeLabels()), text(row, "data1"));
}

QString ContactRowFormat::formatEmail(const ContactDataRow& row)
{
    return labelled(label(row, pim::emailTypeLabels()), text(row, "data1"));
}

QString ContactRowFormat::formatEvent(const ContactDataRow& row)
{
    return labelled(label(row, pim::eventTypeLabels()), shortDate(row.values.value(QStringLiteral("data1"))));
}

QString ContactRowFormat::formatIM(const ContactDataRow& row)
{
    QString protocol = text(row, "data6");
    if (protocol.isEmpty())
        protocol = pim::imProtocolLabels().value(code(row, "data5"));
    return QStringLiteral("%1:%2(%3)").arg(label(row, pim::imTypeLabels()), text(row, "data1"), protocol);
}

QString ContactRowFormat::formatOrganization(const ContactDataRow& row)
{
    QString org = text(row, "data4");
    const QString department = text(row, "data5");
    const QString company = text(row, "data1");
    if (!department.isEmpty())
        org += QLatin1Char(' ') + department;
    if (!company.isEmpty())
        org += QLatin1Char(' ') + company;
    return labelled(label(row, pim::organizationTypeLabels()), org.trimmed());
}

QString ContactRowFormat::formatRelation(const ContactDataRow& row)
{
    return labelled(label(row, pim::relationTypeLabels()), text(row, "data1"));
}

QString ContactRowFormat::formatAddress(const ContactDataRow& row)
{
    QString address = pim::formatAddress(row.values);
    address.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return QStringLiteral("<b>%1</b><br/>%2").arg(label(row, pim::postalTypeLabels()), address);
}

QString ContactRowFormat::formatWebsite(const ContactDataRow& row)
{
    return labelled(label(row, pim::websiteTypeLabels()), text(row, "data1"));
}

QString ContactRowFormat::shortDate(const QVariant& value)
{
    QDate date;
    if (value.typeId() == QMetaType::QDateTime) {
        date = value.toDateTime().date();
    } else if (value.typeId() == QMetaType::QDate) {
        date = value.toDate();
    } else {
        const QString s = value.toString().trimmed();
        const QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
        date = dt.isValid() ? dt.date() : QDate::fromString(s, Qt::ISODate);
    }
    if (!date.isValid())
        return QString();
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

ContactDataRow ContactRowFormat::escapedRow(const ContactDataRow& row)
{
    ContactDataRow out = row;
    for (auto it = out.values.begin(); it != out.values.end(); ++it) {
        if (it.key() == QLatin1String("data15"))
            continue;
        const int type = it.value().typeId();
        if (type == QMetaType::QString || type == QMetaType::QByteArray)
            it.value() = pim::valueText(row.values, it.key()).toHtmlEscaped();
    }
    return out;
}
