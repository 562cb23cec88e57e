// One entry of a phone's call log.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Values of CallRecord::flags; the database reads any other value as 0.
enum CallFlag {
    CALL_FLAG_NONE = 0,
    CALL_FLAG_INCOMING = 4,
    CALL_FLAG_OUTGOING = 5,
    CALL_FLAG_MISSED = 8, // missed or rejected
};

struct CallRecord {
    // Duplicate key: MD5 (lower-case hex) of the date's 32-bit seconds, the
    // address and the flags.
    QByteArray hash() const;

    qint64 id = 0; // _id when read from a database; not written
    QString address; // the other party's number
    QDateTime date;
    int duration = 0; // seconds
    int flags = 0; // CallFlag
    QString name; // contact name stored with the call
    QString countryCode;
    QString networkCode;
    int read = 1;
    int assisted = 0;
    QByteArray faceTimeData;
    QString originalAddress;
    int answered = 1;
    int callType = 1;
    int availability = 0;
    QString deviceId;
    QString cn;
    QString uniqueId;
    QString person;
};
