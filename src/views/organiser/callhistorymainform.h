// The call history page of a phone (connected or virtual) or of a local
// backup folder: the calls newest first, their count, and backup, transfer
// to another phone, export and (backup folders only) delete.
//
// A connected phone's calls are loaded from the phone into its cache on the
// page's first opening after the phone connected.
#pragma once

#include "records/callrecord.h"
#include "views/common/absrecordpage.h"
#include "views/organiser/itemmodelcall.h"

#include <QList>
#include <QSharedPointer>

#include <memory>

class LocalCallHistoryDb;
namespace Ui {
class CallHistoryMainForm;
}

class CallHistoryMainForm : public AbsRecordPage {
    Q_OBJECT

public:
    CallHistoryMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~CallHistoryMainForm() override;

    // Reads every call of the database into the list and the count.
    void reload();
    // Copies of the selected rows' calls, in selection order.
    QList<CallRecord> getSelectedCalls() const;

    ItemModelCall* callModel() const { return model; }

signals:
    void backupFinished(QString localDbName);

public slots:
    void contextMenu() { execContextMenu(); }
    void miExport() { exportToFile(getSelectedCalls()); }
    void miToolbarExport() { exportToFile(selectedRecordsOrAll(*model)); }
    void miBackup() { backup(getSelectedCalls()); }
    void miToolbarBackup() { backup(selectedRecordsOrAll(*model)); }
    void miA2A() { transferToAndroid(getSelectedCalls()); }
    void miToolbarA2A() { transferToAndroid(selectedRecordsOrAll(*model)); }
    void miDB2A() { miA2A(); }
    void miToolbarDB2A() { miToolbarA2A(); }
    void miDelete() { deleteSelected(); }
    void miToolbarDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void backup(const QList<CallRecord>& calls);
    void exportToFile(const QList<CallRecord>& calls);
    void transferToAndroid(const QList<CallRecord>& calls);
    void deleteSelected();
    void deleteAll();

    std::unique_ptr<Ui::CallHistoryMainForm> form;
    QSharedPointer<LocalCallHistoryDb> database;
    ItemModelCall* model;
};
