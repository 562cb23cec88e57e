// One line of adb's device list, as the device monitor reports it.
#pragma once

#include <QMetaType>
#include <QString>

struct AdbDevice {
    QString line; // the whole line, trimmed
    QString serial; // first token: the adb serial
    QString state; // second token: adb's state word ("device" when usable)

    // True when adb says the phone is usable.
    bool isOnline() const { return state.compare(QLatin1String("device"), Qt::CaseInsensitive) == 0; }

    friend bool operator==(const AdbDevice&, const AdbDevice&) = default;
};

Q_DECLARE_METATYPE(AdbDevice)
