// The phone a simulator plays, read from a JSON fixture (format in README.md).
#pragma once

#include "simcodec.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

namespace phonesim {

struct SimContact {
    qint64 id = 0;
    QList<SimRow> rows;
};

class Fixture {
public:
    // Loads a fixture file; false with *error set when it cannot be read.
    bool load(const QString& path, QString* error);
    bool loadJson(const QByteArray& json, QString* error);
    static Fixture fromJson(const QJsonObject& root);

    // The "device" object as key=value pairs, known keys first in their wire
    // order, then any further keys as they stand.
    QList<QPair<QString, QString>> deviceInfo() const;
    QString deviceValue(const QString& key) const;
    void setDeviceValue(const QString& key, const QString& value);

    QList<SimContact> contacts() const;

    // Any top-level section ("calls", "messages", "files", ...) for services
    // that read it themselves.
    QJsonValue section(const QString& name) const { return m_root.value(name); }
    const QJsonObject& root() const { return m_root; }

private:
    QJsonObject m_root;
};

} // namespace phonesim
