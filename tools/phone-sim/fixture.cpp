#include "fixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace phonesim {

namespace {

const QStringList& knownDeviceKeys()
{
    static const QStringList keys
        = {QStringLiteral("version"), QStringLiteral("model"), QStringLiteral("manufacturer"), QStringLiteral("imei"),
           QStringLiteral("uid"),     QStringLiteral("sdk"),   QStringLiteral("mmc")};
    return keys;
}

QString valueText(const QJsonValue& v)
{
    if (v.isDouble())
        return QString::number(v.toInteger());
    if (v.isBool())
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

} // namespace

bool Fixture::load(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("can not open %1: %2").arg(path, f.errorString());
        return false;
    }
    return loadJson(f.readAll(), error);
}

bool Fixture::loadJson(const QByteArray& json, QString* error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("fixture is not a JSON object: %1").arg(pe.errorString());
        return false;
    }
    m_root = doc.object();
    return true;
}

Fixture Fixture::fromJson(const QJsonObject& root)
{
    Fixture f;
    f.m_root = root;
    return f;
}

QList<QPair<QString, QString>> Fixture::deviceInfo() const
{
    const QJsonObject dev = m_root.value(QStringLiteral("device")).toObject();
    QList<QPair<QString, QString>> out;
    for (const QString& k : knownDeviceKeys())
        if (dev.contains(k))
            out.append({k, valueText(dev.value(k))});
    for (auto it = dev.begin(); it != dev.end(); ++it)
        if (!knownDeviceKeys().contains(it.key()))
            out.append({it.key(), valueText(it.value())});
    return out;
}

QString Fixture::deviceValue(const QString& key) const
{
    return valueText(m_root.value(QStringLiteral("device")).toObject().value(key));
}

void Fixture::setDeviceValue(const QString& key, const QString& value)
{
    QJsonObject dev = m_root.value(QStringLiteral("device")).toObject();
    dev.insert(key, value);
    m_root.insert(QStringLiteral("device"), dev);
}

QList<SimContact> Fixture::contacts() const
{
    QList<SimContact> out;
    const QJsonArray all = m_root.value(QStringLiteral("contacts")).toArray();
    for (const QJsonValue& cv : all) {
        const QJsonObject c = cv.toObject();
        SimContact contact;
        contact.id = c.value(QStringLiteral("id")).toInteger();
        for (const QJsonValue& rv : c.value(QStringLiteral("rows")).toArray()) {
            const QJsonObject r = rv.toObject();
            SimRow row;
            row.kind = r.value(QStringLiteral("kind")).toInt();
            const qint64 rowId = r.value(QStringLiteral("id")).toInteger();
            row.id = QStringLiteral("%1/%2/%2/%3").arg(row.kind).arg(contact.id).arg(rowId);
            for (auto it = r.begin(); it != r.end(); ++it) {
                if (!it.key().startsWith(QLatin1String("data")))
                    continue;
                if (it.key() == QLatin1String("data15"))
                    row.columns.insert(it.key(), QByteArray::fromBase64(it.value().toString().toLatin1()));
                else if (it.value().isDouble())
                    row.columns.insert(it.key(), it.value().toInt());
                else
                    row.columns.insert(it.key(), it.value().toString());
            }
            contact.rows.append(row);
        }
        out.append(contact);
    }
    return out;
}

} // namespace phonesim
