// The message loader's stored result, byte for byte: a phone with most of
// the awkward cases (shared keys, repeated messages, two picture messages
// from one number within a second, dropped and odd parts, names made of
// dots, national numbers, mail addresses, a text part equal to a message) is
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
// stored, must leave the cache exactly as it was; a message whose
// attachment data is damaged is skipped whole, leaves no file behind and is
// fetched again by the next load.
#include "messagestore/ios6messagedb.h"
#include "phonelink/androidloadmessagesthread.h"
#include "shell/core/translations.h"

#include "../messagestore/killedwriter.h"
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

// The fixture with the messages keep accepts, then its later messages when
// asked for.
QJsonObject selectMessages(QJsonObject fixture, const std::function<bool(int)>& keep, bool later = false)
{
    QJsonArray kept;
    for (const QJsonValue& v : fixture.value(QStringLiteral("messages")).toArray())
        if (keep(v.toObject().value(QStringLiteral("id")).toInt()))
            kept.append(v);
    for (const QJsonValue& v : fixture.value(QStringLiteral("laterMessages")).toArray())
        if (later)
            kept.append(v);
    fixture.insert(QStringLiteral("messages"), kept);
    return fixture;
}

QJsonObject richFixture();

// Writes the file (its folder made); returns its path.
QString plant(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The local path of the stored attachment with this transfer name.
QString storedFile(const AndroidDeviceInfo& device, const char* name)
{
    IOS6MessageDb db(device.cacheDir(), device.mmc, false);
    db.openReadOnly();
    Sqlite3Sql sql(QStringLiteral("select filename from attachment where transfer_name=?"));
    sql.addTextParam(QString::fromUtf8(name));
    Sqlite3Cursor c = db.queryThrow(sql);
    const QString path = c.moveNext() ? db.attachmentLocalPath(c.getText(0)) : QString();
    db.close();
    return path;
}

// The data of every stored attachment file, sorted (Base64).
QStringList storedPictures(const AndroidDeviceInfo& device)
{
    IOS6MessageDb db(device.cacheDir(), device.mmc, false);
    db.openReadOnly();
    QStringList data;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select filename from attachment"));
    while (c.moveNext())
        data << QString::fromLatin1(testsupport::readFile(db.attachmentLocalPath(c.getText(0))).toBase64());
    db.close();
    data.sort();
    return data;
}

QJsonObject pictureMessage(int id, const QString& address, const QString& body, const QList<QByteArray>& pictures,
                           const QStringList& names)
{
    QJsonArray atts;
    for (qsizetype i = 0; i < pictures.size(); ++i)
        atts.append(QJsonObject {{QStringLiteral("name"), names.at(i)},
                                 {QStringLiteral("mime"), QStringLiteral("image/jpeg")},
                                 {QStringLiteral("base64"), QString::fromLatin1(pictures.at(i).toBase64())}});
    return QJsonObject {{QStringLiteral("id"), id},
                        {QStringLiteral("address"), address},
                        {QStringLiteral("dateMs"), 1700003000000ll + id},
                        {QStringLiteral("type"), 1},
                        {QStringLiteral("body"), body},
                        {QStringLiteral("attachments"), atts}};
}

QJsonObject withMessages(const QJsonArray& messages)
{
    return QJsonObject {{QStringLiteral("device"), richFixture()[QStringLiteral("device")]},
                        {QStringLiteral("messages"), messages}};
}

QJsonObject richFixture()
{
    return testsupport::fixtureFile(QStringLiteral("tests/phonelink/data/rich-messages.json"));
}

} // namespace

// Loads the phone's messages into its cache and checks the load succeeded.
#define LOAD_MESSAGES_OK(phone)                                                                                        \
    do {                                                                                                               \
        PHONE_OK(phone);                                                                                               \
        RecordingJobReport report_;                                                                                    \
        AndroidLoadMessagesThread job_(&(phone).device, &report_);                                                     \
        LOAD_OK(job_, report_);                                                                                        \
    } while (false)

class TestLoadMessagesReference : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(QCoreApplication::instance());
        loadtest::useFreePorts();
    }

    void firstUnchangedAndLaterLoads_storeExactlyTheReference()
    {
        const QJsonObject fixture = richFixture();
        QVERIFY(!fixture.isEmpty());

        loadtest::WifiPhone phone(83, fixture);
        LOAD_MESSAGES_OK(phone);
        const QStringList afterFirst = dumpCache(phone.device);
        QString diff = compareWithReference(afterFirst, QStringLiteral("rich-messages-first.dump"));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));

        // Nothing new: nothing changes, and no message's parts are fetched
        // again (the PC answers "1" to fetch a message's parts, "0" when it
        // has them), the two picture messages of one second (7 and 8)
        // included, and message 12, whose one part (a blank text) leaves a
        // message of no text, as a transfer would send it.
        loadtest::WifiPhone again(83, fixture, phone.device.imei);
        LOAD_MESSAGES_OK(again);
        QCOMPARE(dumpCache(again.device), afterFirst);
        const QList<QByteArray> answers = again.sim->connections(QStringLiteral("service")).last().linesIn;
        QCOMPARE(answers.count("0"), 9);
        QCOMPARE(answers.count("1"), 0);

        const auto gone = [](int id) { return QList<int> {3, 7, 9, 11, 13}.contains(id); };
        loadtest::WifiPhone later(83, selectMessages(fixture, std::not_fn(gone), true), phone.device.imei);
        LOAD_MESSAGES_OK(later);
        diff = compareWithReference(dumpCache(later.device), QStringLiteral("rich-messages-later.dump"));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        // Message 7 went, the first of the two picture messages of one
        // second: which of them is left cannot be told from the listing, so
        // the load lists the phone again and fetches that group's pictures.
        // The one left (8) keeps its picture, 7's goes, and the next load
        // fetches neither again.
        const QString picture7 = fixture["messages"][6]["attachments"][0]["base64"].toString();
        const QString picture8 = fixture["messages"][7]["attachments"][0]["base64"].toString();
        const QList<phonesim::ConnectionLog> listings = later.sim->connections(QStringLiteral("service"));
        QCOMPARE(listings.size(), 2);
        QCOMPARE(listings.last().linesIn.count("1"), 1); // 8 alone
        QCOMPARE(storedPictures(later.device).count(picture8), 1);
        QVERIFY(!storedPictures(later.device).contains(picture7));
        loadtest::WifiPhone next(83, selectMessages(fixture, std::not_fn(gone), true), phone.device.imei);
        LOAD_MESSAGES_OK(next);
        QCOMPARE(next.sim->connections(QStringLiteral("service")).size(), 1);
        QCOMPARE(next.sim->connections(QStringLiteral("service")).last().linesIn.count("1"), 0);
        QCOMPARE(dumpCache(next.device), dumpCache(later.device));

        // Dates are computed in 64 bits: 2040 and beyond still come out right.
        QCOMPARE(AndroidLoadMessagesThread::iosSecondsFromPhoneMs(2208988800000ll), 2208988800ll - 978307200);
        QCOMPARE(AndroidLoadMessagesThread::iosSecondsFromPhoneMs(std::numeric_limits<qint64>::max()),
                 std::numeric_limits<int>::max());
    }

    void cancelOrFailureHalfway_leavesTheCacheAsItWas()
    {
        const QJsonObject fixture = richFixture();
        // How many lines a whole load takes, so as to fail near its end,
        // after most pictures were stored.
        qsizetype lines = 0;
        {
            loadtest::WifiPhone probe(83, fixture);
            LOAD_MESSAGES_OK(probe);
            lines = probe.sim->connections(QStringLiteral("service")).last().linesOut.size();
        }
        // The last steps: the second "x.jpg" of message 17 ("$atta:", its
        // data, "."), messages 18 and 19, "$end:", "$bye:".
        const struct {
            phonesim::Fault::Kind kind;
            qsizetype fromEnd;
            const char* text;
            const char* error;
        } cases[] = {{phonesim::Fault::Kind::ErrorAt, 0, "", ""},
                     {phonesim::Fault::Kind::ErrorAt, 5, "no room", "no room"},
                     {phonesim::Fault::Kind::WrongLineAt, 6, "$atta:image/jpeg", "$atta: command invalid param."}};
        // Into an empty cache and into one holding an earlier load.
        for (const bool earlier : {false, true}) {
            loadtest::WifiPhone first(
                83, selectMessages(fixture, [earlier](int id) { return earlier && (id == 1 || id == 13); }));
            LOAD_MESSAGES_OK(first);
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
                QCOMPARE(report.endCount(), c.fromEnd == 0 ? 0 : 1);
                QCOMPARE(report.errors(), c.fromEnd == 0 ? QStringList() : QStringList {QString::fromUtf8(c.error)});
                QVERIFY2(dumpCache(later.device) == expected,
                         qPrintable(QStringLiteral("%1 from the end, earlier load %2").arg(c.fromEnd).arg(earlier)));
            }
        }
    }

    void groupOfOneSecond_changes_neverKeepAnotherMessagesPicture()
    {
        // Picture messages from one number within one second with one text
        // form a group; they are told apart only by their place in it.
        const QByteArray a("picture A"), b("picture B"), c("picture C");
        const QString addr = QStringLiteral("+4930666");
        for (const bool sameNames : {false, true}) {
            const auto name = [sameNames](const char* own) {
                return QStringList {sameNames ? QStringLiteral("image.jpg") : QString::fromLatin1(own)};
            };
            const QJsonObject msgA = pictureMessage(1, addr, QStringLiteral("Look"), {a}, name("a.jpg"));
            const QJsonObject msgB = pictureMessage(2, addr, QStringLiteral("Look"), {b}, name("b.jpg"));
            const QJsonObject msgC = pictureMessage(3, addr, QStringLiteral("Look"), {c}, name("c.jpg"));
            const auto expect = [](std::initializer_list<QByteArray> pictures) {
                QStringList list;
                for (const QByteArray& p : pictures)
                    list << QString::fromLatin1(p.toBase64());
                list.sort();
                return list;
            };

            const QString imei = QStringLiteral("group-%1").arg(sameNames);
            loadtest::WifiPhone phone(83, withMessages({msgA, msgB}), imei);
            LOAD_MESSAGES_OK(phone);
            QCOMPARE(storedPictures(phone.device), expect({a, b}));

            // A load that sees the first gone but fails or is cancelled at
            // its end (steps: ready, count, batch, sms, end, bye) changes
            // nothing.
            const QStringList before = dumpCache(phone.device);
            for (const auto kind : {phonesim::Fault::Kind::CloseAt, phonesim::Fault::Kind::StallAt}) {
                loadtest::WifiPhone failing(83, withMessages({msgB}), imei);
                PHONE_OK(failing);
                failing.sim->addFault(phonesim::Fault(kind, QStringLiteral("mms2"), 6, "$by"));
                RecordingJobReport report;
                AndroidLoadMessagesThread job(&failing.device, &report);
                job.start();
                if (kind == phonesim::Fault::Kind::StallAt) {
                    // Cancelled while waiting for the phone's last line.
                    QTRY_VERIFY_WITH_TIMEOUT(failing.sim->linesReceived(QStringLiteral("mms2")).contains("$batch:"),
                                             testsupport::kHangGuardMs);
                    report.cancel();
                }
                QVERIFY(job.wait(QDeadlineTimer(testsupport::kHangGuardMs)));
                QCOMPARE(report.errors().size(), kind == phonesim::Fault::Kind::CloseAt ? 1 : 0);
                QVERIFY(!report.succeeded());
                failing.sim->releaseStalls();
                QCOMPARE(dumpCache(failing.device), before);
            }

            // The first goes: its picture goes with it, never the
            // survivor's; the survivor's is there again after the next load.
            for (int round = 0; round < 2; ++round) {
                loadtest::WifiPhone survivor(83, withMessages({msgB}), imei);
                LOAD_MESSAGES_OK(survivor);
                QVERIFY2(!storedPictures(survivor.device).contains(QString::fromLatin1(a.toBase64())),
                         sameNames ? "same names" : "own names");
            }
            QCOMPARE(storedPictures(phone.device), expect({b}));

            // The group grows by one before and one after: each picture once.
            for (int round = 0; round < 2; ++round) {
                loadtest::WifiPhone grown(83, withMessages({msgA, msgB, msgC}), imei);
                LOAD_MESSAGES_OK(grown);
            }
            QCOMPARE(storedPictures(phone.device), expect({a, b, c}));
            // Unchanged now: nothing is fetched again.
            loadtest::WifiPhone same(83, withMessages({msgA, msgB, msgC}), imei);
            LOAD_MESSAGES_OK(same);
            QCOMPARE(same.sim->connections(QStringLiteral("service")).last().linesIn.count("0"), 3);
            QCOMPARE(storedPictures(phone.device), expect({a, b, c}));
        }
    }

    void partsSharingAName_areEachStored()
    {
        // Two different pictures named alike in one message, and two
        // without a name (both would be "Unknown2.jpg").
        const QByteArray p1("first photo"), p2("second photo"), u1("unnamed one"), u2("unnamed two");
        const QJsonArray messages {
            pictureMessage(1, QStringLiteral("+4930444"), QString(), {p1, p2},
                           {QStringLiteral("photo.jpg"), QStringLiteral("Photo.JPG")}),
            pictureMessage(2000, QStringLiteral("+4930444"), QString(), {u1, u2}, {QString(), QString()})};
        loadtest::WifiPhone phone(83, withMessages(messages));
        LOAD_MESSAGES_OK(phone);
        QStringList expected;
        for (const QByteArray& p : {p1, p2, u1, u2})
            expected << QString::fromLatin1(p.toBase64());
        expected.sort();
        QCOMPARE(storedPictures(phone.device), expected);

        // The next load has them all: nothing is fetched or changed.
        const QStringList before = dumpCache(phone.device);
        loadtest::WifiPhone again(83, withMessages(messages), phone.device.imei);
        LOAD_MESSAGES_OK(again);
        QCOMPARE(again.sim->connections(QStringLiteral("service")).last().linesIn.count("0"), 2);
        QCOMPARE(dumpCache(again.device), before);
    }

    void filesLeftByAKilledWriter_goAtTheNextLoad()
    {
        loadtest::WifiPhone phone(83, richFixture(), QStringLiteral("killed"));
        LOAD_MESSAGES_OK(phone);
        const QStringList loaded = dumpCache(phone.device);
        const QDir cache = phone.device.cacheDir();
        const QString attachments
            = cache.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments"));
        const QString named = QFileInfo(storedFile(phone.device, "photo.png")).absolutePath();
        const QString namedRel = named.mid(attachments.size() + 1);

        // What a kill leaves: pictures placed for rows never committed, in
        // folders of their own (copied, and staged then taken) and beside a
        // named file, and a staged file never taken.
        const QString source = plant(cache.absoluteFilePath(QStringLiteral("../killed-source.jpg")), "source");
        QVERIFY(killedwriter::killedWrite(cache, [&](ExportMessagesDb& writer) {
            killedwriter::PictureMessages m;
            m.write(writer, QStringLiteral("~/Library/SMS/Attachments/0a/1b/0A1B-LEFT/left.jpg"), source);
            m.write(writer, QStringLiteral("~/Library/SMS/Attachments/%1/other.jpg").arg(namedRel), source);
            const QString taken = QStringLiteral("~/Library/SMS/Attachments/0a/1c/0A1C-TAKEN/taken.jpg");
            m.write(writer, taken, plant(writer.stageAttachment(taken), "taken"));
            plant(writer.stageAttachment(QStringLiteral("~/Library/SMS/Attachments/0a/1b/0A1B-OTHER/x.jpg")), "staged");
        }));
        const QStringList left {attachments + QStringLiteral("/0a/1b/0A1B-LEFT/left.jpg"),
                                named + QStringLiteral("/other.jpg"),
                                attachments + QStringLiteral("/0a/1c/0A1C-TAKEN/taken.jpg")};
        for (const QString& path : left)
            QVERIFY2(QFile::exists(path), qPrintable(path));
        QCOMPARE(QDir(attachments + QStringLiteral("/0a/1b/0A1B-OTHER")).entryList(QDir::Files | QDir::Hidden).size(),
                 1);

        // What no writer of this store made stays: a file in the attachment
        // folder, a temporary beside a named file, a link to a file elsewhere,
        // what a link to a folder elsewhere reaches, a temporary beside the
        // store.
        const QString outside = plant(cache.absoluteFilePath(QStringLiteral("outside.jpg")), "mine");
        const QStringList theirs {
            plant(attachments + QStringLiteral("/top.bin"), "top"),
            plant(named + QStringLiteral("/.part-") + QUuid::createUuid().toString(QUuid::WithoutBraces), "temp"),
            plant(cache.absoluteFilePath(QStringLiteral("elsewhere/.part-")
                                         + QUuid::createUuid().toString(QUuid::WithoutBraces)),
                  "theirs"),
            plant(cache.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/.part-")
                                         + QUuid::createUuid().toString(QUuid::WithoutBraces)),
                  "not ours"),
        };
        QVERIFY(QFile::link(outside, attachments + QStringLiteral("/link.jpg")));
        QVERIFY(QFile::link(cache.absoluteFilePath(QStringLiteral("elsewhere")),
                            attachments + QStringLiteral("/folder-link")));

        loadtest::WifiPhone again(83, richFixture(), phone.device.imei);
        LOAD_MESSAGES_OK(again);
        for (const QString& path : left)
            QVERIFY2(!QFile::exists(path), qPrintable(path));
        for (const QString& path : theirs)
            QVERIFY2(QFile::exists(path), qPrintable(path));
        QVERIFY(QFileInfo(attachments + QStringLiteral("/link.jpg")).isSymLink());
        QCOMPARE(testsupport::readFile(outside), QByteArray("mine"));
        for (const QString& path : theirs
                 + QStringList {outside, source, attachments + QStringLiteral("/link.jpg"),
                                attachments + QStringLiteral("/folder-link")})
            QFile::remove(path);
        QDir(cache.absoluteFilePath(QStringLiteral("elsewhere"))).removeRecursively();
        // Every named file as it was, no folder the kill made, no journal.
        QCOMPARE(dumpCache(again.device), loaded);
    }

    void damagedAttachmentData_skipsThatMessageUntilTheNextLoad()
    {
        // Steps: 1 ready, 2 count, 3 batch, 4 sms 1, 5 sms 2, 6 the picture's
        // "$atta:", 7.. its data. A line inside the data that a lenient
        // decoder would take for a few bytes of picture; message 2's other
        // parts are received (and its pictures staged) before it is dropped.
        loadtest::WifiPhone phone(83, richFixture());
        PHONE_OK(phone);
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::WrongLineAt, QStringLiteral("mms2"), 8, "%%%"));
        RecordingJobReport report;
        AndroidLoadMessagesThread job(&phone.device, &report);
        LOAD_OK(job, report);
        QCOMPARE(report.successes(),
                 QStringList {QStringLiteral(
                     "1 message could not be received intact and will be fetched again on the next load.")});
        // One file under the attachments folder for each attachment stored,
        // and no folder without a file: nothing of message 2's is left.
        const QString attachments = QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/");
        const QStringList dump = dumpCache(phone.device);
        QCOMPARE(dump.filter(QStringLiteral("file|") + attachments).size(), 6);
        for (const QString& dir : dump.filter(QStringLiteral("dir|") + attachments))
            QVERIFY2(!dump.filter(QStringLiteral("file|") + dir.mid(4) + QLatin1Char('/')).isEmpty(), qPrintable(dir));
        // Nothing of message 2 was stored, not even its text; the load went
        // on after it (six attachments of later messages).
        IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, false);
        db.openReadOnly();
        const auto count = [&db](const char* sql) { return db.queryInt64Throw(Sqlite3Sql(sql)); };
        QCOMPARE(count("select count(*) from message where text like 'Pics%' or text = 'Hello part'"), 0);
        QCOMPARE(count("select count(*) from attachment"), 6);
        db.close();

        // The next load asks for it again and stores its picture whole.
        LOAD_MESSAGES_OK(phone);
        QCOMPARE(phone.sim->connections(QStringLiteral("service")).last().linesIn.count("1"), 1);
        db.openReadOnly();
        Sqlite3Cursor c
            = db.queryThrow(QStringLiteral("select filename from attachment where transfer_name = 'photo.png'"));
        QVERIFY(c.moveNext());
        QCOMPARE(testsupport::readFile(db.attachmentLocalPath(c.getText(0))).toBase64(),
                 richFixture()["messages"][1]["attachments"][0]["base64"].toString().toLatin1());
    }
};

QTEST_GUILESS_MAIN(TestLoadMessagesReference)
#include "test_loadmessagesreference.moc"
