// Base of the contact editor's row editors (phones, e-mails, events,
// instant messaging, addresses, ...): a title and an add button on the
// first grid line, then one block of grid lines per contact data row, each
// with its type combo, its value widgets and a remove button. Each row
// keeps the local id and source id of the stored row that filled it (0 and
// empty for a row added here), so that the rows it gives back can be
// matched with the stored ones.
//
// Type combos are editable: a text that is one of the table's labels
// selects that code, any other text is a custom label (code 0).
#pragma once

#include "records/contact.h"

#include <QList>
#include <QMap>
#include <QVariant>
#include <QWidget>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QToolButton;

class AbsEntitiesEditor : public QWidget {
    Q_OBJECT

public:
    ~AbsEntitiesEditor() override;

    int rowCount() const { return int(m_rows.size()); }
    QToolButton* addButton() const { return m_addButton; }
    // The row's remove button; null for a row that does not exist.
    QToolButton* removeButton(int row) const;
    // Every widget of the row, type combo first, remove button last.
    QList<QWidget*> rowWidgets(int row) const;

    // Texts longer than this are cut by Qt's line edits; ours take any
    // value a phone can hold.
    static constexpr int kNoLengthLimit = 1 << 30;
    // A line edit without length limit.
    static QLineEdit* lineEdit(const QString& text, const QString& placeholder, QWidget* parent);

public slots:
    // Appends an empty row of the editor's new-row type.
    void add();
    // Removes the row whose remove button sent the signal.
    void remove();

protected:
    struct Row {
        qint64 id = 0;
        QString srcId;
        int line = 0; // its first grid line
        QComboBox* type = nullptr;
        QList<QWidget*> fields; // the value widgets, in the editor's own order
        QToolButton* removeButton = nullptr;
        QVariant tag; // what the editor keeps about the stored value
    };

    // typeTable: code to label (ascending codes, 0 "Other" first);
    // addColumn: the add button's (and the remove buttons') grid column;
    // linesPerRow: the grid lines one row takes.
    AbsEntitiesEditor(const QString& title, const QMap<int, QString>& typeTable, int addColumn, int linesPerRow,
                      QWidget* parent);

    virtual void addEmptyRow() = 0;

    // Starts a row below the last one: its type combo at column 0 of its
    // first line, width comboWidth, showing the custom label when it is not
    // empty, else the code's label ("Other" for a code not in the table).
    Row& beginRow(qint64 id, const QString& srcId, int code, const QString& label, int comboWidth);
    // Places a value widget of the current (last) row.
    void place(QWidget* field, int lineOffset, int column, int columnSpan = 1);
    // Ends the current row with its remove button.
    void endRow();

    const QList<Row>& rows() const { return m_rows; }
    template <typename T> static T* field(const Row& row, int i) { return static_cast<T*>(row.fields.at(i)); }
    // A new row with the stored row's identity.
    static ContactDataRow identity(const Row& row) { return ContactDataRow(row.id, row.srcId); }

    // An editable combo over table showing code (or the custom label).
    static QComboBox* typeCombo(const QMap<int, QString>& table, int code, const QString& label, int width,
                                QWidget* parent);
    // The combo's text, trimmed: the code of a label of its table with an
    // empty custom label, else code 0 with the text as custom label.
    static void collectCombo(const QComboBox* combo, QVariantMap& values, const QString& codeKey,
                             const QString& labelKey);

    const QMap<int, QString>& typeTable() const { return m_types; }

private:
    QMap<int, QString> m_types;
    int m_addColumn;
    int m_linesPerRow;
    QGridLayout* m_grid = nullptr;
    QToolButton* m_addButton = nullptr;
    QList<Row> m_rows;
};
