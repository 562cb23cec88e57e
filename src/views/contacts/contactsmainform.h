// The contacts page of a phone (connected or virtual) or of a local backup
// folder: the contacts sorted by name with a search box above and their
// count below, and the card of the selected contact beside them. Commands:
// search, export, print, backup (phone pages), and import, add, edit and
// delete (backup folders).
//
// A connected phone's contacts are loaded from the phone into its cache on
// the page's first opening after the phone connected.
//
// Everything that changes a phone's contacts (add, edit, delete, transfer,
// import on a phone page) is shown but disabled: the phone must take each
// change before its cache may keep it, and the job that sends changes to a
// phone is not there yet.
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

    // Runs the editor on the contact (an empty one adds a contact) and
    // stores the changes in one transaction; on success the contact is
    // replaced by its stored state. False when nothing was stored (the user
    // cancelled, changed nothing, or storing failed and was rolled back).
    bool editContact(pim::_Contact& contact);

signals:
    void backupFinished(QString localDbName);

public slots:
    void onContactsTreeItemSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onContactsTreeItemDoubleClicked(const QModelIndex& index);
    void onBtnSearchPressed();
    void contextMenu() { execContextMenu(); }
    void miBackup() { backup(selectedContacts()); }
    void miToolbarBackup() { backup(selectedOrAll()); }
    void miExport() { exportToFile(selectedContacts()); }
    void miToolbarExport() { exportToFile(selectedOrAll()); }
    void miPrint() { printContacts(selectedContacts()); }
    void miToolbarPrint() { printContacts(selectedOrAll()); }
    void miImport();
    void miAdd();
    void miEdit();
    void miDelete();
    void miToolbarDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    void backup(const QList<pim::_Contact>& contacts);
    void exportToFile(const QList<pim::_Contact>& contacts);
    void printContacts(const QList<pim::_Contact>& contacts);
    QList<pim::_Contact> selectedOrAll() const;
    // Edits the contact of a list row and shows its stored state there.
    void editRow(const QModelIndex& index);
    // Adding, editing and deleting: backup folders only for now.
    bool canChange() const;

    std::unique_ptr<Ui::ContactsMainForm> form;
    std::unique_ptr<LocalContactsDb> database;
    ItemModelContacts* model;
};
