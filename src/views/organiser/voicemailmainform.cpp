#include "voicemailmainform.h"

#include "ui_voicemailmainform.h"

#include "shell/mytreeview.h"
#include "shell/uiprompt.h"

#include <QDir>
#include <QLabel>
#include <QResizeEvent>

VoicemailMainForm::VoicemailMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsRecordPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::VoicemailMainForm>())
    , model(own(new ItemModelVoicemail))
{
    form->setupUi(this);
    connect(form->listVoicemails, &MyTreeView::createContextMenu, this, &VoicemailMainForm::contextMenu);
    connect(form->listVoicemails, &MyTreeView::doubleClicked, this, &VoicemailMainForm::voicemailDbClick);
    setRecordList(form->listVoicemails, form->lbCount, model);
}

VoicemailMainForm::~VoicemailMainForm() = default;

QList<VoicemailRecord> VoicemailMainForm::getSelectedVoicemails() const
{
    return selectedRecords(*model);
}

void VoicemailMainForm::voicemailDbClick(const QModelIndex& index)
{
    if (const VoicemailRecord* voicemail = model->recordAt(index))
        exportVoicemails({*voicemail});
}

void VoicemailMainForm::exportVoicemails(const QList<VoicemailRecord>&)
{
    uiprompt::getExistingDirectory(this, QString(), QDir::homePath());
}

void VoicemailMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const double width = event->size().width() - 23;
    form->listVoicemails->setColumnWidth(0, int(width * 0.3));
    form->listVoicemails->setColumnWidth(1, int(width * 0.25));
    form->listVoicemails->setColumnWidth(2, int(width * 0.25));
    form->listVoicemails->setColumnWidth(3, int(width * 0.2));
}
