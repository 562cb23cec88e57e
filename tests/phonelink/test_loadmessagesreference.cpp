// The message loader's stored result, byte for byte: a phone with most of
// the awkward cases (shared keys, repeated messages, dropped and odd parts,
// national numbers, mail addresses, a text part equal to a message) is
// loaded into an empty cache, then loaded again after some messages went and
// others came, then once more unchanged. After each load the cache must hold
// exactly the rows and files of the checked-in reference.
//
// The dump lists every row of every table (values with their SQLite type)
// and every file and folder below the cache folder with its size and MD5,
// all sorted. It leaves out only what VACUUM may renumber and what the
// database file's page layout decides: the hidden rowid of the tables
// without an INTEGER PRIMARY KEY (parent_hash, valid_hash and the three
// join tables; "select *" does not show it) and the root page numbers in
// sqlite_master. The database file itself is compared by its rows only.
//
// With APP_WRITE_REFERENCE=1 the test writes the references instead.
#include "messagestore/ios6messagedb.h"
#include "phonelink/androidloadmessagesthread.h"

#include "test_loadsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QtTest>

using testsupport::RecordingJobReport;

namespace {

QString sqlValue(const Sqlite3Cursor& c, int i)
{
    const QVariant v = c.getValue(i);
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("NULL");
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Double:
        return QStringLiteral("real:") + QString::number(v.toDouble(), 'g', 17);
    case QMetaType::QByteArray:
        return QStringLiteral("x'") + QString::fromLatin1(v.toByteArray().toHex()) + QLatin1Char('\'');
    default:
        break;
    }
    // Text, quoted, with the characters that would break a line escaped.
    QString out = QStringLiteral("'");
    for (const QChar ch : v.toString()) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char('\''))
            out += QLatin1Char('\\') + ch;
        else if (ch.unicode() < 0x20 || ch.unicode() == 0xFFFC)
            out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out + QLatin1Char('\'');
}

QStringList dumpCache(const AndroidDeviceInfo& device)
{
    QStringList lines;
    const QDir cache = device.cacheDir();
    IOS6MessageDb db(cache, device.mmc, false);
    db.openReadOnly();
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select type, name, tbl_name, sql from sqlite_master"));
        while (c.moveNext())
            lines << QStringLiteral("schema|%1|%2|%3|%4").arg(c.getText(0), c.getText(1), c.getText(2), sqlValue(c, 3));
    }
    QStringList tables;
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select name from sqlite_master where type='table'"));
        while (c.moveNext())
            tables << c.getText(0);
    }
    for (const QString& table : std::as_const(tables)) {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from %1").arg(sqliteQuoteIdentifier(table)));
        while (c.moveNext()) {
            QString line = table;
            for (int i = 0; i < c.columnCount(); ++i)
                line += QLatin1Char('|') + c.columnName(i) + QLatin1Char('=') + sqlValue(c, i);
            lines << line;
        }
    }
    db.close();

    const QString dbPath = QFileInfo(db.dbPath()).canonicalFilePath();
    QDirIterator it(cache.absolutePath(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        const QString rel = cache.relativeFilePath(info.absoluteFilePath());
        if (info.isDir()) {
            lines << QStringLiteral("dir|") + rel;
            continue;
        }
        if (info.canonicalFilePath() == dbPath)
            continue;
        QFile f(info.absoluteFilePath());
        QByteArray md5;
        if (f.open(QIODevice::ReadOnly))
            md5 = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex();
        lines << QStringLiteral("file|%1|%2|%3").arg(rel).arg(info.size()).arg(QString::fromLatin1(md5));
    }
    lines.sort();
    return lines;
}

QString referencePath(const QString& name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/phonelink/data/") + name;
}

// Empty when the dump equals the reference; else the lines that differ.
QString compareWithReference(const QStringList& dump, const QString& name)
{
    QFile file(referencePath(name));
    if (qEnvironmentVariableIntValue("APP_WRITE_REFERENCE") == 1) {
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write ") + file.fileName();
        file.write(dump.join(QLatin1Char('\n')).toUtf8() + '\n');
        return QString();
    }
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("missing reference ") + file.fileName();
    QStringList expected = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (expected == dump)
        return QString();
    QString diff;
    for (const QString& l : expected)
        if (!dump.contains(l))
            diff += QStringLiteral("\n- ") + l;
    for (const QString& l : dump)
        if (!expected.contains(l))
            diff += QStringLiteral("\n+ ") + l;
    return name + QStringLiteral(" differs (- reference, + now):") + diff;
}

QJsonObject laterFixture(QJsonObject fixture)
{
    QJsonArray kept;
    for (const QJsonValue& v : fixture.value(QStringLiteral("messages")).toArray())
        if (!QList<int> {3, 7, 9, 11, 13}.contains(v.toObject().value(QStringLiteral("id")).toInt()))
            kept.append(v);
    for (const QJsonValue& v : fixture.value(QStringLiteral("laterMessages")).toArray())
        kept.append(v);
    fixture.insert(QStringLiteral("messages"), kept);
    return fixture;
}

} // namespace

class TestLoadMessagesReference : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { loadtest::useFreePorts(); }

    void firstLaterAndUnchangedLoads_storeExactlyTheReference()
    {
        const QJsonObject fixture = testsupport::fixtureFile(QStringLiteral("tests/phonelink/data/rich-messages.json"));
        QVERIFY(!fixture.isEmpty());

        loadtest::WifiPhone phone(83, fixture);
        PHONE_OK(phone);
        RecordingJobReport first;
        AndroidLoadMessagesThread job(&phone.device, &first);
        LOAD_OK(job, first);
        QString diff = compareWithReference(dumpCache(phone.device), QStringLiteral("rich-messages-first.dump"));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));

        loadtest::WifiPhone later(83, laterFixture(fixture), phone.device.imei);
        PHONE_OK(later);
        RecordingJobReport second;
        AndroidLoadMessagesThread job2(&later.device, &second);
        LOAD_OK(job2, second);
        const QStringList afterSecond = dumpCache(later.device);
        diff = compareWithReference(afterSecond, QStringLiteral("rich-messages-later.dump"));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));

        // Nothing new: nothing changes.
        loadtest::WifiPhone again(83, laterFixture(fixture), phone.device.imei);
        PHONE_OK(again);
        RecordingJobReport third;
        AndroidLoadMessagesThread job3(&again.device, &third);
        LOAD_OK(job3, third);
        QCOMPARE(dumpCache(again.device), afterSecond);
    }
};

QTEST_GUILESS_MAIN(TestLoadMessagesReference)
#include "test_loadmessagesreference.moc"
