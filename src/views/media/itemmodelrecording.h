// The list of the recordings page: one flat row per recording in the order
// given, in three columns (name, date, duration).
#pragma once

#include "records/mediarecords.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelRecording : public RecordListModel<RecordingRecord> {
    Q_OBJECT

public:
    using _RecordingItemNode = RecordNode;

    explicit ItemModelRecording(QObject* parent = nullptr);

    // Replaces the content by the records, unsorted.
    void setRecordings(const QList<RecordingRecord>& recordings);
    const QList<RecordingRecord>& recordings() const { return m_records; }

    // The name a recording shows: its file's name, or its date without a
    // file.
    static QString nameText(const RecordingRecord& recording);
};
