// What a user does in the contact editor, for the contacts page tests: the
// dialog as the prompt hands it over, its fields, saving.
#pragma once

#include "views/contacts/contacteditor.h"
#include "views/contacts/editcontactform.h"
#include "views/contacts/genericentitieseditor.h"

#include "records/contact.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace contacttest {

inline void typeInto(QLineEdit* edit, const QString& text)
{
    QVERIFY(edit);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// The dialog as the prompt hands it to the test, shown like the real one.
inline EditContactForm* shown(QDialog* d)
{
    auto* dialog = qobject_cast<EditContactForm*>(d);
    if (dialog) {
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            qWarning() << "editor not shown";
    }
    return dialog;
}

inline QLineEdit* field(EditContactForm* dialog, const char* name)
{
    return dialog->editor()->findChild<QLineEdit*>(QLatin1String(name));
}

inline void save(EditContactForm* dialog)
{
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnSave")), Qt::LeftButton);
}

inline QLineEdit* phoneEdit(EditContactForm* dialog, int row)
{
    return qobject_cast<QLineEdit*>(dialog->editor()->rowEditor(pim::ENTITY_PHONE)->rowWidgets(row).value(1));
}

// A new phone row with the number.
inline void addNumber(EditContactForm* dialog, const QString& number)
{
    AbsEntitiesEditor* phones = dialog->editor()->rowEditor(pim::ENTITY_PHONE);
    QTest::mouseClick(phones->addButton(), Qt::LeftButton);
    typeInto(phoneEdit(dialog, phones->rowCount() - 1), number);
}

inline QAction* action(const QList<QAction*>& actions, const QString& text)
{
    for (QAction* a : actions)
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace contacttest
