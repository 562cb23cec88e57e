#include "ioscontactsmemdb.h"

#include "messagestore/countrylibdb.h"
#include "platform/transaction.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

const char kAddressBook[] = "file-relay/var/mobile/Library/AddressBook/AddressBook.sqlitedb";
const char kAddressBookImages[] = "file-relay/var/mobile/Library/AddressBook/AddressBookImages.sqlitedb";

// Modification time, or the epoch when the file cannot be examined.
QDateTime fileTime(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QDateTime::fromMSecsSinceEpoch(0);
    return info.lastModified();
}

} // namespace

IOSContactsMemDb::IOSContactsMemDb(const QDir& storeFolder, const QString& mcc)
    : m_folder(storeFolder)
    , m_mcc(mcc)
{
}

IOSContactsMemDb::~IOSContactsMemDb()
{
    close();
}

QString IOSContactsMemDb::cachePath() const
{
    return m_folder.absoluteFilePath(QStringLiteral("ct-phone.db"));
}

QString IOSContactsMemDb::addressBookPath() const
{
    return m_folder.absoluteFilePath(QLatin1String(kAddressBook));
}

QString IOSContactsMemDb::addressBookImagesPath() const
{
    return m_folder.absoluteFilePath(QLatin1String(kAddressBookImages));
}

void IOSContactsMemDb::open()
{
    if (isOpen())
        return;
    const QString book = addressBookPath();
    if (!QFile::exists(book))
        return;
    const QString wal = book + QStringLiteral("-wal");
    const QDateTime sourceTime = QFile::exists(wal) ? fileTime(wal) : fileTime(book);
    const QDateTime cacheTime = fileTime(cachePath());
    if (cacheTime < sourceTime)
        rebuild(sourceTime);
    openThrow(cachePath(), Sqlite3DB::ReadOnly);
}

void IOSContactsMemDb::rebuild(const QDateTime& sourceTime)
{
    qDebug() << "rebuild IOSContactsMemDb.";
    const QString cache = cachePath();
    close();
    QFile::remove(cache);
    openThrow(cache, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    try {
        executeScriptThrow(
            "CREATE TABLE person(  rowid INTEGER PRIMARY KEY,  first TEXT,  last TEXT,  middle TEXT,  photo "
            "BLOB);CREATE TABLE tel(  person_id INTEGER,  number TEXT,  UNIQUE(person_id, number));CREATE INDEX "
            "index_tel_number on tel(number);");
    } catch (const std::exception& e) {
        close();
        throw std::runtime_error(QStringLiteral("create IOSContactsMemDb error. %1")
                                     .arg(QString::fromUtf8(e.what()))
                                     .toUtf8()
                                     .toStdString());
    }

    try {
        CountryLibDb countries(m_mcc);
        const _Country country = countries.getCurCountry();

        // The address book belongs to the backup: read it, never write it.
        Sqlite3DB book;
        book.openThrow(addressBookPath(), Sqlite3DB::ReadOnly);
        Transaction<Sqlite3DB> tran(*this);
        {
            Sqlite3Cursor c = book.queryThrow(QStringLiteral("select rowid, first, last, middle from ABPerson"));
            while (c.moveNext()) {
                Sqlite3Sql sql(QStringLiteral("insert into person(rowid, first, last, middle) values(?,?,?,?)"));
                sql.addInt64Param(c.getInt64(0));
                sql.addTextParam(c.getText(1));
                sql.addTextParam(c.getText(2));
                sql.addTextParam(c.getText(3));
                executeThrow(sql);
            }
        }
        {
            Sqlite3Cursor c
                = book.queryThrow(QStringLiteral("select record_id, value from ABMultiValue where property=3"));
            while (c.moveNext()) {
                Sqlite3Sql sql(QStringLiteral("replace into tel(person_id, number) values(?,?)"));
                sql.addInt64Param(c.getInt64(0));
                sql.addTextParam(country.normalizeNumber(c.getText(1)));
                executeThrow(sql);
            }
        }
        book.close();

        const QString images = addressBookImagesPath();
        if (QFile::exists(images)) {
            Sqlite3DB img;
            img.openThrow(images, Sqlite3DB::ReadOnly);
            Sqlite3Cursor c = img.queryThrow(QStringLiteral("select record_id, data from ABThumbnailImage"));
            while (c.moveNext()) {
                Sqlite3Sql sql(QStringLiteral("update person set photo=? where rowid=?"));
                sql.addBlobParam(c.getBlob(1));
                sql.addInt64Param(c.getInt64(0));
                executeThrow(sql);
            }
        }
        tran.commit();
    } catch (...) {
        // The cache stays older than its source, so the next open tries again.
        close();
        QFile::remove(cache);
        throw;
    }
    close();

    QFile f(cache);
    if (f.open(QIODevice::ReadWrite)) {
        f.setFileTime(sourceTime, QFileDevice::FileAccessTime);
        f.setFileTime(sourceTime, QFileDevice::FileModificationTime);
    }
}

IOSPerson IOSContactsMemDb::findByNumber(const QString& number)
{
    open();
    IOSPerson p;
    if (!isOpen())
        return p;
    Sqlite3Sql sql(
        QStringLiteral("select p.* from person as p inner join tel as t on p.rowid=t.person_id and t.number=?"));
    sql.addTextParam(number);
    Sqlite3Cursor c = queryThrow(sql);
    if (c.moveNext()) {
        p.first = c.getText(QStringLiteral("first"));
        p.middle = c.getText(QStringLiteral("middle"));
        p.last = c.getText(QStringLiteral("last"));
        p.photo = c.getBlob(QStringLiteral("photo"));
    }
    return p;
}

QString IOSContactsMemDb::fullName(const IOSPerson& p)
{
    QString name = p.first.trimmed();
    for (const QString& part : {p.middle, p.last}) {
        const QString t = part.trimmed();
        if (!t.isEmpty())
            name += QLatin1Char(' ') + t;
    }
    return name.trimmed();
}
