// The call history page of a phone (connected or virtual) or of a local
// backup folder: the calls newest first, their count, and backup, transfer
// to another phone, export and (backup folders only) delete.
//
// A connected phone's calls are loaded from the phone into its cache on the
// page's first opening after the phone connected.
#pragma once

#include "records/callrecord.h"
#include "shell/absmainform.h"
#include "shell/abstreeitemmodel.h"
#include "views/organiser/itemmodelcall.h"

#include <QList>
#include <QSharedPointer>

class LocalCallHistoryDb;
class MyTreeView;
class QLabel;
class QMenu;

class CallHistoryMainForm : public AbsMainForm {
    Q_OBJECT

public:
    // sourceNode: the phone node (kind 4) or backup folder node (kind 5)
    // above the Call History node; devicesRoot: the "Devices" root. Neither
    // is owned.
    CallHistoryMainForm(AbsTreeItemModel::_ItemNode* sourceNode, AbsTreeItemModel::_ItemNode* devicesRoot,
                        QWidget* parent = nullptr);
    ~CallHistoryMainForm() override;

    QList<QAction*> createToolbarActions() override;

    // Reads every call of the database into the list and the count.
    void reload();
    // Copies of the selected rows' calls, in selection order.
    QList<CallRecord> getSelectedCalls() const;

    // The context menu's entries for the current selection (null when the
    // menu would not open); the caller owns the menu.
    QMenu* createContextMenu();

    MyTreeView* listView() const { return listCalls; }
    ItemModelCall* callModel() { return &model; }
    QLabel* countLabel() const { return lbCount; }
    // The database path the page shows; empty without one.
    QString databasePath() const;

signals:
    void backupFinished(QString localDbName);

public slots:
    void contextMenu();
    void miExport();
    void miToolbarExport();
    void miBackup();
    void miToolbarBackup();
    void miA2A();
    void miToolbarA2A();
    void miDB2A();
    void miToolbarDB2A();
    void miDelete();
    void miToolbarDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setupUi();
    void openSource();
    void loadFromPhone();
    void backup(const QList<CallRecord>& calls);
    void exportToFile(const QList<CallRecord>& calls);
    void transferToAndroid(const QList<CallRecord>& calls);
    void deleteSelected();
    void deleteAll();
    QList<CallRecord> selectedOrAll() const;
    int phoneCount() const;
    int sourceKind() const;

    AbsTreeItemModel::_ItemNode* sourceNode;
    AbsTreeItemModel::_ItemNode* devicesRoot;
    QSharedPointer<LocalCallHistoryDb> database;
    ItemModelCall model;
    MyTreeView* listCalls = nullptr;
    QLabel* lbCount = nullptr;
};
