#include "addrentitieseditor.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

QString text(const ContactDataRow& row, const char* key)
{
    return pim::valueText(row.values, QLatin1String(key));
}

// The fields of a row, in the order they are placed.
enum Field { Country, State, City, Street, Postcode };

} // namespace

AddrEntitiesEditor::AddrEntitiesEditor(const QString& title, int newRowType, QWidget* parent)
    : AbsEntitiesEditor(title, pim::postalTypeLabels(), 3, 4, parent)
    , m_newRowType(newRowType)
{
    static_cast<QGridLayout*>(layout())->setColumnStretch(2, 1);
}

void AddrEntitiesEditor::setEntities(const ContactDataRow& stored)
{
    beginRow(stored.id, stored.srcId, text(stored, "data2").toInt(), text(stored, "data3"), 60);
    place(lineEdit(text(stored, "data10"), tr("Country"), this), 0, 1, 2);
    QLineEdit* state = lineEdit(text(stored, "data8"), tr("State"), this);
    state->setFixedWidth(60);
    place(state, 1, 1);
    place(lineEdit(text(stored, "data7"), tr("City"), this), 1, 2);
    auto* street = new QPlainTextEdit(this);
    street->setPlainText(text(stored, "data4"));
    street->setMaximumHeight(60);
    street->setSizePolicy(street->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    place(street, 2, 1, 2);
    place(lineEdit(text(stored, "data9"), tr("Postcode"), this), 3, 1, 2);
    endRow();
}

void AddrEntitiesEditor::addEmptyRow()
{
    ContactDataRow row;
    row.values.insert(QStringLiteral("data2"), m_newRowType);
    setEntities(row);
}

QList<ContactDataRow> AddrEntitiesEditor::getEntities() const
{
    QList<ContactDataRow> result;
    for (const Row& row : rows()) {
        ContactDataRow r = identity(row);
        collectCombo(row.type, r.values, QStringLiteral("data2"), QStringLiteral("data3"));
        r.values.insert(QStringLiteral("data10"), field<QLineEdit>(row, Country)->text().trimmed());
        r.values.insert(QStringLiteral("data8"), field<QLineEdit>(row, State)->text().trimmed());
        r.values.insert(QStringLiteral("data7"), field<QLineEdit>(row, City)->text().trimmed());
        r.values.insert(QStringLiteral("data4"), field<QPlainTextEdit>(row, Street)->toPlainText().trimmed());
        r.values.insert(QStringLiteral("data9"), field<QLineEdit>(row, Postcode)->text().trimmed());
        r.values.insert(QStringLiteral("data1"), pim::formatAddress(r.values));
        result.append(r);
    }
    return result;
}
