// The recordings page: a list of voice recordings with their count and one
// command, Extract (copy the recordings' files into a folder on the PC).
// Nothing on a phone lists recordings, so the page shows what it is given
// (setRecordings): on a connected phone their paths are the phone's and
// Extract downloads them; on a virtual device or a backup they are local
// files and Extract copies those that exist.
#pragma once

#include "records/mediarecords.h"
#include "views/common/abscategorypage.h"
#include "views/media/itemmodelrecording.h"

#include <QList>
#include <QModelIndex>

#include <memory>

class MyTreeView;
class QLabel;
namespace Ui {
class RecordingMainForm;
}

class RecordingMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    RecordingMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~RecordingMainForm() override;

    // Shows these recordings, in their order, and their count.
    void setRecordings(const QList<RecordingRecord>& recordings);
    // Copies of the selected rows' records, in selection order.
    QList<RecordingRecord> selectedRecordings() const;

    MyTreeView* listView() const;
    ItemModelRecording* recordingModel() const { return model; }
    QLabel* countLabel() const;

public slots:
    void recordingDoubleClicked(const QModelIndex& index);
    void contextMenu() { execContextMenu(); }
    void miExport() { exportRecordings(selectedRecordings()); }
    void miToolbarExport();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    void exportRecordings(const QList<RecordingRecord>& recordings);

    std::unique_ptr<Ui::RecordingMainForm> form;
    ItemModelRecording* model;
};
