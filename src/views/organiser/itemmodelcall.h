// The call list of the call history page: one flat row per call, newest
// first, in five columns (flag, number, contact, date, duration).
#pragma once

#include "records/callrecord.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelCall : public RecordListModel<CallRecord> {
    Q_OBJECT

public:
    using _CallItemNode = RecordNode;

    explicit ItemModelCall(QObject* parent = nullptr);

    // Replaces the content: the calls sorted by date, newest first.
    void setCalls(const QList<CallRecord>& calls);
    const QList<CallRecord>& calls() const { return m_records; }

    // The list's word for a call's flags.
    static QString flagText(int flags);
    // Minutes and seconds as "2' 5''".
    static QString durationText(int seconds);
    // The date as the list and the exports show it (system locale, short).
    static QString dateText(const QDateTime& date);

protected:
    // The picture of the call's flags.
    QPixmap rowIcon(const CallRecord& call) const override;
};
