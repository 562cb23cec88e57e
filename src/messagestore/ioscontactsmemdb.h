// The number-to-name cache of a message store: "ct-phone.db", rebuilt from
// an iOS address book lying in the store folder whenever that is newer.
#pragma once

#include "records/absdb.h"

#include <QByteArray>
#include <QDir>
#include <QString>

struct IOSPerson {
    QString first;
    QString middle;
    QString last;
    QByteArray photo;
};

class IOSContactsMemDb : public AbsDb {
public:
    IOSContactsMemDb(const QDir& storeFolder, const QString& mcc);
    ~IOSContactsMemDb() override;

    // Stays closed when the folder holds no address book. Rebuilds the
    // cache when the address book (or its -wal file) is newer, then opens
    // the cache read-only. The address book is only ever read.
    void open() override;

    // The person with that canonical number; an empty record when none
    // matches or the cache is closed.
    IOSPerson findByNumber(const QString& number);
    static QString fullName(const IOSPerson& p);

    QString cachePath() const;
    QString addressBookPath() const;
    QString addressBookImagesPath() const;

private:
    void rebuild(const QDateTime& sourceTime);

    QDir m_folder;
    QString m_mcc;
};
