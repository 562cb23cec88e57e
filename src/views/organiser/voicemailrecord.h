// One voicemail as the voicemail page lists it.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

struct VoicemailRecord {
    QDateTime date;
    QString sender;
    int duration = 0; // seconds
    QString name;
    QVariant extra; // carried along, shown nowhere
};
