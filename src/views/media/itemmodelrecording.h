// The list of the recordings page: one flat row per recording in the order
// given, in three columns (name, date, duration).
#pragma once

#include "records/mediarecords.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelRecording : public RecordListModel<RecordingRecord> {
    Q_OBJECT

public:
    class _RecordingItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _RecordingItemNode(const RecordingRecord& record)
            : _ItemNode(0, QString(), nullptr)
            , record(record)
        {
        }
        RecordingRecord record;
    };

    explicit ItemModelRecording(QObject* parent = nullptr);

    // Replaces the content by the records, unsorted.
    void setRecordings(const QList<RecordingRecord>& recordings);
    const QList<RecordingRecord>& recordings() const { return m_records; }

    // The name a recording shows: its file's name, or its date without a
    // file.
    static QString nameText(const RecordingRecord& recording);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
