#include "genericentitieseditor.h"

#include <QGridLayout>
#include <QLineEdit>

GenericEntitiesEditor::GenericEntitiesEditor(const QString& title, const QString& placeholder,
                                             const QMap<int, QString>& typeTable, int newRowType, QWidget* parent)
    : AbsEntitiesEditor(title, typeTable, 2, 1, parent)
    , m_placeholder(placeholder)
    , m_newRowType(newRowType)
{
    static_cast<QGridLayout*>(layout())->setColumnStretch(1, 1);
}

void GenericEntitiesEditor::setEntities(qint64 id, const QString& srcId, int type, const QString& label,
                                        const QString& value)
{
    beginRow(id, srcId, type, label, 100);
    place(lineEdit(value, m_placeholder, this), 0, 1);
    endRow();
}

void GenericEntitiesEditor::addEmptyRow()
{
    setEntities(0, QString(), m_newRowType, QString(), QString());
}

QList<ContactDataRow> GenericEntitiesEditor::getEntities(const QString& typeColumn, const QString& labelColumn,
                                                         const QString& valueColumn) const
{
    QList<ContactDataRow> result;
    for (const Row& row : rows()) {
        ContactDataRow r = identity(row);
        collectCombo(row.type, r.values, typeColumn, labelColumn);
        r.values.insert(valueColumn, field<QLineEdit>(row, 0)->text().trimmed());
        result.append(r);
    }
    return result;
}
