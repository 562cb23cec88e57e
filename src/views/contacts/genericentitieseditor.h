// The row editor of phones, e-mails, relations and websites: per row a type
// combo, one value line edit and a remove button.
#pragma once

#include "views/contacts/absentitieseditor.h"

class GenericEntitiesEditor : public AbsEntitiesEditor {
    Q_OBJECT

public:
    // newRowType: the type code of a row added with the add button.
    GenericEntitiesEditor(const QString& title, const QString& placeholder, const QMap<int, QString>& typeTable,
                          int newRowType, QWidget* parent = nullptr);

    // Appends a row.
    void setEntities(qint64 id, const QString& srcId, int type, const QString& label, const QString& value);
    // One row per displayed row, top to bottom, blank ones included: the
    // type code and custom label from the combo, the value trimmed.
    QList<ContactDataRow> getEntities(const QString& typeColumn, const QString& labelColumn,
                                      const QString& valueColumn) const;

protected:
    void addEmptyRow() override;

private:
    QString m_placeholder;
    int m_newRowType;
};
