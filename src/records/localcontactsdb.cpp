#include "localcontactsdb.h"

#include "platform/transaction.h"

#include <QDebug>

#include <algorithm>

#include <sqlite3.h>

namespace {

const QString kData15 = QStringLiteral("data15");

// The address parts of a postal row: street to country.
QStringList postalParts()
{
    QStringList keys;
    for (int n = 4; n <= 10; ++n)
        keys << QStringLiteral("data%1").arg(n);
    return keys;
}

// True when two postal rows are one address in the form a phone holds it:
// the same street lines (street, extended address, post-office box) and the
// same city, region, postcode and country.
bool samePostalAddress(const QVariantMap& a, const QVariantMap& b)
{
    if (pim::streetLines(a) != pim::streetLines(b))
        return false;
    for (int n : {7, 8, 9, 10}) {
        const QString key = QStringLiteral("data%1").arg(n);
        if (pim::valueText(a, key) != pim::valueText(b, key))
            return false;
    }
    return true;
}

} // namespace

LocalContactsDb::LocalContactsDb(const QString& path, QSharedPointer<AbsContactCombineRule> rule)
    : AbsLocalDb(path)
    , rule(std::move(rule))
{
}

LocalContactsDb::~LocalContactsDb() = default;

void LocalContactsDb::open()
{
    openOrCreate(QStringLiteral(":res/local_contacts_db.sql"));
    // Names are matched exactly, ignoring ASCII case; these indexes serve
    // that look-up. Files made before they existed get them here.
    try {
        db.executeThrow(QStringLiteral(
            "CREATE INDEX IF NOT EXISTS index_contacts_full_name_nocase ON contact (full_name COLLATE NOCASE)"));
        db.executeThrow(QStringLiteral(
            "CREATE INDEX IF NOT EXISTS index_contact_group_name_nocase ON contact_group (name COLLATE NOCASE)"));
    } catch (const Sqlite3Exception& e) {
        // A read-only file still reads; its look-ups just scan.
        if (e.code() != SQLITE_READONLY)
            throw;
        qWarning() << "contacts: cannot add the name indexes to read-only" << path;
    }
}

QStringList LocalContactsDb::columnsOf(int type)
{
    QList<int> numbers;
    switch (type) {
    case pim::ENTITY_NAME:
        numbers = {1, 2, 3, 4, 5, 6, 7, 8};
        break;
    case pim::ENTITY_PHOTO:
        numbers = {4, 15};
        break;
    case pim::ENTITY_PHONE:
    case pim::ENTITY_EMAIL:
    case pim::ENTITY_NICKNAME:
    case pim::ENTITY_EVENT:
    case pim::ENTITY_RELATION:
    case pim::ENTITY_WEBSITE:
        numbers = {1, 2, 3};
        break;
    case pim::ENTITY_GROUP:
        numbers = {1, 2};
        break;
    case pim::ENTITY_IM:
        numbers = {1, 2, 3, 5, 6};
        break;
    case pim::ENTITY_NOTE:
        numbers = {1};
        break;
    case pim::ENTITY_ORGANIZATION:
        numbers = {1, 2, 3, 4, 5, 6, 7, 9};
        break;
    case pim::ENTITY_POSTAL:
        numbers = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        break;
    default:
        break;
    }
    QStringList names;
    for (int n : numbers)
        names << QStringLiteral("data%1").arg(n);
    return names;
}

void LocalContactsDb::bindColumns(Sqlite3Sql& sql, int type, const ContactDataRow& row) const
{
    for (const QString& col : columnsOf(type)) {
        if (col == kData15)
            sql.addBlobParam(row.values.value(col).toByteArray());
        else if (type == pim::ENTITY_PHOTO && col == QLatin1String("data4"))
            sql.addTextParam(pim::photoHash(row.values)); // the hash always follows the bytes
        else
            sql.addTextParam(pim::valueText(row.values, col));
    }
}

bool LocalContactsDb::readDataRow(const Sqlite3Cursor& c, int* type, ContactDataRow* row)
{
    *type = c.getInt(QStringLiteral("type"));
    *row = ContactDataRow(c.getInt64(QStringLiteral("_id")), c.getText(QStringLiteral("src_id")));
    if (!pim::isKnownContactDataType(*type)) {
        qWarning() << "contacts: data row" << row->id << "of unknown type" << *type << "skipped";
        return false;
    }
    for (const QString& col : columnsOf(*type)) {
        if (col == kData15)
            row->values.insert(col, c.getBlob(col));
        else
            row->values.insert(col, c.getText(col));
    }
    return true;
}

qint64 LocalContactsDb::findContactByFullName(const QString& fullName)
{
    openForReading();
    Sqlite3Sql sql(QStringLiteral("select _id,src_id from contact where full_name=? COLLATE NOCASE limit 1"));
    sql.addTextParam(fullName);
    return db.queryInt64Throw(sql);
}

void LocalContactsDb::insertContact(pim::_Contact& contact)
{
    openForWriting();
    Sqlite3Sql sql(QStringLiteral("insert into contact(src_id,full_name) values(?,?)"));
    sql.addTextParam(contact.srcId);
    sql.addTextParam(contact.fullName);
    db.executeThrow(sql);
    contact.id = db.lastInsertId();
}

void LocalContactsDb::updateContact(const pim::_Contact& contact)
{
    openForWriting();
    Sqlite3Sql sql(QStringLiteral("update contact set src_id=?, full_name=? where _id=?"));
    sql.addTextParam(contact.srcId);
    sql.addTextParam(contact.fullName);
    sql.addInt64Param(contact.id);
    db.executeThrow(sql);
}

void LocalContactsDb::setContactSrcId(qint64 id, const QString& srcId)
{
    openForWriting();
    Sqlite3Sql sql(QStringLiteral("update contact set src_id=? where _id=?"));
    sql.addTextParam(srcId);
    sql.addInt64Param(id);
    db.executeThrow(sql);
}

void LocalContactsDb::setDataSrcId(qint64 id, const QString& srcId)
{
    openForWriting();
    Sqlite3Sql sql(QStringLiteral("update data set src_id=? where _id=?"));
    sql.addTextParam(srcId);
    sql.addInt64Param(id);
    db.executeThrow(sql);
}

void LocalContactsDb::deleteData(qint64 id)
{
    openForWriting();
    db.executeThrow(QStringLiteral("delete from data where _id=%1").arg(id));
}

void LocalContactsDb::deleteContact(qint64 id)
{
    openForWriting();
    db.executeThrow(QStringLiteral("delete from data where contact_id=%1").arg(id));
    db.executeThrow(QStringLiteral("delete from contact where _id=%1").arg(id));
}

qint64 LocalContactsDb::countContacts()
{
    return countOf(QStringLiteral("select count(*) from contact"));
}

qint64 LocalContactsDb::getOrCreateGroup(const QString& name)
{
    Sqlite3Sql find(QStringLiteral("select _id from contact_group where name=? COLLATE NOCASE limit 1"));
    find.addTextParam(name);
    const qint64 id = db.queryInt64Throw(find);
    if (id != 0)
        return id;
    Sqlite3Sql insert(QStringLiteral("insert into contact_group(name) values(?)"));
    insert.addTextParam(name);
    db.executeThrow(insert);
    return db.lastInsertId();
}

void LocalContactsDb::insertData(qint64 contactId, int type, ContactDataRow& row)
{
    openForWriting();
    const QStringList columns = columnsOf(type);
    if (columns.isEmpty()) {
        qWarning() << "contacts: data row of unknown type" << type << "for contact" << contactId << "not stored";
        return;
    }
    QStringList marks;
    for (int i = 0; i < columns.size() + 3; ++i)
        marks << QStringLiteral("?");
    Sqlite3Sql sql(QStringLiteral("insert into data(contact_id,type,src_id,%1) values(%2)")
                       .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    sql.addInt64Param(contactId);
    sql.addIntParam(type);
    sql.addTextParam(row.srcId);
    bindColumns(sql, type, row);
    db.executeThrow(sql);
    row.id = db.lastInsertId();
}

void LocalContactsDb::updateData(int type, const ContactDataRow& row)
{
    openForWriting();
    const QStringList columns = columnsOf(type);
    if (columns.isEmpty()) {
        qWarning() << "contacts: data row" << row.id << "of unknown type" << type << "not updated";
        return;
    }
    QStringList sets;
    for (const QString& col : columns)
        sets << col + QStringLiteral("=?");
    Sqlite3Sql sql(QStringLiteral("update data set src_id=?,%1 where _id=?").arg(sets.join(QLatin1Char(','))));
    sql.addTextParam(row.srcId);
    bindColumns(sql, type, row);
    sql.addInt64Param(row.id);
    db.executeThrow(sql);
}

pim::_Contact LocalContactsDb::loadContact(qint64 id)
{
    openForReading();
    pim::_Contact contact;
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from contact where _id=%1").arg(id));
        if (!c.moveNext())
            return contact;
        contact = pim::_Contact(c.getInt64(QStringLiteral("_id")), c.getText(QStringLiteral("src_id")),
                                c.getText(QStringLiteral("full_name")));
    }
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from data where contact_id=%1").arg(id));
    while (c.moveNext()) {
        int type = 0;
        ContactDataRow row;
        if (readDataRow(c, &type, &row))
            contact.entities[type].append(row);
    }
    return contact;
}

QList<pim::_Contact> LocalContactsDb::loadAll()
{
    openForReading();
    QList<pim::_Contact> result;
    pim::_Contact current;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral(
        "select d.*,c.full_name,c.src_id as csrc_id from data as d inner join contact as c on d.contact_id=c._id"
        " order by contact_id asc"));
    while (c.moveNext()) {
        const qint64 contactId = c.getInt64(QStringLiteral("contact_id"));
        if (contactId != current.id) {
            if (current.id != 0)
                result.append(current);
            current = pim::_Contact(contactId, c.getText(QStringLiteral("csrc_id")),
                                    c.getText(QStringLiteral("full_name")));
        }
        int type = 0;
        ContactDataRow row;
        if (readDataRow(c, &type, &row))
            current.entities[type].append(row);
    }
    if (current.id != 0)
        result.append(current);
    std::stable_sort(result.begin(), result.end(),
                     [](const pim::_Contact& a, const pim::_Contact& b) { return a.fullName < b.fullName; });
    return result;
}

bool LocalContactsDb::mergeDataRow(int type, QList<ContactDataRow>& storedRows, const ContactDataRow& newRow,
                                   ContactDataRow* target)
{
    bool singleRow = false;
    const QStringList match = rule->matchColumns(type);
    const QStringList merge = rule->mergeColumns(type, &singleRow);
    if (merge.isEmpty())
        return false;

    bool fromStored = false;
    if (singleRow) {
        if (!storedRows.isEmpty()) {
            *target = storedRows.first();
            fromStored = true;
        }
    } else {
        for (const ContactDataRow& stored : std::as_const(storedRows)) {
            if (pim::isSameDataValues(stored.values, newRow.values, match)) {
                *target = stored;
                fromStored = true;
                break;
            }
        }
    }
    if (pim::isSameDataValues(target->values, newRow.values, merge))
        return false;
    // A phone keeps an address's extended address and post-office box in
    // its street: the same address with them in their own places brings its
    // parts whole, so that no part is kept twice.
    if (type == pim::ENTITY_POSTAL && fromStored && samePostalAddress(target->values, newRow.values))
        for (const QString& col : postalParts())
            target->values.remove(col);
    for (const QString& col : merge) {
        const QVariant v = newRow.values.value(col);
        const bool nonEmpty
            = col == kData15 ? !v.toByteArray().isEmpty() : !pim::valueText(newRow.values, col).isEmpty();
        if (nonEmpty)
            target->values.insert(col, v);
    }
    if (!fromStored)
        storedRows.append(*target);
    return true;
}

QMap<int, QList<ContactDataRow>> LocalContactsDb::addOrMergeContact(const pim::_Contact& src, pim::_Contact& dst,
                                                                    bool* merged)
{
    openForWriting();
    const qint64 id = findContactByFullName(src.fullName);
    QMap<int, QList<ContactDataRow>> written;
    // A failure ends our own level; the caller's rollback then closes the
    // unit.
    Transaction<Sqlite3DB> tran(db);
    if (id != 0) {
        if (merged)
            *merged = true;
        dst = loadContact(id);
    } else {
        if (merged)
            *merged = false;
        dst = pim::_Contact(0, QString(), src.fullName);
        insertContact(dst);
        const QList<ContactDataRow> names = src.rows(pim::ENTITY_NAME);
        if (!names.isEmpty()) {
            ContactDataRow name = names.first();
            name.srcId.clear();
            insertData(dst.id, pim::ENTITY_NAME, name);
            dst.entities[pim::ENTITY_NAME].append(name);
            written[pim::ENTITY_NAME].append(name);
        }
    }
    for (auto it = src.entities.constBegin(); it != src.entities.constEnd(); ++it) {
        const int type = it.key();
        for (const ContactDataRow& row : it.value()) {
            ContactDataRow target;
            if (!mergeDataRow(type, dst.entities[type], row, &target))
                continue;
            if (type == pim::ENTITY_GROUP)
                target.values.insert(QStringLiteral("data1"),
                                     QVariant::fromValue(quint64(
                                         getOrCreateGroup(pim::valueText(target.values, QStringLiteral("data2"))))));
            if (target.id == 0)
                insertData(dst.id, type, target);
            else
                updateData(type, target);
            written[type].append(target);
        }
    }
    tran.commit();
    return written;
}
