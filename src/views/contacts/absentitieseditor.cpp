#include "absentitieseditor.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {

QToolButton* toolButton(const char* icon, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(QIcon(QString::fromLatin1(icon)));
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

AbsEntitiesEditor::AbsEntitiesEditor(const QString& title, const QMap<int, QString>& typeTable, int addColumn,
                                     int linesPerRow, QWidget* parent)
    : QWidget(parent)
    , m_types(typeTable)
    , m_addColumn(addColumn)
    , m_linesPerRow(linesPerRow)
{
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(title, this);
    label->setTextFormat(Qt::PlainText);
    // Across the value columns: a long title must not widen the type column.
    m_grid->addWidget(label, 0, 0, 1, addColumn);
    m_addButton = toolButton(":res/add.png", this);
    m_addButton->setObjectName(QStringLiteral("btnAdd"));
    m_grid->addWidget(m_addButton, 0, addColumn);
    connect(m_addButton, &QToolButton::pressed, this, &AbsEntitiesEditor::add);
}

AbsEntitiesEditor::~AbsEntitiesEditor() = default;

QToolButton* AbsEntitiesEditor::removeButton(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).removeButton : nullptr;
}

QList<QWidget*> AbsEntitiesEditor::rowWidgets(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const Row& r = m_rows.at(row);
    return QList<QWidget*> {r.type} + r.fields + QList<QWidget*> {r.removeButton};
}

QLineEdit* AbsEntitiesEditor::lineEdit(const QString& text, const QString& placeholder, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(kNoLengthLimit);
    edit->setPlaceholderText(placeholder);
    edit->setText(text);
    edit->setCursorPosition(0);
    return edit;
}

void AbsEntitiesEditor::add()
{
    addEmptyRow();
}

void AbsEntitiesEditor::remove()
{
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).removeButton != sender())
            continue;
        const Row row = m_rows.takeAt(i);
        // The button is the sender of the signal being handled: the widgets
        // go once it has returned.
        for (QWidget* w : QList<QWidget*> {row.type} + row.fields + QList<QWidget*> {row.removeButton}) {
            m_grid->removeWidget(w);
            w->hide();
            w->deleteLater();
        }
        return;
    }
}

QComboBox* AbsEntitiesEditor::typeCombo(const QMap<int, QString>& table, int code, const QString& label, int width,
                                        QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // A typed label is a custom label: Return must not make it an item.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->lineEdit()->setMaxLength(kNoLengthLimit);
    combo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        combo->addItem(it.value(), it.key());
    const int index = combo->findData(label.isEmpty() ? code : 0);
    combo->setCurrentIndex(index < 0 ? 0 : index);
    if (!label.isEmpty())
        combo->setEditText(label);
    combo->setFixedSize(width, combo->sizeHint().height());
    return combo;
}

void AbsEntitiesEditor::collectCombo(const QComboBox* combo, QVariantMap& values, const QString& codeKey,
                                     const QString& labelKey)
{
    const QString text = combo->currentText().trimmed();
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        values.insert(codeKey, 0);
        values.insert(labelKey, text);
    } else {
        values.insert(codeKey, combo->itemData(index).toInt());
        values.insert(labelKey, QString());
    }
}

AbsEntitiesEditor::Row& AbsEntitiesEditor::beginRow(qint64 id, const QString& srcId, int code, const QString& label,
                                                    int comboWidth)
{
    Row row;
    row.id = id;
    row.srcId = srcId;
    row.line = m_rows.isEmpty() ? 1 : m_rows.last().line + m_linesPerRow;
    row.type = typeCombo(m_types, code, label, comboWidth, this);
    m_grid->addWidget(row.type, row.line, 0);
    m_rows.append(row);
    return m_rows.last();
}

void AbsEntitiesEditor::place(QWidget* w, int lineOffset, int column, int columnSpan)
{
    Row& row = m_rows.last();
    row.fields.append(w);
    m_grid->addWidget(w, row.line + lineOffset, column, 1, columnSpan);
}

void AbsEntitiesEditor::endRow()
{
    Row& row = m_rows.last();
    row.removeButton = toolButton(":res/remove.png", this);
    m_grid->addWidget(row.removeButton, row.line, m_addColumn);
    connect(row.removeButton, &QToolButton::pressed, this, &AbsEntitiesEditor::remove);
}
