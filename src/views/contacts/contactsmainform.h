// The contacts page of a phone (connected or virtual) or of a local backup
// folder: the contacts sorted by name with a search box above and their
// count below, and the card of the selected contact beside them. Commands:
// search, export, print, backup (phone pages) and import (backup folders).
//
// A connected phone's contacts are loaded from the phone into its cache on
// the page's first opening after the phone connected.
//
// Adding, editing and deleting contacts and sending contacts to a phone
// (transfer, import on a phone page) are shown but disabled: they need the
// contact editor and the job that sends contacts to a phone.
#pragma once

#include "records/contact.h"
#include "views/common/abscategorypage.h"
#include "views/contacts/itemmodelcontacts.h"

#include <QItemSelection>
#include <QList>

#include <memory>

class ContactDisplayer;
class LocalContactsDb;
class MyTreeView;
class QLabel;
class QLineEdit;
namespace Ui {
class ContactsMainForm;
}

class ContactsMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    ContactsMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~ContactsMainForm() override;

    // Reads every contact of the database into the list and the count; the
    // card empties.
    void reload();
    // Copies of the selected rows' contacts, in selection order.
    QList<pim::_Contact> selectedContacts() const;

    MyTreeView* listView() const;
    ItemModelContacts* contactModel() const { return model; }
    ContactDisplayer* card() const;
    QLabel* countLabel() const;
    QLineEdit* keywordEdit() const;
    // The database path the page shows; empty without one.
    QString databasePath() const;

signals:
    void backupFinished(QString localDbName);

public slots:
    void onContactsTreeItemSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onBtnSearchPressed();
    void contextMenu() { execContextMenu(); }
    void miBackup() { backup(selectedContacts()); }
    void miToolbarBackup() { backup(selectedOrAll()); }
    void miExport() { exportToFile(selectedContacts()); }
    void miToolbarExport() { exportToFile(selectedOrAll()); }
    void miPrint() { printContacts(selectedContacts()); }
    void miToolbarPrint() { printContacts(selectedOrAll()); }
    void miImport();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    void backup(const QList<pim::_Contact>& contacts);
    void exportToFile(const QList<pim::_Contact>& contacts);
    void printContacts(const QList<pim::_Contact>& contacts);
    QList<pim::_Contact> selectedOrAll() const;

    std::unique_ptr<Ui::ContactsMainForm> form;
    std::unique_ptr<LocalContactsDb> database;
    ItemModelContacts* model;
};
