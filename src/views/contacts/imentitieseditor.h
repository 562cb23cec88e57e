// The row editor of instant-messaging accounts: per row a type combo, a
// protocol combo, the handle and a remove button. Rows are filled from and
// collected into whole contact data rows: "data2"/"data3" type code and
// custom label, "data5"/"data6" protocol code and custom protocol, "data1"
// the handle.
#pragma once

#include "views/contacts/absentitieseditor.h"

class IMEntitiesEditor : public AbsEntitiesEditor {
    Q_OBJECT

public:
    IMEntitiesEditor(const QString& title, int newRowType, int newRowProtocol, QWidget* parent = nullptr);

    // Appends a row showing the stored row.
    void setEntities(const ContactDataRow& row);
    QList<ContactDataRow> getEntities() const;

protected:
    void addEmptyRow() override;

private:
    int m_newRowType;
    int m_newRowProtocol;
};
