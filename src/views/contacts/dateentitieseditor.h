// The row editor of events (birthdays, anniversaries): per row a type combo,
// a date edit and a remove button.
//
// A stored date that was a date alone comes back as a date alone; other
// values come back as ISO 8601 date and time to the second.
#pragma once

#include "views/contacts/absentitieseditor.h"

#include <QDateTime>

class DateEntitiesEditor : public AbsEntitiesEditor {
    Q_OBJECT

public:
    DateEntitiesEditor(const QString& title, const QMap<int, QString>& typeTable, int newRowType,
                       QWidget* parent = nullptr);

    // Appends a row. An invalid value leaves the date edit at its initial
    // date. dateOnly: the stored value had no time of day.
    void setEntities(qint64 id, const QString& srcId, int type, const QString& label, const QDateTime& value,
                     bool dateOnly = false);
    QList<ContactDataRow> getEntities(const QString& typeColumn, const QString& labelColumn,
                                      const QString& valueColumn) const;

    // An event's stored text read as an ISO 8601 date or date and time;
    // *dateOnly tells which. Invalid when it is neither.
    static QDateTime parseDate(const QString& text, bool* dateOnly);

protected:
    void addEmptyRow() override;

private:
    int m_newRowType;
};
