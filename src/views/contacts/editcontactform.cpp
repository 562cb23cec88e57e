#include "editcontactform.h"

#include "ui_editcontactform.h"

#include "records/contactcombinerule.h"
#include "records/localcontactsdb.h"
#include "shell/core/plaintext.h"
#include "shell/messagebox.h"
#include "shell/winmovable.h"
#include "views/contacts/contacteditor.h"

#include <QDebug>
#include <QKeyEvent>
#include <QSet>

namespace {

// The name row's parts; "data1" follows from them.
const QStringList kNameColumns = {QStringLiteral("data5"), QStringLiteral("data2"), QStringLiteral("data4"),
                                  QStringLiteral("data3"), QStringLiteral("data6")};

// A value for the debug log: long texts (a 100,000-character note) are cut.
QString logText(const ContactDataRow& row, const QString& column)
{
    const QString text = pim::valueText(row.values, column);
    return text.size() > 80 ? text.left(80) + QStringLiteral("...") : text;
}

// The stored row with the user's changes laid over it. A column the form
// gave back unchanged since it was filled keeps its stored value, and so
// does every column the form does not show; a column without a filled
// value (a row the form did not show) counts as changed. *touched tells
// whether any column came from the form.
ContactDataRow overStored(const ContactDataRow& edited, const ContactDataRow* filled, const ContactDataRow& stored,
                          bool* touched)
{
    ContactDataRow row = stored;
    *touched = false;
    for (auto it = edited.values.cbegin(); it != edited.values.cend(); ++it) {
        if (filled && filled->values.contains(it.key())
            && pim::isSameDataValues(filled->values, edited.values, {it.key()}))
            continue;
        row.values.insert(it.key(), it.value());
        *touched = true;
    }
    return row;
}

const ContactDataRow* storedRow(const QList<ContactDataRow>& rows, qint64 id)
{
    for (const ContactDataRow& row : rows) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

void logUpdate(int type, const ContactDataRow& row, const ContactDataRow& stored, const QStringList& columns)
{
    qDebug().noquote() << QStringLiteral("action=ACTION_UPDATED, type=%1 {").arg(type);
    for (const QString& column : columns) {
        qDebug().noquote() << QStringLiteral("%1(cur)=%2").arg(column, logText(row, column));
        qDebug().noquote() << QStringLiteral("%1(src)=%2").arg(column, logText(stored, column));
    }
    qDebug().noquote() << QStringLiteral("}");
}

} // namespace

EditContactForm::EditContactForm(const pim::_Contact* contact, LocalContactsDb* db, QWidget* parent)
    : QDialog(parent)
    , form(std::make_unique<Ui::EditContactForm>())
    , m_movable(std::make_unique<WinMovable>(this))
    , m_db(db)
{
    form->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(getStyleSheet());
    connect(form->btnSave, &QPushButton::pressed, this, &EditContactForm::onBtnSavePressed);
    connect(form->btnCancel, &QPushButton::pressed, this, &EditContactForm::onBtnCancelPressed);
    if (contact) {
        form->wdEditContact->setContact(*contact);
        setWindowTitle(contact->fullName.isEmpty() ? tr("IDS_NEW_CONTACT")
                                                   : tr("IDS_EDIT_CONTACT_%1").arg(contact->fullName));
        const ContactDataRow name = form->wdEditContact->getStructuredName();
        if (name.id != 0)
            m_filled.insert({pim::ENTITY_NAME, name.id}, name);
        const QMap<int, QList<ContactDataRow>> rows = form->wdEditContact->collectRows();
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
            for (const ContactDataRow& row : it.value()) {
                if (row.id != 0)
                    m_filled.insert({it.key(), row.id}, row);
            }
        }
    }
    form->lbTitle->setText(windowTitle());
}

EditContactForm::~EditContactForm() = default;

ContactEditor* EditContactForm::editor() const
{
    return form->wdEditContact;
}

const ContactDataRow* EditContactForm::filledRow(int type, qint64 id) const
{
    const auto it = m_filled.constFind({type, id});
    return it == m_filled.cend() ? nullptr : &it.value();
}

void EditContactForm::onBtnSavePressed()
{
    const ContactEditor* editor = form->wdEditContact;
    if (editor->firstName().trimmed().isEmpty() && editor->lastName().trimmed().isEmpty()) {
        showWarning(tr("IDS_ENTER_FIRSTNAME_OR_LASTNAME"));
        return;
    }
    if (m_db) {
        const QString fullName = pim::formatName(editor->getStructuredName().values);
        try {
            if (m_db->findContactByFullName(fullName) != 0) {
                showWarning(asPlainText(tr("IDS_CONTACT_NAME_%1_EXIST").arg(fullName)));
                return;
            }
        } catch (const std::exception& e) {
            // Nothing is saved from an unchecked name; the user may retry.
            showError(QString::fromUtf8(e.what()));
            return;
        }
    }
    accept();
}

void EditContactForm::onBtnCancelPressed()
{
    if (askYesNo(tr("IDS_CANCEL_EDIT_CONTACT_WILL_LOST_CHANGES_CONTINUE")))
        reject();
}

void EditContactForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

QList<ContactChange> EditContactForm::getChanges(AbsContactCombineRule* rule, const pim::_Contact& source) const
{
    QList<ContactChange> changes;
    const ContactEditor* editor = form->wdEditContact;

    // The name: compared on its parts only.
    const ContactDataRow name = editor->getStructuredName();
    const QList<ContactDataRow> storedNames = source.rows(pim::ENTITY_NAME);
    if (storedNames.isEmpty()) {
        qDebug().noquote() << QStringLiteral("action=ACTION_ADDED, type=pim::ENTITY_NAME, fullName=%1")
                                  .arg(logText(name, QStringLiteral("data1")));
        changes << ContactChange(pim::ENTITY_NAME, ContactChange::ACTION_ADDED, name);
    } else {
        const ContactDataRow& stored = storedNames.first();
        bool touched = false;
        const ContactDataRow row = overStored(name, filledRow(pim::ENTITY_NAME, stored.id), stored, &touched);
        if (!pim::isSameDataValues(row.values, stored.values, kNameColumns)) {
            qDebug().noquote() << QStringLiteral("action=ACTION_UPDATED, type=pim::ENTITY_NAME, fullName=%1")
                                      .arg(logText(row, QStringLiteral("data1")));
            changes << ContactChange(pim::ENTITY_NAME, ContactChange::ACTION_UPDATED, row);
        }
    }

    // Added and updated rows.
    QSet<RowKey> kept;
    const QMap<int, QList<ContactDataRow>> edited = editor->collectRows();
    for (auto it = edited.cbegin(); it != edited.cend(); ++it) {
        const int type = it.key();
        const QStringList keys = rule->keyColumns(type);
        const QStringList compare = rule->compareColumns(type);
        const QList<ContactDataRow> storedRows = source.rows(type);
        for (const ContactDataRow& row : it.value()) {
            if (row.id == 0) {
                if (pim::isDataEmpty(row.values, keys)) {
                    qDebug().noquote()
                        << QStringLiteral("EditContactForm::getChanges, Empty Entity: type=%1, _id=0").arg(type);
                    continue;
                }
                qDebug().noquote() << QStringLiteral("action=ACTION_ADDED, type=%1").arg(type);
                changes << ContactChange(type, ContactChange::ACTION_ADDED, row);
                continue;
            }
            const ContactDataRow* stored = storedRow(storedRows, row.id);
            bool touched = false;
            const ContactDataRow merged = stored ? overStored(row, filledRow(type, row.id), *stored, &touched) : row;
            // An untouched row stays as stored, even one that is empty.
            if (stored && touched && pim::isDataEmpty(merged.values, keys)) {
                qDebug().noquote() << QStringLiteral("EditContactForm::getChanges, Empty Entity: type=%1, _id=%2, "
                                                     "srcId=%3")
                                          .arg(type)
                                          .arg(row.id)
                                          .arg(row.srcId);
                continue;
            }
            kept.insert({type, row.id});
            if (stored && touched && !pim::isSameDataValues(merged.values, stored->values, compare)) {
                logUpdate(type, merged, *stored, compare);
                changes << ContactChange(type, ContactChange::ACTION_UPDATED, merged);
            }
        }
    }

    // Deleted rows: shown ones only.
    for (auto it = source.entities.cbegin(); it != source.entities.cend(); ++it) {
        const int type = it.key();
        if (type == pim::ENTITY_NAME)
            continue;
        for (const ContactDataRow& stored : it.value()) {
            const RowKey key {type, stored.id};
            if (stored.id == 0 || !m_filled.contains(key) || kept.contains(key))
                continue;
            qDebug().noquote() << QStringLiteral("action=ACTION_DELETED, type=%1, _id=%2, srcId=%3")
                                      .arg(type)
                                      .arg(stored.id)
                                      .arg(stored.srcId);
            changes << ContactChange(type, ContactChange::ACTION_DELETED, stored);
        }
    }
    return changes;
}
