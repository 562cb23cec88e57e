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
//
// A load that is cancelled or fails half-way, after some pictures were
// stored, must leave the cache exactly as it was, and a message skipped for
// damaged data must leave no file behind.
#include "messagestore/ios6messagedb.h"
#include "phonelink/androidloadmessagesthread.h"

#include "test_loadsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QtTest>

#include <functional>

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

// The fixture's messages whose id keep accepts, then its later messages
// when asked for.
QJsonObject selectMessages(QJsonObject fixture, const std::function<bool(int)>& keep, bool later)
{
    QJsonArray kept;
    for (const QJsonValue& v : fixture.value(QStringLiteral("messages")).toArray())
        if (keep(v.toObject().value(QStringLiteral("id")).toInt()))
            kept.append(v);
    if (later) {
        for (const QJsonValue& v : fixture.value(QStringLiteral("laterMessages")).toArray())
            kept.append(v);
    }
    fixture.insert(QStringLiteral("messages"), kept);
    return fixture;
}

QJsonObject laterFixture(const QJsonObject& fixture)
{
    return selectMessages(
        fixture,
        [](int id) {
            return !QList<int> {3, 7, 9, 11, 13}.contains(id);
        },
        true);
}

QJsonObject richFixture()
{
    return testsupport::fixtureFile(QStringLiteral("tests/phonelink/data/rich-messages.json"));
}

// Files below the attachments folder that no attachment row names, and
// folders there with no file below them.
QStringList strayAttachmentEntries(const AndroidDeviceInfo& device)
{
    IOS6MessageDb db(device.cacheDir(), device.mmc, false);
    db.openReadOnly();
    QSet<QString> named;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select filename from attachment"));
    while (c.moveNext())
        named.insert(db.attachmentLocalPath(c.getText(0)));
    const QString root = db.fileRelayDir().absoluteFilePath(QStringLiteral("var/mobile/Library/SMS/Attachments"));
    QStringList stray;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.isDir() ? QDir(info.absoluteFilePath()).isEmpty() : !named.contains(info.absoluteFilePath()))
            stray << info.absoluteFilePath();
    }
    return stray;
}

} // namespace

class TestLoadMessagesReference : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { loadtest::useFreePorts(); }

    void firstLaterAndUnchangedLoads_storeExactlyTheReference()
    {
        const QJsonObject fixture = richFixture();
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

    void cancelOrFailureHalfway_leavesTheCacheAsItWas()
    {
        const QJsonObject fixture = richFixture();
        // How many lines a whole load takes, so as to fail near its end,
        // after most pictures were stored.
        qsizetype lines = 0;
        {
            loadtest::WifiPhone probe(83, fixture);
            PHONE_OK(probe);
            RecordingJobReport report;
            AndroidLoadMessagesThread job(&probe.device, &report);
            LOAD_OK(job, report);
            lines = probe.sim->connections(QStringLiteral("service")).last().linesOut.size();
        }
        // The last steps: the second "x.jpg" of message 17 ("$atta:", its
        // data, "."), messages 18 and 19, "$end:", "$bye:".
        const struct {
            phonesim::Fault::Kind kind;
            qsizetype fromEnd;
            const char* text;
        } cases[] = {{phonesim::Fault::Kind::ErrorAt, 0, ""},
                     {phonesim::Fault::Kind::ErrorAt, 5, "no room"},
                     {phonesim::Fault::Kind::WrongLineAt, 6, "$atta:image/jpeg"}};
        // Into an empty cache and into one holding an earlier load.
        for (const bool earlier : {false, true}) {
            const QJsonObject before = selectMessages(
                fixture, [earlier](int id) { return earlier && (id == 1 || id == 13); }, false);
            loadtest::WifiPhone first(83, before);
            PHONE_OK(first);
            RecordingJobReport firstReport;
            AndroidLoadMessagesThread firstJob(&first.device, &firstReport);
            LOAD_OK(firstJob, firstReport);
            const QStringList expected = dumpCache(first.device);

            for (const auto& c : cases) {
                loadtest::WifiPhone later(83, fixture, first.device.imei);
                PHONE_OK(later);
                RecordingJobReport report;
                if (c.fromEnd == 0) // no fault: the user cancels during the video
                    report.cancelWhenProgressContains(QStringLiteral("Receiving clip"));
                else
                    later.sim->addFault(
                        phonesim::Fault(c.kind, QStringLiteral("mms2"), int(lines - c.fromEnd), c.text));
                AndroidLoadMessagesThread job(&later.device, &report);
                QVERIFY(loadtest::runJob(job));
                QVERIFY(!report.succeeded());
                const QStringList now = dumpCache(later.device);
                QVERIFY2(now == expected,
                         qPrintable(QStringLiteral("case %1 from the end, earlier load %2: %3")
                                        .arg(c.fromEnd)
                                        .arg(earlier)
                                        .arg(QStringList(now).filter(QStringLiteral("file|")).join(u'\n'))));
            }
        }
    }

    void damagedMessage_leavesNoFileBehind()
    {
        // Steps: 1 ready, 2 count, 3 batch, 4 sms 1, 5 sms 2, 6 the picture's
        // "$atta:", 7.. its data. Message 2's parts are all received (and
        // its pictures staged) before the damage is known.
        loadtest::WifiPhone phone(83, richFixture());
        PHONE_OK(phone);
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::WrongLineAt, QStringLiteral("mms2"), 8, "%%%"));
        RecordingJobReport report;
        AndroidLoadMessagesThread job(&phone.device, &report);
        LOAD_OK(job, report);
        QCOMPARE(job.skippedMessages(), 1);
        QCOMPARE(strayAttachmentEntries(phone.device), QStringList());
        IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, false);
        db.openReadOnly();
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from attachment")), 5);
    }
};

QTEST_GUILESS_MAIN(TestLoadMessagesReference)
#include "test_loadmessagesreference.moc"
