// The calendar page of a phone (connected or virtual) or of a local backup
// folder: the calendars with their events, the number of events, and backup,
// transfer to another phone, export and (backup folders only) delete.
//
// A connected phone's calendars are loaded from the phone into its cache on
// the page's first opening after the phone connected.
#pragma once

#include "records/calendarrecord.h"
#include "views/common/absrecordpage.h"
#include "views/organiser/itemmodelcalendar.h"

#include <QList>
#include <QSharedPointer>

#include <memory>

class LocalCalendarsDb;
namespace Ui {
class CalendarMainForm;
}

class CalendarMainForm : public AbsRecordPage {
    Q_OBJECT

public:
    CalendarMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~CalendarMainForm() override;

    // Reads every calendar of the database into the tree and the count.
    void reload();
    // The events of the selected rows, in selection order: a calendar row
    // gives all its events (in database order), an event row its own; each
    // event once.
    QList<CalendarEventRecord> getSelectedEvents() const;
    // Every event, calendar after calendar, in display order.
    QList<CalendarEventRecord> getAllEvents() const;

    ItemModelCalendar* calendarModel() const { return model; }

signals:
    void backupFinished(QString localDbName);

public slots:
    void contextMenu() { execContextMenu(); }
    void miExport() { exportToFile(getSelectedEvents()); }
    void miToolbarExport() { exportToFile(selectedOrAll()); }
    void miBackup() { backup(getSelectedEvents()); }
    void miToolbarBackup() { backup(selectedOrAll()); }
    void miDelete() { deleteSelected(); }
    void miToolbarDelete();
    void miA2A() { transferToAndroid(getSelectedEvents()); }
    void miToolbarA2A() { transferToAndroid(selectedOrAll()); }
    void miDB2A() { miA2A(); }
    void miToolbarDB2A() { miToolbarA2A(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    void backup(const QList<CalendarEventRecord>& events);
    void exportToFile(const QList<CalendarEventRecord>& events);
    void transferToAndroid(const QList<CalendarEventRecord>& events);
    void deleteSelected();
    void deleteAll();
    // The selection's events when a row is selected, else all events.
    QList<CalendarEventRecord> selectedOrAll() const;

    std::unique_ptr<Ui::CalendarMainForm> form;
    QSharedPointer<LocalCalendarsDb> database;
    ItemModelCalendar* model;
};
