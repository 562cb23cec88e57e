// The list of the music and ringtones page: one flat row per song or
// ringtone in the order given, in four columns (name, date modified,
// duration, size), rows 28 pixels high on alternating white and blue-grey.
#pragma once

#include "records/mediarecords.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelMusic : public RecordListModel<MusicRecord> {
    Q_OBJECT

public:
    // A row's node, named by its title.
    class _MusicItemNode : public RecordNode {
    public:
        explicit _MusicItemNode(const MusicRecord& record)
            : RecordNode(record, record.title)
        {
        }
    };

    // kind: 17 music (the note picture), anything else ringtones.
    explicit ItemModelMusic(int kind, QObject* parent = nullptr);

    // Replaces the content by the records, in their order.
    void setRecords(const QList<MusicRecord>& records);

    // "4' 5''" for 245 seconds.
    static QString durationText(int seconds);
    // Whole KB, truncated, with the locale's group separators: "%L1 KB".
    static QString sizeText(qint64 bytes);

protected:
    // The picture of the page's kind, on every row.
    QPixmap rowIcon(const MusicRecord& record) const override;
    // This list's own rows: 28 pixels high, white and blue-grey.
    QVariant rowStyle(const QModelIndex& index, int role) const override;

private:
    int m_kind;
};
