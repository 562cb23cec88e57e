// The voicemail page: a list of voicemails with their count. Nothing
// supplies voicemails yet, so a new page shows an empty list; records given
// to its model (setVoicemails) are listed as they come. It offers no
// toolbar entry and no context menu, and it backs nothing up.
#pragma once

#include "views/common/absrecordpage.h"
#include "views/organiser/itemmodelvoicemail.h"

#include <QList>
#include <QModelIndex>

#include <memory>

namespace Ui {
class VoicemailMainForm;
}

class VoicemailMainForm : public AbsRecordPage {
    Q_OBJECT

public:
    VoicemailMainForm(Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~VoicemailMainForm() override;

    // Copies of the selected rows' records, in selection order.
    QList<VoicemailRecord> getSelectedVoicemails() const;

    ItemModelVoicemail* voicemailModel() const { return model; }

public slots:
    void contextMenu() {}
    void voicemailDbClick(const QModelIndex& index);
    void miExport() { exportVoicemails(getSelectedVoicemails()); }
    void miToolbarExport() { exportVoicemails(selectedRecordsOrAll(*model)); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Asks for the folder the records would go to; what is written there is
    // not settled, so nothing is.
    void exportVoicemails(const QList<VoicemailRecord>& voicemails);

    std::unique_ptr<Ui::VoicemailMainForm> form;
    ItemModelVoicemail* model;
};
