#include "contactsmainform.h"

#include "ui_contactsmainform.h"

#include "formats/contactsprinter.h"
#include "formats/exporttofilethread.h"
#include "formats/importcontactsthread.h"
#include "jobs/androidrestorecontactsthread.h"
#include "jobs/androidsendchangesthread.h"
#include "jobs/backupthreads.h"
#include "phonelink/androidloadcontactsthread.h"
#include "platform/transaction.h"
#include "records/localcontactsdb.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/common/filechoice.h"
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/editcontactform.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>

namespace {

constexpr char kContactsDb[] = "contacts.db";

QSharedPointer<AbsContactCombineRule> newRule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

} // namespace

ContactsMainForm::ContactsMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::ContactsMainForm>())
    , model(own(new ItemModelContacts))
{
    form->setupUi(this);
    form->treeContacts->setModel(model);
    connect(form->treeContacts, &MyTreeView::onSelectionChanged, this, &ContactsMainForm::onContactsTreeItemSelected);
    connect(form->treeContacts, &MyTreeView::doubleClicked, this, &ContactsMainForm::onContactsTreeItemDoubleClicked);
    connect(form->btnSearch, &QToolButton::pressed, this, &ContactsMainForm::onBtnSearchPressed);
    connect(form->txtKeyword, &QLineEdit::returnPressed, this, &ContactsMainForm::onBtnSearchPressed);
    connect(form->treeContacts, &MyTreeView::createContextMenu, this, &ContactsMainForm::contextMenu);

    using C = Command;
    const auto changes = [this] { return canChange(); };
    // The shared commands of a page of records, then the contacts' own.
    QList<Command> commands = recordCommands(
        this,
        {.backup = {QT_TR_NOOP("IDS_MI_TOOLBAR_BACKUP_CONTACTS"), QT_TR_NOOP("IDS_MI_BACKUP_CONTACTS")},
         .toPhone = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_A2A"), QT_TR_NOOP("IDS_MI_TRANSFER_A2A")},
         .fromBackup = {QT_TR_NOOP("IDS_MI_TOOLBAR_TRANSFER_DB2A"), QT_TR_NOOP("IDS_MI_TRANSFER_DB2A")},
         .exportTo = {QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_CONTACTS"), QT_TR_NOOP("IDS_MI_EXPORT_CONTACTS")}});
    commands += QList<Command> {
        {.sources = C::AllSources,
         .icon = ":res/mi_print.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_PRINT_CONTACTS"),
         .menuText = QT_TR_NOOP("IDS_MI_PRINT"),
         .onToolbar = [this] { miToolbarPrint(); },
         .onMenu = [this] { miPrint(); }},
        {.sources = C::AllSources,
         .icon = ":res/new_ct.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_NEW_CONTACT"),
         .enabled = changes,
         .onToolbar = [this] { miAdd(); }},
        {.sources = C::AllSources,
         .icon = ":res/import.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_IMPORT"),
         .enabled = changes,
         .onToolbar = [this] { miImport(); }},
        {.sources = C::AllSources,
         .icon = ":res/edit.png",
         .menuText = QT_TR_NOOP("IDS_MI_EDIT"),
         .enabled = changes,
         .onMenu = [this] { miEdit(); }},
        {.sources = C::AllSources,
         .icon = ":res/mi_delete.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_CONTACTS"),
         .menuText = QT_TR_NOOP("IDS_MI_DELETE"),
         .enabled = changes,
         .onToolbar = [this] { miToolbarDelete(); },
         .onMenu = [this] { miDelete(); }},
    };
    setCommands(commands);

    const QString path = source().databasePath(QLatin1String(kContactsDb));
    if (!path.isEmpty()) {
        database = std::make_unique<LocalContactsDb>(path, newRule());
        phoneCacheCurrent();
    }
    reload();
}

ContactsMainForm::~ContactsMainForm() = default;

MyTreeView* ContactsMainForm::listView() const
{
    return form->treeContacts;
}

ContactDisplayer* ContactsMainForm::card() const
{
    return form->wdContactInfo;
}

QLabel* ContactsMainForm::countLabel() const
{
    return form->lbCount;
}

QLineEdit* ContactsMainForm::keywordEdit() const
{
    return form->txtKeyword;
}

QString ContactsMainForm::databasePath() const
{
    return database ? database->filePath() : QString();
}

void ContactsMainForm::reload()
{
    if (!database)
        return;
    try {
        QList<pim::_Contact> contacts = database->loadAll();
        const qsizetype count = contacts.size();
        model->setContacts(std::move(contacts));
        form->lbCount->setText(QStringLiteral("Total:%1").arg(count));
        // A reset list has no selection: the card follows it.
        form->wdContactInfo->clear();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

QList<pim::_Contact> ContactsMainForm::selectedContacts() const
{
    QList<pim::_Contact> result;
    if (!form->treeContacts->selectionModel())
        return result;
    for (const QModelIndex& index : form->treeContacts->selectionModel()->selectedRows(0)) {
        if (const pim::_Contact* contact = ItemModelContacts::contactOf(index))
            result.append(*contact);
    }
    return result;
}

QList<pim::_Contact> ContactsMainForm::selectedOrAll() const
{
    const QList<pim::_Contact> selected = selectedContacts();
    return selected.isEmpty() ? model->contacts() : selected;
}

bool ContactsMainForm::hasSelection(int) const
{
    return form->treeContacts->selectionModel() && form->treeContacts->selectionModel()->hasSelection();
}

void ContactsMainForm::onContactsTreeItemSelected(const QItemSelection& selected, const QItemSelection&)
{
    const QModelIndexList indexes = selected.indexes();
    const pim::_Contact* contact = indexes.isEmpty() ? nullptr : ItemModelContacts::contactOf(indexes.first());
    if (contact)
        form->wdContactInfo->setContact(*contact);
    else
        form->wdContactInfo->clear();
}

void ContactsMainForm::onBtnSearchPressed()
{
    const QString keyword = form->txtKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const QModelIndex current = form->treeContacts->currentIndex();
    const int row = model->findRow(keyword, current.isValid() ? current.row() : -1);
    if (row < 0) {
        showInfo(tr("IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0").arg(keyword));
        return;
    }
    const QModelIndex found = model->index(row, 0);
    form->treeContacts->setCurrentIndex(found);
    form->treeContacts->scrollTo(found);
}

void ContactsMainForm::exportToFile(const QList<pim::_Contact>& contacts)
{
    const QString defaultPath = QDir::home().absoluteFilePath(
        QStringLiteral("contacts(%1)").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    // The format follows the filter picked; ".doc" is the HTML page under
    // another name.
    const QList<FileFilter> filters
        = {{tr("VCard Files(*.vcf)"), QStringLiteral("vcf")}, {tr("CSV Files(*.csv)"), QStringLiteral("csv")},
           {tr("Text Files(*.txt)"), QStringLiteral("txt")},  {tr("HTML files(*.html)"), QStringLiteral("html")},
           {tr("Word files(*.doc)"), QStringLiteral("doc")},  {tr("PDF files(*.pdf)"), QStringLiteral("pdf")}};
    static constexpr int formats[] = {ExportVCard, ExportCSV, ExportTXT, ExportHTML, ExportHTML, ExportPDF};
    const std::optional<FileChoice> target = filechoice::askSaveFile(this, QString(), defaultPath, filters, 0);
    if (!target)
        return;
    ProgressForm progress(tr("IDS_STARTING_EXPORT_CONTACTS_TO_FILE"), this);
    ExportToFileThread job(contacts, formats[target->filter], target->path, &progress);
    runJob(progress, job);
}

void ContactsMainForm::printContacts(const QList<pim::_Contact>& contacts)
{
    ContactsPrinter printer(this);
    printer.print(contacts);
}

void ContactsMainForm::backup(const QList<pim::_Contact>& contacts)
{
    if (!source().isPhonePage())
        return;
    const std::optional<QDir> folder = chooseBackupFolder();
    if (!folder)
        return;
    LocalContactsDb db(folder->absoluteFilePath(QLatin1String(kContactsDb)), newRule());
    ProgressForm progress(tr("IDS_TITLE_BACKUPING_CONTACTS"), this);
    BackupContactsThread job(&db, contacts, &progress);
    // A cancelled contacts backup keeps what it merged so far: the folder's
    // count changed then too.
    if (runJob(progress, job) != JobResult::Failed)
        emit backupFinished(folder->dirName());
}

void ContactsMainForm::transferToAndroid(const QList<pim::_Contact>& contacts)
{
    const std::shared_ptr<AndroidDeviceInfo> chosen = chooseTransferTarget();
    if (!chosen)
        return;
    AndroidDeviceInfo& target = *chosen;
    LocalContactsDb db(target.cacheDir().absoluteFilePath(QLatin1String(kContactsDb)), newRule());
    // Only what the merge into the target's cache changes is sent: that
    // cache must mirror the phone first.
    if (target.contactsLoadTime.isNull()
        && !loadTargetCache(target, db, target.contactsLoadTime, tr("IDS_LOADING_ANDROID_CONTACTS"),
                            [&](ProgressForm& progress) {
                                return std::make_unique<AndroidLoadContactsThread>(&db, &target, &progress);
                            }))
        return;
    ProgressForm progress(tr("IDS_TRANSFERING_CONTACTS_TO_ANDROID"), this);
    AndroidRestoreContactsThread job(&target, &contacts, &db, &progress);
    const JobResult result = runJob(progress, job);
    noteSendOutcome(&target, result == JobResult::Succeeded, job.cacheOutOfStep());
}

void ContactsMainForm::miImport()
{
    if (!canChange())
        return;
    // Importing on a phone page sends the contacts to the phone.
    bool reloaded = false;
    if (!phoneCacheCurrent(&reloaded))
        return;
    const std::optional<FileChoice> file = filechoice::askOpenFile(
        this, QString(), QDir::homePath(),
        {{tr("VCard Files(*.vcf)"), QStringLiteral("vcf")}, {tr("CSV Files(*.csv)"), QStringLiteral("csv")}}, 0);
    if (!file)
        return;
    QList<pim::_Contact> contacts;
    {
        ProgressForm progress(tr("IDS_LOADING_CONTACTS_FROM_FILE"));
        ImportContactsToLocalThread job(file->path, file->filter == 0 ? ImportVCard : ImportCSV, &progress);
        if (runJob(progress, job) != JobResult::Succeeded)
            return;
        contacts = job.contacts();
    }
    if (contacts.isEmpty()) {
        showWarning(tr("IDS_FOUND_NO_CONTACTS_IN_THE_FILE"));
        return;
    }
    if (source().isPhonePage()) {
        ProgressForm progress(tr("IDS_TRANSFERING_CONTACTS_TO_ANDROID"), this);
        AndroidRestoreContactsThread job(source().device(), &contacts, database.get(), &progress);
        const JobResult result = runJob(progress, job);
        if (source().isConnectedPhone())
            noteSendOutcome(source().device(), result == JobResult::Succeeded, job.cacheOutOfStep());
    } else {
        ProgressForm progress(tr("IDS_TITLE_BACKUPING_CONTACTS"), this);
        BackupContactsThread job(database.get(), contacts, &progress);
        runJob(progress, job);
    }
    reload();
}

bool ContactsMainForm::canChange() const
{
    // A virtual device's contacts change only together with its phone, which
    // is not there: editing them would only end in an error after the user
    // typed everything.
    return database && (source().isBackup() || source().isConnectedPhone());
}

bool ContactsMainForm::phoneCacheCurrent(bool* reloaded)
{
    if (reloaded)
        *reloaded = false;
    AndroidDeviceInfo* device = source().device();
    if (!database || !source().isConnectedPhone() || !device->contactsLoadTime.isNull())
        return true;
    const bool loaded = loadPhoneCache(
        *database, device->contactsLoadTime, tr("IDS_LOADING_ANDROID_CONTACTS"), [&](ProgressForm& progress) {
            return std::make_unique<AndroidLoadContactsThread>(database.get(), device, &progress);
        });
    if (reloaded) {
        *reloaded = true;
        reload();
    }
    return loaded;
}

void ContactsMainForm::noteSendOutcome(AndroidDeviceInfo* device, bool succeeded, bool outOfStep)
{
    if (!succeeded || outOfStep)
        device->contactsLoadTime = QDateTime();
}

bool ContactsMainForm::sendToPhone(const QString& title, const std::function<void(AndroidSendChangesThread&)>& setUp)
{
    AndroidDeviceInfo* device = source().device();
    ProgressForm progress(title, this);
    AndroidSendChangesThread job(device, database.get(), &progress);
    setUp(job);
    const bool succeeded = runJob(progress, job) == JobResult::Succeeded;
    if (source().isConnectedPhone())
        noteSendOutcome(device, succeeded, job.cacheOutOfStep());
    return succeeded;
}

void ContactsMainForm::onContactsTreeItemDoubleClicked(const QModelIndex& index)
{
    if (ItemModelContacts::contactOf(index))
        editRow(index);
}

void ContactsMainForm::miAdd()
{
    bool reloaded = false;
    if (!canChange() || !phoneCacheCurrent(&reloaded))
        return;
    pim::_Contact contact;
    editContact(contact);
}

void ContactsMainForm::miEdit()
{
    const QModelIndex current = form->treeContacts->currentIndex();
    if (current.isValid())
        editRow(current);
}

void ContactsMainForm::editRow(const QModelIndex& index)
{
    bool reloaded = false;
    // A list read again has other rows: the user picks again.
    if (!canChange() || !phoneCacheCurrent(&reloaded) || reloaded)
        return;
    const QPersistentModelIndex row(index);
    const pim::_Contact* shown = ItemModelContacts::contactOf(index);
    if (!shown)
        return;
    pim::_Contact contact = *shown;
    if (editContact(contact) && row.isValid())
        model->replaceContact(row, contact);
}

bool ContactsMainForm::editContact(pim::_Contact& contact)
{
    if (!canChange())
        return false;
    const bool isNew = contact.id == 0;
    QList<ContactChange> changes;
    {
        EditContactForm dialog(&contact, isNew ? database.get() : nullptr);
        if (uiprompt::exec(&dialog) != QDialog::Accepted)
            return false;
        changes = dialog.getChanges(database->combineRule().data(), contact);
    }
    if (changes.isEmpty())
        return false;

    qint64 id = contact.id;
    try {
        Transaction tran(*database);
        pim::_Contact work = contact;
        if (isNew) {
            for (const ContactChange& change : std::as_const(changes)) {
                if (change.entityType == pim::ENTITY_NAME && change.action == ContactChange::ACTION_ADDED) {
                    work.fullName = pim::formatName(change.row.values);
                    break;
                }
            }
            database->insertContact(work);
        }
        // The changes as stored: an added row with the id it got, which
        // is how the phone's answer finds its way back to it.
        QList<ContactChange> stored;
        for (const ContactChange& change : std::as_const(changes)) {
            ContactDataRow row = change.row;
            switch (change.action) {
            case ContactChange::ACTION_ADDED:
                database->insertData(work.id, change.entityType, row);
                break;
            case ContactChange::ACTION_UPDATED:
                database->updateData(change.entityType, row);
                if (change.entityType == pim::ENTITY_NAME) {
                    work.fullName = pim::formatName(row.values);
                    database->updateContact(work);
                }
                break;
            case ContactChange::ACTION_DELETED:
                database->deleteData(row.id);
                break;
            default:
                break;
            }
            stored.append(ContactChange(change.entityType, change.action, row));
        }
        if (source().isPhonePage()) {
            pim::_Contact sent = database->loadContact(work.id);
            if (!sendToPhone(tr("IDS_SENGING_CHANGES_TO_ANDROID_DEVICE"),
                             [&](AndroidSendChangesThread& job) { job.setChanges(&sent, stored); })) {
                // Nothing of the edit stays, nor the ids the job stored.
                tran.rollback();
                reload();
                return false;
            }
        }
        tran.commit();
        id = work.id;
        contact = database->loadContact(id);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return false;
    }

    if (isNew) {
        const QModelIndex added = model->indexOfNode(model->addContact(contact));
        form->treeContacts->setCurrentIndex(added);
        form->treeContacts->scrollTo(added);
    }
    form->wdContactInfo->setContact(contact);
    return true;
}

void ContactsMainForm::miDelete()
{
    if (!canChange())
        return;
    const QList<pim::_Contact> contacts = selectedContacts();
    if (contacts.isEmpty())
        return;
    if (source().isPhonePage()) {
        bool reloaded = false;
        if (phoneCacheCurrent(&reloaded) && !reloaded)
            deleteFromPhone(contacts);
        return;
    }
    if (deleteInTransaction(*database, tr("IDS_CONFIRM_DEL_SEL_CONTACTS"), tr("IDS_REMOVE_CONTACTS_SUC"), [&] {
            for (const pim::_Contact& contact : contacts)
                database->deleteContact(contact.id);
        }))
        reload();
}

void ContactsMainForm::deleteFromPhone(const QList<pim::_Contact>& contacts)
{
    if (!askYesNo(tr("IDS_CONFIRM_DEL_SEL_CONTACTS")))
        return;
    try {
        Transaction tran(*database);
        for (const pim::_Contact& contact : contacts)
            database->deleteContact(contact.id);
        if (!sendToPhone(tr("IDS_DELETING_CONTACTS_FROM_ANDROID"),
                         [&](AndroidSendChangesThread& job) { job.setDeletedContacts(contacts); })) {
            // The phone did not take it: every contact stays.
            return;
        }
        tran.commit();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return;
    }
    reload();
    showInfo(tr("IDS_REMOVE_CONTACTS_SUC"));
}

void ContactsMainForm::miToolbarDelete()
{
    if (!canChange())
        return;
    if (hasSelection(0)) {
        miDelete();
        return;
    }
    // A phone's contacts are never deleted as a whole.
    if (source().isPhonePage()) {
        showWarning(tr("IDS_PLEASE_SEL_CONTACTS_TO_DELETE_FROM_DEVICE"));
        return;
    }
    // A backup's contacts as a whole: the file goes, the next read makes an
    // empty one.
    if (deleteDatabaseFile(*database, tr("IDS_CONFIRM_DEL_ALL_CONTACTS"), tr("IDS_DEL_ALL_CONTACTS_SUC")))
        reload();
}

void ContactsMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int width = event->size().width();
    form->splitter->setSizes({int(width * 0.6), int(width * 0.4)});
    const double list = int(width * 0.6 - 23.0);
    form->treeContacts->setColumnWidth(0, int(list * 0.4));
    for (int column = 1; column < 4; ++column)
        form->treeContacts->setColumnWidth(column, int(list * 0.2));
}
