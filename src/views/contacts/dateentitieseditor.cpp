#include "dateentitieseditor.h"

#include <QDateTimeEdit>
#include <QGridLayout>

DateEntitiesEditor::DateEntitiesEditor(const QString& title, const QMap<int, QString>& typeTable, int newRowType,
                                       QWidget* parent)
    : AbsEntitiesEditor(title, typeTable, 2, 1, parent)
    , m_newRowType(newRowType)
{
    static_cast<QGridLayout*>(layout())->setColumnStretch(1, 1);
}

QDateTime DateEntitiesEditor::parseDate(const QString& text, bool* dateOnly)
{
    const QString trimmed = text.trimmed();
    const QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (date.isValid() && trimmed.size() == 10) {
        *dateOnly = true;
        return date.startOfDay();
    }
    *dateOnly = false;
    return QDateTime::fromString(trimmed, Qt::ISODate);
}

void DateEntitiesEditor::setEntities(qint64 id, const QString& srcId, int type, const QString& label,
                                     const QDateTime& value, bool dateOnly)
{
    Row& row = beginRow(id, srcId, type, label, 100);
    row.tag = dateOnly;
    auto* edit = new QDateTimeEdit(this);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    if (value.isValid())
        edit->setDateTime(value);
    place(edit, 0, 1);
    endRow();
}

void DateEntitiesEditor::addEmptyRow()
{
    setEntities(0, QString(), m_newRowType, QString(), QDate::currentDate().startOfDay());
}

QList<ContactDataRow> DateEntitiesEditor::getEntities(const QString& typeColumn, const QString& labelColumn,
                                                      const QString& valueColumn) const
{
    QList<ContactDataRow> result;
    for (const Row& row : rows()) {
        ContactDataRow r = identity(row);
        collectCombo(row.type, r.values, typeColumn, labelColumn);
        const QDateTime value = field<QDateTimeEdit>(row, 0)->dateTime();
        r.values.insert(valueColumn,
                        row.tag.toBool() ? value.date().toString(Qt::ISODate) : value.toString(Qt::ISODate));
        result.append(r);
    }
    return result;
}
