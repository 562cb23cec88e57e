// The list of the voicemail page: one flat row per voicemail in the order
// given, in four columns (name, date, sender, duration).
#pragma once

#include "views/common/recordlistmodel.h"
#include "views/organiser/voicemailrecord.h"

#include <QList>

class ItemModelVoicemail : public RecordListModel<VoicemailRecord> {
    Q_OBJECT

public:
    using _VoicemailItemNode = RecordNode;

    explicit ItemModelVoicemail(QObject* parent = nullptr);

    // Replaces the content by the records, unsorted.
    void setVoicemails(const QList<VoicemailRecord>& voicemails);
    const QList<VoicemailRecord>& voicemails() const { return m_records; }
};
