#include "recordingmainform.h"

#include "ui_recordingmainform.h"

#include "shell/mytreeview.h"
#include "views/media/mediaextract.h"

#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>

RecordingMainForm::RecordingMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::RecordingMainForm>())
    , model(own(new ItemModelRecording))
{
    form->setupUi(this);
    connect(form->listRecordings, &MyTreeView::doubleClicked, this, &RecordingMainForm::recordingDoubleClicked);
    connect(form->listRecordings, &MyTreeView::createContextMenu, this, &RecordingMainForm::contextMenu);
    form->listRecordings->setModel(model);

    setCommands({
        {.sources = Command::AllSources,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = QT_TR_NOOP("IDS_EXPORT_RECORDINGS"),
         .menuText = QT_TR_NOOP("IDS_MI_EXPORT_RECORDINGS"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miExport(); }},
    });
}

RecordingMainForm::~RecordingMainForm() = default;

MyTreeView* RecordingMainForm::listView() const
{
    return form->listRecordings;
}

QLabel* RecordingMainForm::countLabel() const
{
    return form->lbCount;
}

void RecordingMainForm::setRecordings(const QList<RecordingRecord>& recordings)
{
    model->setRecordings(recordings);
    form->lbCount->setText(QStringLiteral("Total:%1").arg(recordings.size()));
}

QList<RecordingRecord> RecordingMainForm::selectedRecordings() const
{
    return recordsOfSelection(form->listRecordings, *model);
}

bool RecordingMainForm::hasSelection(int) const
{
    return !selectedRecordings().isEmpty();
}

void RecordingMainForm::recordingDoubleClicked(const QModelIndex& index)
{
    if (const RecordingRecord* recording = model->recordAt(index))
        exportRecordings({*recording});
}

void RecordingMainForm::miToolbarExport()
{
    const QList<RecordingRecord> selected = selectedRecordings();
    exportRecordings(selected.isEmpty() ? model->recordings() : selected);
}

void RecordingMainForm::exportRecordings(const QList<RecordingRecord>& recordings)
{
    if (!source().isValid())
        return;
    QList<MediaExtract::File> files;
    for (const RecordingRecord& r : recordings)
        files.append({r.path, ItemModelRecording::nameText(r), {}});
    MediaExtract::run(this, source().isConnectedPhone() ? source().device() : nullptr, files);
}

void RecordingMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int w = event->size().width() - 23;
    const double shares[] = {0.4, 0.4, 0.2};
    for (int i = 0; i < 3; ++i)
        form->listRecordings->header()->resizeSection(i, int(w * shares[i]));
}
