#include "calendarmainform.h"

#include "ui_calendarmainform.h"

#include "jobs/androidrestorecalendarsthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadcalendarsthread.h"
#include "records/localcalendarsdb.h"
#include "shell/itemmodelmain.h"
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
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::CalendarMainForm>())
    , model(own(new ItemModelCalendar))
{
    form->setupUi(this);
    connect(form->listCalendars, &MyTreeView::createContextMenu, this, &CalendarMainForm::contextMenu);
    form->listCalendars->setModel(model);

    using C = Command;
    setCommands({
        {.sources = C::PhonePages,
         .icon = ":res/save-to-database.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_CALENDAR_EVENTS"),
         .menuText = QT_TR_NOOP("IDS_MI_BACKUP_CALENDAR_EVENTS"),
         .onToolbar = [this] { miToolbarBackup(); },
         .onMenu = [this] { miBackup(); }},
        {.sources = C::PhonePages,
         .icon = ":res/a2a.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"),
         .menuText = QT_TR_NOOP("IDS_MI_TRANSFER_A2A"),
         .rule = C::Transfer,
         .onToolbar = [this] { miToolbarA2A(); },
         .onMenu = [this] { miA2A(); }},
        {.sources = C::BackupPages,
         .icon = ":res/db2a.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"),
         .menuText = QT_TR_NOOP("IDS_MI_TRANSFER_DB2A"),
         .rule = C::Transfer,
         .onToolbar = [this] { miToolbarDB2A(); },
         .onMenu = [this] { miDB2A(); }},
        {.sources = C::AllSources,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_CALENDAR_EVENTS"),
         .menuText = QT_TR_NOOP("IDS_MI_EXPORT_CALENDAR_EVENTS"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miExport(); }},
        {.sources = C::BackupPages,
         .icon = ":res/mi_delete.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_CALENDAR_EVENTS"),
         .menuText = QT_TR_NOOP("IDS_MI_DELETE"),
         .onToolbar = [this] { miToolbarDelete(); },
         .onMenu = [this] { miDelete(); }},
    });

    const QString path = source().databasePath(QLatin1String(kCalendarsDb));
    if (!path.isEmpty()) {
        database.reset(new LocalCalendarsDb(path));
        if (AndroidDeviceInfo* device = source().device())
            loadPhoneCache(*database, device->calendarsLoadTime, tr("IDS_LOADING_ANDROID_CALENDARS"),
                           [&](ProgressForm& progress) {
                               return std::make_unique<AndroidLoadCalendarsThread>(device, database.data(), &progress);
                           });
    }
    reload();
}

CalendarMainForm::~CalendarMainForm() = default;

MyTreeView* CalendarMainForm::listView() const
{
    return form->listCalendars;
}

QLabel* CalendarMainForm::countLabel() const
{
    return form->lbCount;
}

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

bool CalendarMainForm::hasSelectedRows() const
{
    return form->listCalendars->selectionModel() && form->listCalendars->selectionModel()->hasSelection();
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
    if (!source().isPhonePage())
        return;
    const std::optional<QDir> folder = chooseBackupFolder();
    if (!folder)
        return;
    LocalCalendarsDb db(folder->absoluteFilePath(QLatin1String(kCalendarsDb)));
    ProgressForm progress(tr("IDS_TITLE_BACKUPING_CALENDARS"), this);
    BackupCalendarsThread job(&db, events, &progress);
    if (runJob(progress, job) == JobResult::Succeeded)
        emit backupFinished(folder->dirName());
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
    _AndroidDeviceItemNode* target = chooseTransferTarget();
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TRANSFER_CALENDAR_TO_ANDROID"));
    LocalCalendarsDb db(target->device.cacheDir().absoluteFilePath(QLatin1String(kCalendarsDb)));
    AndroidRestoreCalendarsThread job(&target->device, &db, events, &progress);
    runJob(progress, job);
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
