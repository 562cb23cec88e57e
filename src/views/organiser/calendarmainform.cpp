#include "calendarmainform.h"

#include "ui_calendarmainform.h"

#include "jobs/androidrestorecalendarsthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadcalendarsthread.h"
#include "records/localcalendarsdb.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "views/common/filechoice.h"
#include "views/organiser/exportcalendarthread.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QResizeEvent>
#include <QSet>

namespace {
constexpr char kCalendarsDb[] = "calendars.db";
} // namespace

CalendarMainForm::CalendarMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsRecordPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::CalendarMainForm>())
    , model(own(new ItemModelCalendar))
{
    form->setupUi(this);
    connect(form->listCalendars, &MyTreeView::createContextMenu, this, &CalendarMainForm::contextMenu);
    setRecordList(form->listCalendars, form->lbCount, model);
    setCommands(recordCommands(
        this,
        {.backup = {QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_CALENDAR_EVENTS"), QT_TR_NOOP("IDS_MI_BACKUP_CALENDAR_EVENTS")},
         .toPhone = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"), QT_TR_NOOP("IDS_MI_TRANSFER_A2A")},
         .fromBackup = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"), QT_TR_NOOP("IDS_MI_TRANSFER_DB2A")},
         .exportTo = {QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_CALENDAR_EVENTS"), QT_TR_NOOP("IDS_MI_EXPORT_CALENDAR_EVENTS")},
         .remove = {QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_CALENDAR_EVENTS"), QT_TR_NOOP("IDS_MI_DELETE")}}));
    database = openDatabase<LocalCalendarsDb, AndroidLoadCalendarsThread>(
        kCalendarsDb, &AndroidDeviceInfo::calendarsLoadTime, tr("IDS_LOADING_ANDROID_CALENDARS"));
    reload();
}

CalendarMainForm::~CalendarMainForm() = default;

void CalendarMainForm::reload()
{
    if (!database)
        return;
    try {
        const QList<CalendarRecord> calendars = database->loadAll();
        qsizetype events = 0;
        for (const CalendarRecord& c : calendars)
            events += c.events.size();
        model->setCalendars(calendars);
        form->listCalendars->expandAll();
        form->lbCount->setText(QStringLiteral("Total: %1").arg(events));
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

QList<CalendarEventRecord> CalendarMainForm::getSelectedEvents() const
{
    QList<CalendarEventRecord> result;
    if (!form->listCalendars->selectionModel())
        return result;
    QSet<qint64> listed;
    auto add = [&](const CalendarEventRecord& e) {
        if (!listed.contains(e.id)) {
            listed.insert(e.id);
            result.append(e);
        }
    };
    for (const QModelIndex& index : form->listCalendars->selectionModel()->selectedRows(0)) {
        if (const CalendarRecord* calendar = model->calendarAt(index)) {
            for (const CalendarEventRecord& e : calendar->events)
                add(e);
        } else if (const CalendarEventRecord* event = model->eventAt(index)) {
            add(*event);
        }
    }
    return result;
}

QList<CalendarEventRecord> CalendarMainForm::getAllEvents() const
{
    QList<CalendarEventRecord> result;
    for (const CalendarRecord& c : model->calendars())
        result += c.events;
    return result;
}

QList<CalendarEventRecord> CalendarMainForm::selectedOrAll() const
{
    return hasSelectedRows() ? getSelectedEvents() : getAllEvents();
}

bool CalendarMainForm::hasSelection(int) const
{
    return !getSelectedEvents().isEmpty();
}

void CalendarMainForm::miToolbarDelete()
{
    if (hasSelectedRows())
        deleteSelected();
    else
        deleteAll();
}

void CalendarMainForm::backup(const QList<CalendarEventRecord>& events)
{
    if (const std::optional<QString> folder = backupRecords<BackupCalendarsThread, LocalCalendarsDb>(
            kCalendarsDb, tr("IDS_TITLE_BACKUPING_CALENDARS"), events))
        emit backupFinished(*folder);
}

void CalendarMainForm::exportToFile(const QList<CalendarEventRecord>& events)
{
    const QString defaultPath = QDir::home().absoluteFilePath(
        QStringLiteral("calendar-events-%1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"))));
    // A name typed without a suffix gets the picked filter's; the job then
    // writes the format of the suffix.
    const std::optional<FileChoice> target = filechoice::askSaveFile(
        nullptr, QString(), defaultPath,
        {{tr("CSV Files(*.csv)"), QStringLiteral("csv")}, {tr("iCalendar Files(*.ics)"), QStringLiteral("ics")}}, 1);
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TITLE_EXPORT_CALENDAR_ITEMS"), this);
    ExportCalendarThread job(events, target->path, &progress);
    runJob(progress, job);
}

void CalendarMainForm::transferToAndroid(const QList<CalendarEventRecord>& events)
{
    transferRecords<AndroidRestoreCalendarsThread, LocalCalendarsDb>(
        kCalendarsDb, tr("IDS_TRANSFER_CALENDAR_TO_ANDROID"), nullptr, events);
}

void CalendarMainForm::deleteSelected()
{
    if (!database)
        return;
    const QList<CalendarEventRecord> events = getSelectedEvents();
    if (deleteInTransaction(*database, tr("IDS_CONFIRM_DEL_CALENDAR_EVENTS"), tr("IDS_DEL_CALENDAR_SUC"), [&] {
            for (const CalendarEventRecord& e : events)
                database->deleteEvent(e.id);
        }))
        reload();
}

void CalendarMainForm::deleteAll()
{
    if (database
        && deleteDatabaseFile(*database, tr("IDS_CONFIRM_DEL_ALL_CALENDAR_EVENTS"),
                              tr("IDS_DEL_ALL_CALENDAR_EVENTS_SUC")))
        reload();
}

void CalendarMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const double w = event->size().width() - 23;
    const int widths[] = {int(w * 0.2), int(w * 0.2), int(w * 0.2), int(w * 0.15), int(w * 0.25)};
    for (int i = 0; i < 5; ++i)
        form->listCalendars->setColumnWidth(i, widths[i]);
}
