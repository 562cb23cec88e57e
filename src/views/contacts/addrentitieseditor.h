// The row editor of postal addresses: per row a block of four grid lines
// (type combo, country and remove button; state and city; street; postcode).
// Rows are collected with "data2"/"data3" type code and custom label,
// "data10" country, "data8" state, "data7" city, "data4" street, "data9"
// postcode and "data1" the address formatted from those parts.
#pragma once

#include "views/contacts/absentitieseditor.h"

class AddrEntitiesEditor : public AbsEntitiesEditor {
    Q_OBJECT

public:
    AddrEntitiesEditor(const QString& title, int newRowType, QWidget* parent = nullptr);

    // Appends a row showing the stored row.
    void setEntities(const ContactDataRow& row);
    QList<ContactDataRow> getEntities() const;

protected:
    void addEmptyRow() override;

private:
    int m_newRowType;
};
