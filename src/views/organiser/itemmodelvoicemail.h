// The list of the voicemail page: one flat row per voicemail in the order
// given, in four columns (name, date, sender, duration).
#pragma once

#include "views/common/recordlistmodel.h"
#include "views/organiser/voicemailrecord.h"

#include <QList>

class ItemModelVoicemail : public RecordListModel<VoicemailRecord> {
    Q_OBJECT

public:
    class _VoicemailItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _VoicemailItemNode(const VoicemailRecord& record)
            : _ItemNode(0, QString(), nullptr)
            , record(record)
        {
        }
        VoicemailRecord record;
    };

    explicit ItemModelVoicemail(QObject* parent = nullptr);

    // Replaces the content by the records, unsorted.
    void setVoicemails(const QList<VoicemailRecord>& voicemails);
    const QList<VoicemailRecord>& voicemails() const { return m_records; }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
