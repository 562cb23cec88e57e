// The contacts page of a phone (connected or virtual) or of a local backup
// folder: the contacts sorted by name with a search box above and their
// count below, and the card of the selected contact beside them. Commands:
// search, export, print, backup and transfer to another phone (phone
// pages), transfer to a phone (backup folders), import, add, edit and
// delete.
//
// A connected phone's contacts are loaded from the phone into its cache on
// the page's first opening after the phone connected.
//
// On a phone page every change (add, edit, delete, import) is stored in the
// cache in one transaction and sent to the phone inside it; the cache keeps
// it only when the phone took it. A virtual device has no phone to take
// it: its changes are refused. After a send that failed or was cancelled the
// phone may keep part of it, so its cache is loaded from the phone again
// before anything more is sent to it (a transfer's target likewise).
#pragma once

#include "records/contact.h"
#include "views/common/abscategorypage.h"
#include "views/contacts/itemmodelcontacts.h"

#include <QItemSelection>
#include <QList>

#include <functional>
#include <memory>

class AndroidDeviceInfo;
class AndroidSendChangesThread;
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
    void miA2A() { transferToAndroid(selectedContacts()); }
    void miDB2A() { transferToAndroid(selectedContacts()); }
    void miToolbarA2A() { transferToAndroid(selectedOrAll()); }
    void miToolbarDB2A() { transferToAndroid(selectedOrAll()); }
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
    void transferToAndroid(const QList<pim::_Contact>& contacts);
    QList<pim::_Contact> selectedOrAll() const;
    // Edits the contact of a list row and shows its stored state there.
    void editRow(const QModelIndex& index);
    // Adding, editing and deleting: a database to change.
    bool canChange() const;
    // Loads the page's phone's contacts into its cache when they were not
    // since it connected (or since a send to it went wrong). False when that
    // load failed: nothing may be sent then. With reloaded given, a load
    // also reads the list again and *reloaded says so (a selection taken
    // before is gone).
    bool phoneCacheCurrent(bool* reloaded = nullptr);
    // Runs the change sender, set up by setUp, on the page's phone inside
    // the transaction open on the cache; true when the phone took it.
    bool sendToPhone(const QString& title, const std::function<void(AndroidSendChangesThread&)>& setUp);
    // After a send or a transfer to device: the cache mirrors the phone
    // only when it succeeded and nothing stayed behind.
    static void noteSendOutcome(AndroidDeviceInfo* device, bool succeeded, bool outOfStep);
    void deleteFromPhone(const QList<pim::_Contact>& contacts);

    std::unique_ptr<Ui::ContactsMainForm> form;
    std::unique_ptr<LocalContactsDb> database;
    ItemModelContacts* model;
};
