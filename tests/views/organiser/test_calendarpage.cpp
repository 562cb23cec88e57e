// The calendar page end to end against simulated phones: the first load and
// the cached second visit, backup, transfer to a second phone, deletion on a
// backup page, a damaged database, the page from the main window, and a
// screenshot. The export job alone: expected CSV and iCalendar files, and
// hostile events read back by python3-icalendar.
#include "views/organiser/calendarmainform.h"
#include "views/organiser/exportcalendarthread.h"
#include "views/organiser/organiserpages.h"

#include "jobs/localdbselform.h"
#include "records/localcalendarsdb.h"
#include "shell/core/dataroot.h"
#include "shell/itemmodelmain.h"
#include "shell/main/mainwindow.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QtTest>

namespace {

constexpr char kAddress[] = "127.0.112.21";
constexpr char kSecondAddress[] = "127.0.112.22";

QStringList summaries(const QList<CalendarEventRecord>& events)
{
    QStringList out;
    for (const CalendarEventRecord& e : events)
        out << e.summary;
    return out;
}

void select(MyTreeView* view, const QList<QModelIndex>& indexes)
{
    view->selectionModel()->clearSelection();
    for (const QModelIndex& i : indexes)
        view->selectionModel()->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

CalendarEventRecord makeEvent(const QString& summary, qint64 start, qint64 end, const QString& description = QString())
{
    CalendarEventRecord e(0, 0, QStringLiteral("Cal"));
    e.summary = summary;
    e.description = description;
    if (start >= 0)
        e.start = QDateTime::fromSecsSinceEpoch(start);
    if (end >= 0)
        e.end = QDateTime::fromSecsSinceEpoch(end);
    return e;
}

// Commas, semicolons, backslashes (also before an "n"), line breaks, long
// non-ASCII texts with characters outside the BMP, an all-day event, a rule,
// and missing or reversed times.
QList<CalendarEventRecord> hostileEvents()
{
    QString longTitle;
    while (longTitle.size() < 200)
        longTitle += QStringLiteral("Überraschungsfeier für Jürgen 🎉, Ωμέγα; ");
    longTitle.truncate(200);
    CalendarEventRecord plain = makeEvent(QStringLiteral("Lunch, then; coffee \\ tea"), 1700000000, 1700003600,
                                          QStringLiteral("C:\\Users\\table, a; b\nsecond line\n\nafter an empty one"));
    plain.rrule = QStringLiteral("FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20241231T000000Z");
    CalendarEventRecord multi
        = makeEvent(QStringLiteral("Line one\nLine two\nLine three"), 1700100000, 1700103600, longTitle);
    CalendarEventRecord allDay = makeEvent(QStringLiteral("Holiday"), 1699920000, 1700092800);
    allDay.allDay = 1;
    allDay.tz = QStringLiteral("UTC");
    return {plain,
            multi,
            makeEvent(longTitle, 1700200000, 1700203600, QStringLiteral("ends ,;\\")),
            allDay,
            makeEvent(QStringLiteral("No times"), -1, -1),
            makeEvent(QStringLiteral("Reversed"), 1700300000, 1700290000),
            makeEvent(QString(), 1700400000, 1700403600)};
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void runExport(const QList<CalendarEventRecord>& events, const QString& path, testsupport::RecordingJobReport& report)
{
    ExportCalendarThread job(events, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
}

// The events of an iCalendar file as python3-icalendar reads them.
QJsonArray readWithIcalendar(const QString& path)
{
    static const char script[] = R"(
import json, sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
out = []
for ev in cal.walk('VEVENT'):
    d = {k: str(ev[k]) for k in ('SUMMARY', 'DESCRIPTION', 'UID') if k in ev}
    for k in ('DTSTART', 'DTEND', 'DTSTAMP'):
        if k in ev:
            d[k] = ev.decoded(k).isoformat()
    if 'RRULE' in ev:
        d['RRULE'] = ev['RRULE'].to_ical().decode()
    d['errors'] = len(ev.errors)
    out.append(d)
print(json.dumps(out))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!python.waitForFinished(15000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return QJsonArray();
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

// A rule as python3-icalendar writes it back.
QString canonicalRule(const QString& rule)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, icalendar; "
                                 "print(icalendar.vRecur(icalendar.vRecur.from_ical(sys.argv[1])).to_ical().decode())"),
                  rule});
    python.waitForFinished(15000);
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}

// UID and DTSTAMP differ on every export: they are checked for their form
// and masked.
QByteArray masked(QByteArray ics)
{
    static const QRegularExpression uid(QStringLiteral("^UID:[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\r$"),
                                        QRegularExpression::MultilineOption);
    static const QRegularExpression stamp(QStringLiteral("^DTSTAMP:\\d{8}T\\d{6}Z\r$"),
                                          QRegularExpression::MultilineOption);
    QString text = QString::fromUtf8(ics);
    text.replace(uid, QStringLiteral("UID:*\r"));
    text.replace(stamp, QStringLiteral("DTSTAMP:*\r"));
    return text.toUtf8();
}

AbsTreeItemModel::_ItemNode* childOfKind(AbsTreeItemModel::_ItemNode* node, int kind)
{
    for (AbsTreeItemModel::_ItemNode* c : node->children)
        if (c->kind() == kind)
            return c;
    return nullptr;
}

} // namespace

class TestCalendarPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        m_sim = std::make_unique<testsupport::SimPhone>(
            QString::fromLatin1(kAddress),
            testsupport::fixtureFile(QStringLiteral("tests/views/organiser/data/phone_calendars.json")));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }

    void init() { m_phone = addPhone(*m_sim); }
    void cleanup() { cleanupPage(); }

    void firstVisit_loadsOnce_secondVisitReadsTheCache()
    {
        ScriptedPrompt prompt;
        const int loadsBefore = m_sim->loads(QStringLiteral("calendars"));
        {
            CalendarMainForm page(m_phone, devicesRoot());
            checkModel(page.calendarModel());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(prompt.questions().size(), 1);
            QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        }
        QCOMPARE(m_sim->loads(QStringLiteral("calendars")), loadsBefore + 1);
        QVERIFY(!m_phone->device.calendarsLoadTime.isNull());

        // Second visit: the cache only, no dialog, no session.
        CalendarMainForm page(m_phone, devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(m_sim->loads(QStringLiteral("calendars")), loadsBefore + 1);

        // Calendars by name ignoring case; events later first; the count
        // counts events only.
        const ItemModelCalendar& model = *page.calendarModel();
        QStringList headers;
        for (int i = 0; i < model.columnCount(); ++i)
            headers << model.headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringLiteral("Calendar/Event|Start Date|End Date|All day|Rule").split(u'|'));
        QCOMPARE(column(model, 0), QStringLiteral("Empty|home|Work").split(u'|'));
        QCOMPARE(column(model, 1), QStringLiteral("--|--|--").split(u'|'));
        const QModelIndex work = model.index(2, 0);
        QCOMPARE(column(model, 0, work),
                 (QStringList {QStringLiteral("Stand-up"),
                               QStringLiteral("Review, round 1; draft Notes:Room 4 Bring notes")}));
        QCOMPARE(column(model, 4, work), (QStringList {QString(), QStringLiteral("FREQ=WEEKLY;BYDAY=MO,WE")}));
        const QModelIndex holiday = model.index(0, 0, model.index(1, 0));
        QCOMPARE(holiday.data().toString(), QStringLiteral("Holiday Beach"));
        QCOMPARE(holiday.data(Qt::ToolTipRole).toString(), QStringLiteral("Holiday\nBeach"));
        QCOMPARE(model.index(0, 3, model.index(1, 0)).data().toString(), QStringLiteral("Yes"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 3"));
        QVERIFY(page.listView()->isExpanded(work));

        // A calendar and one of its events give each event once, the
        // calendar's in database order; an empty calendar alone opens no menu.
        select(page.listView(), {work, model.index(0, 0, work)});
        QCOMPARE(summaries(page.getSelectedEvents()),
                 (QStringList {QStringLiteral("Review, round 1; draft"), QStringLiteral("Stand-up")}));
        select(page.listView(), {model.index(0, 0)});
        QVERIFY(page.getSelectedEvents().isEmpty());
        QVERIFY(!page.createContextMenu());
        select(page.listView(), {holiday});
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Backup selected Calendar events|Transfer selected Calendar events to other "
                                "Android|Extract selected Calendar events")
                     .split(u'|'));

        // Without a selection the toolbar export takes all events in display
        // order, as iCalendar under the preselected filter.
        page.listView()->selectionModel()->clearSelection();
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        prompt.answerSaveFile(dir + QStringLiteral("/events"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 3 Calendar events."));
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        const ScriptedPrompt::Question asked = prompt.questions().at(prompt.questions().size() - 3);
        QCOMPARE(asked.filter, QStringLiteral("CSV Files(*.csv);;iCalendar Files(*.ics)"));
        QCOMPARE(asked.selectedFilter, QStringLiteral("iCalendar Files(*.ics)"));
        const QJsonArray read = readWithIcalendar(dir + QStringLiteral("/events.ics"));
        QStringList read0;
        for (const QJsonValue& v : read)
            read0 << v.toObject().value(QLatin1String("SUMMARY")).toString();
        QCOMPARE(read0,
                 (QStringList {QStringLiteral("Holiday\nBeach"), QStringLiteral("Stand-up"),
                               QStringLiteral("Review, round 1; draft")}));
        QCOMPARE(read.at(0).toObject().value(QLatin1String("DTSTART")).toString(), QStringLiteral("2023-11-14"));

        page.resize(867, 420);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        select(page.listView(), {model.index(1, 0, work)});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/calendar_page.png")));
    }

    void backup_emitsBackupFinished_andTheFolderCountGrows()
    {
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        QSignalSpy finished(&page, &CalendarMainForm::backupFinished);
        auto choose = [](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            form->comboBox()->setEditText(QStringLiteral("Trip"));
            form->onBtnOkPress();
        };
        const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Trip/calendars.db"));

        const ItemModelCalendar& model = *page.calendarModel();
        select(page.listView(), {model.index(0, 0, model.index(1, 0))});
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 1 Calendar events."));
        page.miBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), QStringLiteral("Trip"));
        QCOMPARE(LocalCalendarsDb(file).countEvents(), 1);

        page.listView()->selectionModel()->clearSelection();
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok);
        page.miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(LocalCalendarsDb(file).countEvents(), 3);
        // The reminders came along.
        int reminders = 0;
        for (const CalendarRecord& c : LocalCalendarsDb(file).loadAll())
            for (const CalendarEventRecord& e : c.events)
                reminders += int(e.reminders.size());
        QCOMPARE(reminders, 1);
    }

    void transfer_toASecondPhone_arrivesInTheRestoreBatches()
    {
        testsupport::SimPhone second(QString::fromLatin1(kSecondAddress));
        QVERIFY2(second.ok(), qPrintable(second.error));
        _AndroidDeviceItemNode* target = addPhone(second);
        ScriptedPrompt prompt;
        CalendarMainForm page(m_phone, devicesRoot());
        QVERIFY(page.createToolbarActions().at(1)->isEnabled());

        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 3 Calendar events to Android."));
        page.miToolbarA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(second.verdict(1), QString());
        QCOMPARE(second.store->batchSizes(QStringLiteral("calendars")), QList<int> {3});
        const QList<QVariantMap> got = second.store->records(QStringLiteral("calendars"));
        QCOMPARE(got.at(2).value(QStringLiteral("summary")).toString(), QStringLiteral("Review, round 1; draft"));
        QCOMPARE(got.at(2).value(QStringLiteral("reminders")).toStringList(), QStringList {QStringLiteral("15,1")});
        // The target's cache holds what the phone acknowledged.
        QCOMPARE(
            LocalCalendarsDb(target->device.cacheDir().absoluteFilePath(QStringLiteral("calendars.db"))).countEvents(),
            3);
    }

    // Deletion exists on backup pages only; the last event of a calendar
    // takes the calendar along; a damaged file is reported and kept.
    void backupPage_deletes_andADamagedFileIsKept()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("calendars.db"));
        {
            LocalCalendarsDb db(file);
            for (const CalendarEventRecord& e : hostileEvents().mid(0, 3))
                db.addEvent(0, e, nullptr);
            CalendarEventRecord other = makeEvent(QStringLiteral("Alone"), 1600000000, 1600003600);
            other.calendarName = QStringLiteral("Other");
            db.addEvent(0, other, nullptr);
        }
        ScriptedPrompt prompt;
        CalendarMainForm page(backup, devicesRoot());
        checkModel(page.calendarModel());
        QCOMPARE(texts(page.createToolbarActions()),
                 QStringLiteral("Transfer Calendar events from Database to Android|Extract Calendar events|Delete "
                                "Calendar events")
                     .split(u'|'));
        QCOMPARE(column(*page.calendarModel(), 0), QStringLiteral("Cal|Other").split(u'|'));

        select(page.listView(), {page.calendarModel()->index(0, 0, page.calendarModel()->index(1, 0))});
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Calendar events?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted Calendar events."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.calendarModel(), 0), QStringList {QStringLiteral("Cal")});
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 3"));

        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete all Calendar events?"));
        page.miToolbarDelete();
        QCOMPARE(LocalCalendarsDb(file).countEvents(), 3);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Calendar events?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Calendar events."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.calendarModel()->rowCount(), 0);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total: 0"));

        // A file that is no database: an error, the file untouched.
        _LocalDbItemNode* damaged = addBackup(QStringLiteral("Damaged"));
        const QString bad = damaged->dir.absoluteFilePath(QStringLiteral("calendars.db"));
        const QByteArray garbage = QByteArray("SQLite format 3") + QByteArray(4000, '\x5a');
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("not a database"));
        CalendarMainForm damagedPage(damaged, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(damagedPage.calendarModel()->rowCount(), 0);
        QCOMPARE(readAll(bad), garbage);
    }

    void mainWindow_showsTheOrganiserPages()
    {
        registerOrganiserPages(MainWindow::pages());
        addBackup(QStringLiteral("Shown"));
        MainWindowOptions o;
        o.startMonitor = false;
        o.usbTipsDelayMs = -1;
        o.checkForUpdate = false;
        testsupport::UrlRecorder opened;
        MainWindow win(nullptr, o);
        AbsTreeItemModel::_ItemNode* node = win.model()->localDbRoot()->children.value(0);
        QVERIFY(node);
        win.selectNode(node);
        win.selectNode(childOfKind(node, NAV_CALENDAR));
        QVERIFY(qobject_cast<CalendarMainForm*>(win.currentPage()));
        win.selectNode(childOfKind(node, NAV_BOOKMARKS));
        QCOMPARE(QString::fromLatin1(win.currentPage()->metaObject()->className()),
                 QStringLiteral("BookmarksMainForm"));
        MainWindow::pages() = PageRegistry();
    }

    void export_matchesTheExpectedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("csv") << "events.csv"
                             << "calendar_expected.csv";
        QTest::newRow("CSV upper case") << "events.CSV"
                                        << "calendar_expected.csv";
        QTest::newRow("ics") << "events.ics"
                             << "calendar_expected.ics";
        QTest::newRow("txt") << "events.txt"
                             << "calendar_expected.ics";
        QTest::newRow("no suffix") << "events"
                                   << "calendar_expected.ics";
    }

    void export_matchesTheExpectedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QList<CalendarEventRecord> events = hostileEvents();
        // A rule cannot start a line of its own.
        events[0].rrule = QStringLiteral("FREQ=DAILY\r\nATTACH:http://evil.example/");
        // A backslash before an "n" is no line break (python3-icalendar 4
        // reads this one wrongly, so it is checked here only).
        events[1].description = QStringLiteral("a literal \\n and \\N, then\r\na break");
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QLatin1Char('/') + name;
        testsupport::RecordingJobReport report;
        runExport(events, path, report);
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 7 Calendar events.")});
        QCOMPARE(report.progressTexts().last(), QStringLiteral("7 / 7"));
        QCOMPARE(masked(readAll(path)),
                 readAll(testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/") + expected));
    }

    void export_hostileEvents_readBackIntactByIcalendar()
    {
        const QList<CalendarEventRecord> events = hostileEvents();
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/hostile.ics");
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        testsupport::RecordingJobReport report;
        runExport(events, path, report);
        QVERIFY(report.succeeded());

        // Only CR LF line ends; no line over 75 octets; no character cut.
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QByteArray> lines = bytes.chopped(1).split('\n');
        for (const QByteArray& line : lines) {
            QVERIFY2(line.endsWith('\r') && line.count('\r') == 1, line.constData());
            QVERIFY2(line.size() - 1 <= 75, line.constData());
            QStringDecoder utf8(QStringDecoder::Utf8);
            (void)QString(utf8(line));
            QVERIFY2(!utf8.hasError(), line.constData());
        }

        const QJsonArray read = readWithIcalendar(path);
        QCOMPARE(read.size(), events.size());
        QSet<QString> uids;
        for (int i = 0; i < events.size(); ++i) {
            const CalendarEventRecord& e = events.at(i);
            const QJsonObject got = read.at(i).toObject();
            QCOMPARE(got.value(QLatin1String("errors")).toInt(), 0);
            QCOMPARE(got.value(QLatin1String("SUMMARY")).toString(), e.summary);
            QCOMPARE(got.value(QLatin1String("DESCRIPTION")).toString(), e.description);
            uids.insert(got.value(QLatin1String("UID")).toString());
            const QDateTime stamp = QDateTime::fromString(got.value(QLatin1String("DTSTAMP")).toString(), Qt::ISODate);
            QVERIFY(stamp >= before && stamp <= QDateTime::currentDateTimeUtc());
            QVERIFY(got.value(QLatin1String("DTSTAMP")).toString().endsWith(QLatin1String("+00:00")));
        }
        QCOMPARE(uids.size(), events.size());

        const QJsonObject plain = read.at(0).toObject();
        QCOMPARE(plain.value(QLatin1String("DTSTART")).toString(), QStringLiteral("2023-11-14T22:13:20"));
        QCOMPARE(plain.value(QLatin1String("DTEND")).toString(), QStringLiteral("2023-11-14T23:13:20"));
        QCOMPARE(plain.value(QLatin1String("RRULE")).toString(), canonicalRule(events.at(0).rrule));
        // The all-day event is a day: its start and exclusive end as dates.
        const QJsonObject allDay = read.at(3).toObject();
        QCOMPARE(allDay.value(QLatin1String("DTSTART")).toString(), QStringLiteral("2023-11-14"));
        QCOMPARE(allDay.value(QLatin1String("DTEND")).toString(), QStringLiteral("2023-11-16"));
        // No times: neither is written; reversed: the end is left out.
        QVERIFY(!read.at(4).toObject().contains(QLatin1String("DTSTART")));
        QVERIFY(!read.at(4).toObject().contains(QLatin1String("DTEND")));
        QCOMPARE(read.at(5).toObject().value(QLatin1String("DTSTART")).toString(),
                 QStringLiteral("2023-11-18T09:33:20"));
        QVERIFY(!read.at(5).toObject().contains(QLatin1String("DTEND")));
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_sim;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

QTEST_MAIN(TestCalendarPage)
#include "test_calendarpage.moc"
