#include "imentitieseditor.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

namespace {

QString text(const ContactDataRow& row, const char* key)
{
    return pim::valueText(row.values, QLatin1String(key));
}

} // namespace

IMEntitiesEditor::IMEntitiesEditor(const QString& title, int newRowType, int newRowProtocol, QWidget* parent)
    : AbsEntitiesEditor(title, pim::imTypeLabels(), 3, 1, parent)
    , m_newRowType(newRowType)
    , m_newRowProtocol(newRowProtocol)
{
    static_cast<QGridLayout*>(layout())->setColumnStretch(2, 1);
}

void IMEntitiesEditor::setEntities(const ContactDataRow& stored)
{
    beginRow(stored.id, stored.srcId, text(stored, "data2").toInt(), text(stored, "data3"), 60);
    place(typeCombo(pim::imProtocolLabels(), text(stored, "data5").toInt(), text(stored, "data6"), 100, this), 0, 1);
    place(lineEdit(text(stored, "data1"), QString(), this), 0, 2);
    endRow();
}

void IMEntitiesEditor::addEmptyRow()
{
    ContactDataRow row;
    row.values.insert(QStringLiteral("data2"), m_newRowType);
    row.values.insert(QStringLiteral("data5"), m_newRowProtocol);
    setEntities(row);
}

QList<ContactDataRow> IMEntitiesEditor::getEntities() const
{
    QList<ContactDataRow> result;
    for (const Row& row : rows()) {
        ContactDataRow r = identity(row);
        collectCombo(row.type, r.values, QStringLiteral("data2"), QStringLiteral("data3"));
        collectCombo(field<QComboBox>(row, 0), r.values, QStringLiteral("data5"), QStringLiteral("data6"));
        r.values.insert(QStringLiteral("data1"), field<QLineEdit>(row, 1)->text().trimmed());
        result.append(r);
    }
    return result;
}
