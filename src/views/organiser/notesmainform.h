// The notes page of a local backup folder (notes exist only in backups):
// the notes newest first, their count, a note opened as a page in the
// desktop's browser on a double click, export to a folder of pages and
// delete.
#pragma once

#include "records/noterecord.h"
#include "views/common/absrecordpage.h"
#include "views/organiser/itemmodelnotes.h"

#include <QList>
#include <QModelIndex>
#include <QSharedPointer>

#include <memory>

class LocalNotesDb;
namespace Ui {
class NotesMainForm;
}

class NotesMainForm : public AbsRecordPage {
    Q_OBJECT

public:
    NotesMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~NotesMainForm() override;

    // Reads every note of the database into the list and the count. False
    // (the error shown, the list as it was) when the database cannot be read.
    bool reload();
    // Copies of the selected rows' notes, in selection order.
    QList<NoteRecord> getSelectedNotes() const;
    // Where a double click writes the note's page: a name made from the
    // note's ids inside the private temporary folder.
    static QString notePagePath(const NoteRecord& note);

    ItemModelNotes* notesModel() const { return model; }

signals:
    // Declared for the main window's connection; nothing here backs up.
    void backupFinished(QString localDbName);

public slots:
    void noteDoubleClicked(const QModelIndex& index);
    void contextMenu() { execContextMenu(); }
    void miExport() { exportToFolder(getSelectedNotes()); }
    void miToolbarExport() { exportToFolder(selectedRecordsOrAll(*model)); }
    void miDelete() { deleteSelected(); }
    void miToolbarDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void exportToFolder(const QList<NoteRecord>& notes);
    void deleteSelected();
    void deleteAll();

    std::unique_ptr<Ui::NotesMainForm> form;
    QSharedPointer<LocalNotesDb> database;
    ItemModelNotes* model;
};
