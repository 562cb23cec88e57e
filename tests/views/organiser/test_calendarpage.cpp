// The calendar page end to end against simulated phones: the first load and
// the cached second visit, export, backup and transfer to a second phone;
// deletion on a backup page and a damaged database; exports on PCs in other
// zones, of zone texts whose conversions would never end and of zone texts
// naming offsets beyond any real zone. The export job alone: expected CSV
// and iCalendar files, hostile events read back by python3-icalendar, and a
// cancel.
#include "views/organiser/calendarmainform.h"
#include "views/organiser/exportcalendarthread.h"

#include "records/localcalendarsdb.h"
#include "records/recordtime.h"
#include "shell/mytreeview.h"

#include "organisertest.h"
#include "pagetest.h"

#include <QJsonObject>
#include <QLabel>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtTest>

#include <ctime>

using organisertest::runExport;

namespace {

// Commas, semicolons, backslashes, line breaks, long non-ASCII texts with
// characters outside the BMP, a rule, an all-day event, and missing or
// reversed times.
QList<CalendarEventRecord> hostileEvents()
{
    QList<CalendarEventRecord> out;
    for (const QJsonValue& v : organisertest::dataArray(QStringLiteral("hostile_events.json"))) {
        CalendarEventRecord& e = out.emplace_back(0, 0, QStringLiteral("Cal"));
        e.summary = v[QLatin1String("summary")].toString();
        e.description = v[QLatin1String("description")].toString();
        e.rrule = v[QLatin1String("rrule")].toString();
        e.allDay = v[QLatin1String("allDay")].toInt();
        e.tz = v[QLatin1String("tz")].toString();
        if (v[QLatin1String("start")].isDouble())
            e.start = QDateTime::fromSecsSinceEpoch(v[QLatin1String("start")].toInteger());
        if (v[QLatin1String("end")].isDouble())
            e.end = QDateTime::fromSecsSinceEpoch(v[QLatin1String("end")].toInteger());
    }
    return out;
}

// The UID differs on every export (the read-back checks it); everything
// else is the same whenever and wherever the events are exported.
QByteArray masked(const QByteArray& ics)
{
    static const QRegularExpression varying(QStringLiteral("^UID:[^\r]*"), QRegularExpression::MultilineOption);
    return QString::fromUtf8(ics).replace(varying, QStringLiteral("UID:*")).toUtf8();
}

// The PC's time zone while it lives, then the one before.
class LocalZone {
public:
    explicit LocalZone(const QByteArray& zone)
        : m_before(qgetenv("TZ"))
        , m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_had)
            qputenv("TZ", m_before);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_before;
    bool m_had;
};

} // namespace

class TestCalendarPage : public testsupport::PageTest {
    Q_OBJECT

public:
    TestCalendarPage()
        : PageTest({.address = QStringLiteral("127.0.112.21"),
                    .fixture = QStringLiteral("tests/views/organiser/data/phone_calendars.json")})
    {
    }

private Q_SLOTS:
    // Two visits, one load. Calendars by name ignoring case; the count
    // counts events only.
    void phonePage_loadsOnce_listsCalendarsByName()
    {
        CHECKED(organisertest::checkLoadsOnce<CalendarMainForm>(*m_sim, QStringLiteral("calendars"), m_phone,
                                                                devicesRoot()));
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        QCOMPARE(column(*page.calendarModel(), 0), QStringLiteral("Empty|home|Work").split(u'|'));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 3"));
    }

    // A calendar and one of its events give each event once.
    void phonePage_aCalendarAndOneOfItsEvents_giveEachEventOnce()
    {
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        const ItemModelCalendar& model = *page.calendarModel();
        const QModelIndex work = model.index(2, 0);
        selectRows(page.listView(), {2});
        page.listView()->selectionModel()->select(model.index(0, 0, work),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(page.getSelectedEvents().size(), 2);
        CHECKED(organisertest::screenshot(page, {867, 420}, QStringLiteral("calendar_page.png")));
    }

    // Without a selection the toolbar export takes all events, as
    // iCalendar under the preselected filter (question 0 is the first
    // load's progress dialog).
    void phonePage_exportsAllWithoutASelection()
    {
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        prompt.answerSaveFile(dir + QStringLiteral("/events"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 3 Calendar events."));
        CHECKED(triggerAction(page, QStringLiteral("Extract Calendar events")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().at(1).filter, QStringLiteral("CSV Files(*.csv);;iCalendar Files(*.ics)"));
        QCOMPARE(prompt.questions().at(1).selectedFilter, QStringLiteral("iCalendar Files(*.ics)"));
        QCOMPARE(testsupport::readFile(dir + QStringLiteral("/events.ics")).count("BEGIN:VEVENT\r\n"), 3);
    }

    // One event backed up, then all three with their reminder.
    void phonePage_backsUpOneThenAll()
    {
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        const ItemModelCalendar& model = *page.calendarModel();
        page.listView()->selectionModel()->select(model.index(0, 0, model.index(1, 0)),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        CHECKED(organisertest::checkBackupSelectedThenAll(
            page, QStringLiteral("Backup selected Calendar events"), QStringLiteral("Backup Calendar events"),
            QStringLiteral("calendars.db"), [](const QString& f) { return LocalCalendarsDb(f).countEvents(); }, 1, 3));
    }

    // All sent to a second phone, reminders too; its cache holds what
    // the phone acknowledged.
    void phonePage_transfersAllToASecondPhone()
    {
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        testsupport::SimPhone second(QStringLiteral("127.0.112.22"));
        QVERIFY2(second.ok(), qPrintable(second.error));
        _AndroidDeviceItemNode* target = addPhone(second);
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 3 Calendar events to Android."));
        CHECKED(triggerAction(page, QStringLiteral("Transfer Android Calendar events to other Android")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(second.verdict(1), QString());
        QCOMPARE(second.store->batchSizes(QStringLiteral("calendars")), QList<int> {3});
        const QList<QVariantMap> got = second.store->records(QStringLiteral("calendars"));
        QCOMPARE(got.at(2).value(QStringLiteral("reminders")).toStringList(), QStringList {QStringLiteral("15,1")});
        QCOMPARE(
            LocalCalendarsDb(target->device.cacheDir().absoluteFilePath(QStringLiteral("calendars.db"))).countEvents(),
            3);
    }

    // Events without times, with reversed times or without a summary are
    // shown; a damaged file is reported and kept.
    void backupPage_showsOddEvents_andKeepsADamagedFile()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        {
            LocalCalendarsDb db(backup->dir.absoluteFilePath(QStringLiteral("calendars.db")));
            for (const CalendarEventRecord& e : hostileEvents())
                db.addEvent(0, e, nullptr);
        }
        ScriptedPrompt prompt;
        QCOMPARE(CalendarMainForm(backup, devicesRoot()).countLabel()->text(), QStringLiteral("Total: 7"));

        _LocalDbItemNode* damaged = addBackup(QStringLiteral("Damaged"));
        const QString bad = damaged->dir.absoluteFilePath(QStringLiteral("calendars.db"));
        const QByteArray garbage = organisertest::writeDamaged(bad);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("not a database"));
        QCOMPARE(CalendarMainForm(damaged, devicesRoot()).calendarModel()->rowCount(), 0);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::readFile(bad), garbage);
    }

    // A calendar name and event texts that look like markup show as written
    // in the tool tips, spaces and line breaks kept.
    void markup_showsAsWrittenInToolTips()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Markup"));
        {
            LocalCalendarsDb db(backup->dir.absoluteFilePath(QStringLiteral("calendars.db")));
            const QString name = QStringLiteral("<b>Work</b>");
            const qint64 id = db.getOrCreateCalendar(name, QString());
            CalendarEventRecord e(0, id, name);
            e.summary = QStringLiteral("<img src=\"/tmp/x.png\">Lunch");
            e.description = QStringLiteral("<b>bold</b>\n  two  spaces");
            e.rrule = QStringLiteral("<i>FREQ=DAILY");
            e.start = QDateTime::fromSecsSinceEpoch(1700000000);
            e.end = QDateTime::fromSecsSinceEpoch(1700003600);
            db.addEvent(id, e, nullptr);
        }
        ScriptedPrompt prompt;
        CalendarMainForm page(backup, devicesRoot());
        const ItemModelCalendar& model = *page.calendarModel();
        QCOMPARE(shownToolTips(model, 0), QStringList {QStringLiteral("<b>Work</b>")});
        const QModelIndex work = model.index(0, 0);
        QCOMPARE(shownToolTips(model, 0, work),
                 QStringList {QStringLiteral("<img src=\"/tmp/x.png\">Lunch\nNotes:<b>bold</b>\n  two  spaces")});
        for (int col = 1; col < model.columnCount(work); ++col)
            QCOMPARE(shownToolTips(model, col, work), column(model, col, work));
        QVERIFY(prompt.questions().isEmpty());
    }

    // A backup made before the name index and the url column existed, on a
    // writable folder and on a read-only medium: the page lists and exports
    // it and brings nothing of it up to date.
    void readOnlyBackup_listsAndExports_keepingEveryByte()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Disc"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("calendars.db"));
        {
            LocalCalendarsDb db(file);
            for (const CalendarEventRecord& e : hostileEvents())
                db.addEvent(0, e, nullptr);
            db.connection().executeThrow(QStringLiteral("DROP INDEX index_calendars_name_nocase"));
            db.connection().executeThrow(QStringLiteral("ALTER TABLE events DROP COLUMN url"));
        }
        const QString out = testsupport::makeTempDir(QStringLiteral("export"));
        CHECKED(checkReadOnlyBackup<CalendarMainForm>(backup, [&](CalendarMainForm& page, ScriptedPrompt& prompt) {
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 7"));
            QFile::remove(out + QStringLiteral("/events.ics"));
            prompt.answerSaveFile(out + QStringLiteral("/events"));
            prompt.answerMessage(
                QMessageBox::Ok,
                QStringLiteral("Successfully extracted 6 Calendar events.\nEvents left out for want of a "
                               "start or for a date outside the years 1 to 9999: 1"));
            CHECKED(triggerAction(page, QStringLiteral("Extract Calendar events")));
            QCOMPARE(testsupport::readFile(out + QStringLiteral("/events.ics")).count("BEGIN:VEVENT\r\n"), 6);
        }));
    }

    // The file's name (the row) decides the format: anything but ".csv" is
    // iCalendar.
    void export_matchesTheExpectedFiles_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("result");
        // Both formats leave out the event without a start.
        const QString result
            = QStringLiteral("Successfully extracted 6 Calendar events.\nEvents left out for want of a "
                             "start or for a date outside the years 1 to 9999: 1");
        QTest::newRow("events.csv") << QStringLiteral("calendar_expected.csv") << result;
        QTest::newRow("events.CSV") << QStringLiteral("calendar_expected.csv") << result;
        QTest::newRow("events.ics") << QStringLiteral("calendar_expected.ics") << result;
        QTest::newRow("events.txt") << QStringLiteral("calendar_expected.ics") << result;
        QTest::newRow("events") << QStringLiteral("calendar_expected.ics") << result;
    }

    void export_matchesTheExpectedFiles()
    {
        QFETCH(QString, expected);
        QFETCH(QString, result);
        QList<CalendarEventRecord> events = hostileEvents();
        // A rule cannot start a line of its own: it ends at its first break.
        events[0].rrule = QStringLiteral("FREQ=DAILY\r\nATTACH:http://evil.example/");
        // A backslash before an "n" is no line break (python3-icalendar 4
        // reads this one wrongly, so it is checked here only).
        events[1].description = QStringLiteral("a literal \\n and \\N, then\r\na break");
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + u'/' + QTest::currentDataTag();
        testsupport::RecordingJobReport report;
        CHECKED(runExport<ExportCalendarThread>(events, path, report));
        QCOMPARE(report.successes(), QStringList {result});
        QCOMPARE(masked(testsupport::readFile(path)), testsupport::readFile(organisertest::dataFile(expected)));
        // Each step under the export's status line.
        QCOMPARE(report.progress().size(), 7);
        for (const auto& step : report.progress())
            QCOMPARE(step.status, QStringLiteral("Extracting Calendar events now. Please wait..."));
    }

    void export_hostileEvents_readBackIntactByIcalendar()
    {
        QList<CalendarEventRecord> events = hostileEvents();
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/hostile.ics");
        testsupport::RecordingJobReport report;
        CHECKED(runExport<ExportCalendarThread>(events, path, report));

        // Only CR LF line ends; no line over 75 octets; no character cut.
        const QByteArray bytes = testsupport::readFile(path);
        QVERIFY(bytes.endsWith("\r\n"));
        for (const QByteArray& line : bytes.chopped(1).split('\n')) {
            QVERIFY2(line.endsWith('\r') && line.count('\r') == 1 && line.size() - 1 <= 75, line.constData());
            QStringDecoder utf8(QStringDecoder::Utf8);
            (void)QString(utf8(line));
            QVERIFY2(!utf8.hasError(), line.constData());
        }

        // The event without times is left out. Every other text as given, a
        // UID of its own, DTSTAMP the event's start in UTC.
        QCOMPARE(events.takeAt(4).summary, QStringLiteral("No times"));
        const QJsonArray read = organisertest::readWithPython(QStringLiteral("read_ics.py"), path).array();
        QCOMPARE(read.size(), events.size());
        QSet<QString> uids;
        for (int i = 0; i < events.size(); ++i) {
            const QJsonObject got = read.at(i).toObject();
            QCOMPARE(got.value(QLatin1String("errors")).toInt(), 0);
            QCOMPARE(got.value(QLatin1String("SUMMARY")).toString(), events.at(i).summary);
            QCOMPARE(got.value(QLatin1String("DESCRIPTION")).toString(), events.at(i).description);
            uids.insert(got.value(QLatin1String("UID")).toString());
            // Its time, or its first day at midnight.
            const QString start = got.value(QLatin1String("DTSTART")).toString();
            QCOMPARE(got.value(QLatin1String("DTSTAMP")).toString(),
                     start.size() == 10 ? start + QStringLiteral("T00:00:00+00:00") : start);
        }
        QCOMPARE(uids.size(), events.size());

        const auto field = [&read](int event, const char* key) {
            return read.at(event).toObject().value(QLatin1String(key)).toString(QStringLiteral("none"));
        };
        QCOMPARE(field(0, "DTSTART"), QStringLiteral("2023-11-14T22:13:20+00:00"));
        QCOMPARE(field(0, "DTEND"), QStringLiteral("2023-11-14T23:13:20+00:00"));
        // The rule as stored, in the parts' order icalendar writes back.
        QCOMPARE(field(0, "RRULE"), QStringLiteral("FREQ=WEEKLY;UNTIL=20241231T000000Z;BYDAY=MO,WE"));
        // The all-day event is a day: its start and exclusive end as dates.
        QCOMPARE(field(3, "DTSTART"), QStringLiteral("2023-11-14"));
        QCOMPARE(field(3, "DTEND"), QStringLiteral("2023-11-16"));
        // Reversed: the end is left out.
        QCOMPARE(field(4, "DTSTART"), QStringLiteral("2023-11-18T09:33:20+00:00"));
        QCOMPARE(field(4, "DTEND"), QStringLiteral("none"));
    }

    // A phone's events exported on PCs in different zones give the same
    // file: all-day events keep their date, timed ones are written in UTC.
    // An event whose start the phone did not send (it arrives as second 0)
    // or with a date outside the years 1 to 9999 is left out and counted; a
    // rule ends at its first line break.
    void phoneEvents_exportTheSameInEveryZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("New York") << QByteArray("America/New_York");
        QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata");
    }

    void phoneEvents_exportTheSameInEveryZone()
    {
        QFETCH(QByteArray, zone);
        LocalZone local(zone);
        testsupport::SimPhone sim(
            QStringLiteral("127.0.112.23"),
            testsupport::fixtureFile(QStringLiteral("tests/views/organiser/data/phone_calendar_zones.json")));
        QVERIFY2(sim.ok(), qPrintable(sim.error));
        ScriptedPrompt prompt;
        CalendarMainForm page(addPhone(sim), devicesRoot());
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 7"));

        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/zones.ics");
        prompt.answerSaveFile(path);
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("Successfully extracted 4 Calendar events.\nEvents left out for want of a "
                                            "start or for a date outside the years 1 to 9999: 3"));
        CHECKED(triggerAction(page, QStringLiteral("Extract Calendar events")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(masked(testsupport::readFile(path)),
                 testsupport::readFile(organisertest::dataFile(QStringLiteral("calendar_zones_expected.ics"))));

        // Another reader places them alike.
        QStringList got;
        for (const QJsonValue& v : organisertest::readWithPython(QStringLiteral("read_ics.py"), path).array())
            got.append(QStringList {v[QLatin1String("SUMMARY")].toString(), v[QLatin1String("DTSTART")].toString(),
                                    v[QLatin1String("DTEND")].toString(), v[QLatin1String("RRULE")].toString()}
                           .join(u'|'));
        QCOMPARE(got,
                 QStringList({
                     QStringLiteral("Weekly without an end|2024-07-06T13:00:00+00:00||FREQ=WEEKLY"),
                     QStringLiteral("Twice|2024-07-05T13:00:00+00:00|2024-07-05T13:30:00+00:00|FREQ=DAILY;COUNT=2"),
                     QStringLiteral("Call at nine in New York|2024-07-04T13:00:00+00:00|2024-07-04T14:00:00+00:00|"),
                     QStringLiteral("Independence Day|2024-07-04|2024-07-05|"),
                 }));
    }

    // The table writes an all-day event's day as the phone keeps it, in
    // every PC zone, and timed events on the PC's clock; it leaves out and
    // counts the events the iCalendar file leaves out.
    void phoneEvents_tableKeepsAllDayDatesInEveryZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("onPage");
        QTest::newRow("New York") << QByteArray("America/New_York")
                                  << QStringList {
                                         "Weekly without an end,6 Jul 2024 09:00:00,,FREQ=WEEKLY,",
                                         "Twice,5 Jul 2024 09:00:00,5 Jul 2024 09:30:00,\"FREQ=DAILY;COUNT=2\r\n"
                                         "ATTENDEE:mailto:eve@example.com\",",
                                         "Call at nine in New York,4 Jul 2024 09:00:00,4 Jul 2024 10:00:00,,",
                                         "Independence Day,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00,,",
                                     }
                                  << QStringList {"Independence Day,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00",
                                                  "No start sent,,4 Jul 2024 10:00:00"};
        QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata")
                                 << QStringList {
                                        "Weekly without an end,6 Jul 2024 18:30:00,,FREQ=WEEKLY,",
                                        "Twice,5 Jul 2024 18:30:00,5 Jul 2024 19:00:00,\"FREQ=DAILY;COUNT=2\r\n"
                                        "ATTENDEE:mailto:eve@example.com\",",
                                        "Call at nine in New York,4 Jul 2024 18:30:00,4 Jul 2024 19:30:00,,",
                                        "Independence Day,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00,,",
                                    }
                                 << QStringList {"Independence Day,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00",
                                                 "No start sent,,4 Jul 2024 19:30:00"};
    }

    void phoneEvents_tableKeepsAllDayDatesInEveryZone()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, onPage);
        LocalZone local(zone);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/zones.csv");
        QStringList shown;
        CHECKED(exportFromPhone(QStringLiteral("phone_calendar_zones.json"), path,
                                QStringLiteral("Successfully extracted 4 Calendar events.\nEvents left out for want "
                                               "of a start or for a date outside the years 1 to 9999: 3"),
                                &shown));
        rows.prepend(QStringLiteral("Summary,Start Date,End Date,RRule,Description"));
        QCOMPARE(QString::fromUtf8(testsupport::readFile(path)), rows.join(QLatin1String("\r\n")) + "\r\n");
        // The page shows the all-day day as the table does, and no 1970
        // for a start the phone does not have.
        for (const QString& row : std::as_const(onPage))
            QVERIFY2(shown.contains(row), qPrintable(row + QLatin1String(" not in ") + shown.join(u'|')));
    }

    // Zone texts that Qt's rule arithmetic would never finish with: a rule
    // naming a month above 12 is taken as UTC; a sound rule is followed from
    // the year 2 on, and events before that are left out and counted. A
    // fixed offset in the phone's own form and an old zone name are
    // followed. Both formats, in two PC zones.
    void phoneEvents_zoneRulesThatWouldNotEnd_exportAsUtcOrLeftOut_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("rows");
        // Summary, first day, day after the last.
        const QStringList ics {
            "Month 15,2024-07-04,2024-07-05", "Rule in 2024,2024-07-04,2024-07-05",   "Offset,2024-07-04,2024-07-05",
            "Old name,2024-07-03,2024-07-04", "Rule in year 2,0002-01-01,0002-01-02",
        };
        QTest::newRow("New York, iCalendar") << QByteArray("America/New_York") << QStringLiteral("rules.ics") << ics;
        QTest::newRow("Kolkata, iCalendar") << QByteArray("Asia/Kolkata") << QStringLiteral("rules.ics") << ics;
        const QStringList csv {
            "Month 15,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00,,",
            "Rule in 2024,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00,,",
            "Offset,4 Jul 2024 00:00:00,5 Jul 2024 00:00:00,,",
            "Old name,3 Jul 2024 00:00:00,4 Jul 2024 00:00:00,,",
            "Rule in year 2,1 Jan 0002 00:00:00,2 Jan 0002 00:00:00,,",
        };
        QTest::newRow("New York, table") << QByteArray("America/New_York") << QStringLiteral("rules.csv") << csv;
        QTest::newRow("Kolkata, table") << QByteArray("Asia/Kolkata") << QStringLiteral("rules.csv") << csv;
    }

    void phoneEvents_zoneRulesThatWouldNotEnd_exportAsUtcOrLeftOut()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, file);
        QFETCH(QStringList, rows);
        LocalZone local(zone);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + u'/' + file;
        CHECKED(exportFromPhone(QStringLiteral("phone_calendar_rules.json"), path,
                                QStringLiteral("Successfully extracted 5 Calendar events.\nEvents left out for want "
                                               "of a start or for a date outside the years 1 to 9999: 2")));
        if (file.endsWith(QLatin1String(".csv"))) {
            rows.prepend(QStringLiteral("Summary,Start Date,End Date,RRule,Description"));
            QCOMPARE(QString::fromUtf8(testsupport::readFile(path)), rows.join(QLatin1String("\r\n")) + "\r\n");
            return;
        }
        QStringList got;
        for (const QJsonValue& v : organisertest::readWithPython(QStringLiteral("read_ics.py"), path).array())
            got.append(QStringList {v[QLatin1String("SUMMARY")].toString(), v[QLatin1String("DTSTART")].toString(),
                                    v[QLatin1String("DTEND")].toString()}
                           .join(u','));
        QCOMPARE(got, rows);
    }

    // Zone texts that Qt would read as offsets beyond any real zone ("XYZ99":
    // 99 hours behind UTC) are taken as UTC: all-day events starting at noon
    // UTC keep their day on the page and in both formats, in two PC zones. A
    // real zone and a rule fourteen hours ahead are followed.
    void phoneEvents_zoneTextsBeyondRealOffsets_keepTheirDay_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("file");
        QTest::newRow("New York, iCalendar") << QByteArray("America/New_York") << QStringLiteral("names.ics");
        QTest::newRow("Kolkata, iCalendar") << QByteArray("Asia/Kolkata") << QStringLiteral("names.ics");
        QTest::newRow("New York, table") << QByteArray("America/New_York") << QStringLiteral("names.csv");
        QTest::newRow("Kolkata, table") << QByteArray("Asia/Kolkata") << QStringLiteral("names.csv");
    }

    void phoneEvents_zoneTextsBeyondRealOffsets_keepTheirDay()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, file);
        LocalZone local(zone);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + u'/' + file;
        QStringList shown;
        CHECKED(exportFromPhone(QStringLiteral("phone_calendar_zonenames.json"), path,
                                QStringLiteral("Successfully extracted 6 Calendar events."), &shown));
        const bool csv = file.endsWith(QLatin1String(".csv"));
        QStringList got;
        if (csv) {
            got = QString::fromUtf8(testsupport::readFile(path)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            QCOMPARE(got.takeFirst(), QStringLiteral("Summary,Start Date,End Date,RRule,Description"));
        } else {
            for (const QJsonValue& v : organisertest::readWithPython(QStringLiteral("read_ics.py"), path).array())
                got.append(QStringList {v[QLatin1String("SUMMARY")].toString(), v[QLatin1String("DTSTART")].toString(),
                                        v[QLatin1String("DTEND")].toString()}
                               .join(u','));
        }
        QStringList want;
        QStringList wantShown;
        for (const char* summary : {"Fifteen ahead", "Twenty-six ahead", "Ninety-nine behind",
                                    "A second short of a day ahead", "Kolkata", "Fourteen ahead"}) {
            const QString day
                = QString::fromLatin1(summary) + QStringLiteral(",4 Jul 2024 00:00:00,5 Jul 2024 00:00:00");
            want.append(csv ? day + QStringLiteral(",,")
                            : QString::fromLatin1(summary) + QStringLiteral(",2024-07-04,2024-07-05"));
            wantShown.append(day);
        }
        for (QStringList* list : {&got, &want, &shown, &wantShown})
            list->sort();
        QCOMPARE(got, want);
        QCOMPARE(shown, wantShown);
    }

    // A cancel among events whose zones and dates once kept the job from
    // ever reaching its next cancel check: the job ends, says nothing and
    // leaves no file, in both formats.
    void export_cancelledAmongZoneRules_leavesNoFile()
    {
        QList<CalendarEventRecord> events;
        for (int i = 0; i < 1200; ++i) {
            CalendarEventRecord& e = events.emplace_back(0, 0, QStringLiteral("Cal"));
            e.allDay = 1;
            e.tz = i % 2 ? QStringLiteral("EST5EDT,M3.2.0,M15.1.0") : QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3");
            e.start = QDateTime::fromSecsSinceEpoch(i % 3 ? 1720051200 : -62122550400);
        }
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        for (const QString& name : {QStringLiteral("/cancelled.csv"), QStringLiteral("/cancelled.ics")}) {
            testsupport::RecordingJobReport cancelled;
            cancelled.cancelWhenProgressContains(QStringLiteral("10 / 1200"));
            CHECKED(runExport<ExportCalendarThread>(events, dir + name, cancelled));
            QCOMPARE(cancelled.endCount(), 0);
        }
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Which zone texts are followed, and the offset they give on a summer
    // day; every other text is UTC. Each conversion here must end.
    void zoneTexts_onlyThoseWhoseConversionsEndAreFollowed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("offset");
        const auto row = [](const char* text, int offset) { QTest::newRow(text) << QString::fromUtf8(text) << offset; };
        row("Europe/Berlin", 7200);
        row("Asia/Calcutta", 19800);
        row("Etc/GMT+5", -18000);
        row("UTC+05:30", 19800);
        row("GMT-3", -10800);
        row("GMT+0545", 20700);
        row("CET-1CEST,M3.5.0,M10.5.0/3", 7200);
        row("<-03>3<-02>,M3.5.0/-2,M10.5.0/-1", -7200);
        row("EST5EDT,J60,300", -14400);
        row("America/New_York", -14400);
        row("EST5EDT", -14400);
        row("<+14>-14", 50400);
        row("ABC-13DEF,M3.2.0,M11.1.0", 50400);
        // Taken as UTC.
        row("EST5EDT,M3.2.0,M15.1.0", 0);
        row("EST5EDT,M0.2.0,M11.1.0", 0);
        row("EST5EDT,M3.9.0,M11.1.0", 0);
        row("EST5EDT,M3.2.7,M11.1.0", 0);
        row("EST5EDT,M3.2.0,M99999999999.1.0", 0);
        row("EST5EDT,J0,J300", 0);
        row("EST5EDT,M3.2.0", 0);
        row("GMT+15", 0);
        // Offsets beyond any real zone, summer time fifteen hours ahead too.
        row("XYZ-15", 0);
        row("abc-15", 0);
        row("UTF-26", 0);
        row("XYZ99", 0);
        row("ABC-24:59:59", 0);
        row("<+15>-15", 0);
        row("ABC-14DEF,M3.2.0,M11.1.0", 0);
        row("../../../../etc/localtime", 0);
        row("/usr/share/zoneinfo/Europe/Berlin", 0);
        row("Europe/Berlin\nX", 0);
        row("", 0);
    }

    void zoneTexts_onlyThoseWhoseConversionsEndAreFollowed()
    {
        QFETCH(QString, text);
        QFETCH(int, offset);
        const QTimeZone zone = records::eventTimeZone(text);
        QVERIFY(zone.isValid());
        QCOMPARE(zone.offsetFromUtc(QDateTime(QDate(2024, 7, 4), QTime(12, 0), QTimeZone::utc())), offset);
    }

private:
    // Exports every event of a simulated phone made from fixture through its
    // page into path, and checks the message that ends the export.
    // shown, when given, gets the page's event rows as "summary,start,end".
    [[nodiscard]] bool exportFromPhone(const QString& fixture, const QString& path, const QString& result,
                                       QStringList* shown = nullptr,
                                       std::source_location at = std::source_location::current())
    {
        testsupport::SimPhone sim(QStringLiteral("127.0.112.24"),
                                  testsupport::fixtureFile(QStringLiteral("tests/views/organiser/data/") + fixture));
        HELPER_VERIFY2(sim.ok(), qPrintable(sim.error));
        ScriptedPrompt prompt;
        CalendarMainForm page(addPhone(sim), devicesRoot());
        prompt.answerSaveFile(path);
        prompt.answerMessage(QMessageBox::Ok, result);
        if (!triggerAction(page, QStringLiteral("Extract Calendar events"), at))
            return false;
        HELPER_VERIFY_SCRIPT_DONE(prompt);
        if (shown) {
            const ItemModelCalendar& model = *page.calendarModel();
            for (int c = 0; c < model.rowCount(); ++c) {
                const QModelIndex calendar = model.index(c, 0);
                for (int r = 0; r < model.rowCount(calendar); ++r)
                    shown->append(QStringList {model.index(r, 0, calendar).data().toString(),
                                               model.index(r, 1, calendar).data().toString(),
                                               model.index(r, 2, calendar).data().toString()}
                                      .join(u','));
            }
        }
        return true;
    }
};

QTEST_MAIN(TestCalendarPage)
#include "test_calendarpage.moc"
