// The call history page of a phone (connected or virtual) or of a local
// backup folder: the calls newest first, their count, and backup, transfer
// to another phone, export and (backup folders only) delete.
//
// A connected phone's calls are loaded from the phone into its cache on the
// page's first opening after the phone connected.
#pragma once

#include "records/callrecord.h"
#include "views/common/abscategorypage.h"
#include "views/organiser/itemmodelcall.h"

#include <QList>
#include <QSharedPointer>

#include <memory>

class LocalCallHistoryDb;
class MyTreeView;
class QLabel;
namespace Ui {
class CallHistoryMainForm;
}

class CallHistoryMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    CallHistoryMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~CallHistoryMainForm() override;

    // Reads every call of the database into the list and the count.
    void reload();
    // Copies of the selected rows' calls, in selection order.
    QList<CallRecord> getSelectedCalls() const;

    MyTreeView* listView() const;
    ItemModelCall* callModel() const { return model; }
    QLabel* countLabel() const;
    // The database path the page shows; empty without one.
    QString databasePath() const;

signals:
    void backupFinished(QString localDbName);

public slots:
    void contextMenu() { execContextMenu(); }
    void miExport() { exportToFile(getSelectedCalls()); }
    void miToolbarExport() { exportToFile(selectedOrAll()); }
    void miBackup() { backup(getSelectedCalls()); }
    void miToolbarBackup() { backup(selectedOrAll()); }
    void miA2A() { transferToAndroid(getSelectedCalls()); }
    void miToolbarA2A() { transferToAndroid(selectedOrAll()); }
    void miDB2A() { miA2A(); }
    void miToolbarDB2A() { miToolbarA2A(); }
    void miDelete() { deleteSelected(); }
    void miToolbarDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    void backup(const QList<CallRecord>& calls);
    void exportToFile(const QList<CallRecord>& calls);
    void transferToAndroid(const QList<CallRecord>& calls);
    void deleteSelected();
    void deleteAll();
    QList<CallRecord> selectedOrAll() const;

    std::unique_ptr<Ui::CallHistoryMainForm> form;
    QSharedPointer<LocalCallHistoryDb> database;
    ItemModelCall* model;
};
