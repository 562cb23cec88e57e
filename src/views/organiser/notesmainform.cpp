#include "notesmainform.h"

#include "ui_notesmainform.h"

#include "platform/transaction.h"
#include "records/localnotesdb.h"
#include "shell/core/dataroot.h"
#include "shell/core/fileutils.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/organiser/exportnotesthread.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QResizeEvent>

#include <stdexcept>

namespace {
constexpr char kNotesDb[] = "notes.db";
} // namespace

NotesMainForm::NotesMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsRecordPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::NotesMainForm>())
    , model(own(new ItemModelNotes))
{
    form->setupUi(this);
    connect(form->listNotes, &MyTreeView::doubleClicked, this, &NotesMainForm::noteDoubleClicked);
    connect(form->listNotes, &MyTreeView::createContextMenu, this, &NotesMainForm::contextMenu);
    setRecordList(form->listNotes, form->lbCount, model);

    using C = Command;
    setCommands({
        {.sources = C::BackupPages,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_EXPORT_NOTES"),
         .menuText = QT_TR_NOOP("IDS_MI_EXPORT_NOTES"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miExport(); }},
        {.sources = C::BackupPages,
         .icon = ":res/mi_delete.png",
         .toolbarText = QT_TR_NOOP("IDS_MI_TOOLBAR_DELETE_NOTES"),
         .menuText = QT_TR_NOOP("IDS_MI_DELETE"),
         .onToolbar = [this] { miToolbarDelete(); },
         .onMenu = [this] { miDelete(); }},
    });

    // Notes live in backup folders only.
    if (source().isBackup())
        database.reset(new LocalNotesDb(source().databasePath(QLatin1String(kNotesDb))));
    reload();
}

NotesMainForm::~NotesMainForm() = default;

bool NotesMainForm::reload()
{
    if (!database)
        return false;
    try {
        const QList<NoteRecord> notes = database->loadAll();
        model->setNotes(notes);
        form->lbCount->setText(tr("Total:%1").arg(notes.size()));
        return true;
    } catch (const std::exception& e) {
        // A damaged file is named and left as it is.
        showError(QStringLiteral("read %1 error. %2").arg(database->filePath(), QString::fromUtf8(e.what())));
        return false;
    }
}

QList<NoteRecord> NotesMainForm::getSelectedNotes() const
{
    return selectedRecords(*model);
}

QString NotesMainForm::notePagePath(const NoteRecord& note)
{
    // The same note opens into the same file, replacing the earlier page.
    QString name = sanitizeFileName(note.dev_id + QLatin1Char('-') + note.src_id + QStringLiteral(".html"));
    if (name.isEmpty())
        name = QStringLiteral("note.html");
    return pathUnder(privateTempDir().absolutePath(), name);
}

void NotesMainForm::noteDoubleClicked(const QModelIndex& index)
{
    const NoteRecord* note = model->recordAt(index);
    if (!note)
        return;
    const QString path = notePagePath(*note);
    try {
        if (path.isEmpty())
            throw std::runtime_error("no file name for the note");
        ExportNotesThread::writeNotePage(path, *note);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return;
    }
    openInExplorer(path);
}

void NotesMainForm::miToolbarDelete()
{
    if (getSelectedNotes().isEmpty())
        deleteAll();
    else
        deleteSelected();
}

void NotesMainForm::exportToFolder(const QList<NoteRecord>& notes)
{
    const QString defaultPath = QDir::home().absoluteFilePath(
        QStringLiteral("notes-%1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"))));
    // The name chosen is the folder that receives the pages.
    const QString folder = uiprompt::getSaveFileName(this, QString(), defaultPath);
    if (folder.isEmpty())
        return;
    ProgressForm progress(tr("IDS_TITLE_EXPORT_NOTES"), this);
    ExportNotesThread job(notes, folder, &progress);
    runJob(progress, job);
}

void NotesMainForm::deleteSelected()
{
    if (!database || !askYesNo(tr("IDS_CONFIRM_DEL_NOTES")))
        return;
    try {
        // All or nothing.
        Transaction tran(*database);
        for (const NoteRecord& note : getSelectedNotes())
            database->removeNote(note);
        tran.commit();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return;
    }
    showInfo(tr("IDS_DEL_NOTES_SUC"));
    reload();
}

void NotesMainForm::deleteAll()
{
    // A file that cannot be read is not taken for an empty or unwanted one:
    // it stays, and the error says why.
    if (!database || !reload() || !askYesNo(tr("IDS_CONFIRM_DEL_ALL_NOTES")))
        return;
    try {
        database->closeAndRemoveFile();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return;
    }
    showInfo(tr("IDS_DEL_ALL_NOTES_SUC"));
    reload();
}

void NotesMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const double width = event->size().width() - 23;
    form->listNotes->setColumnWidth(0, int(width * 0.2));
    form->listNotes->setColumnWidth(1, int(width * 0.2));
    form->listNotes->setColumnWidth(2, int(width * 0.6));
}
