#include "uiprompt.h"

#include "shell/messagebox.h"
#include "shell/modalwork.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace {

// The real thing: widgets on screen.
class WidgetPrompt : public UiPrompt {
public:
    int messageBox(int icon, const QString& text, int buttons) override
    {
        std::unique_ptr<QMessageBox> box(createMessageBox(icon, text, buttons));
        {
            ModalWork::Scope busy;
            box->exec();
        }
        // The standard button's code; a box closed by Escape answers with its
        // escape button (No or Cancel when present, else Ok).
        auto* clicked = box->clickedButton();
        const int code = clicked ? int(box->standardButton(clicked)) : int(QMessageBox::NoButton);
        if (code != QMessageBox::NoButton)
            return code;
        if (buttons & QMessageBox::Cancel)
            return QMessageBox::Cancel;
        if (buttons & QMessageBox::No)
            return QMessageBox::No;
        return QMessageBox::Ok;
    }

    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                         QString* selectedFilter) override
    {
        ModalWork::Scope busy;
        return QFileDialog::getOpenFileName(parent, caption, dir, filter, selectedFilter);
    }

    QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                              QString* selectedFilter) override
    {
        ModalWork::Scope busy;
        return QFileDialog::getOpenFileNames(parent, caption, dir, filter, selectedFilter);
    }

    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                         QString* selectedFilter) override
    {
        ModalWork::Scope busy;
        return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
    }

    QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir) override
    {
        ModalWork::Scope busy;
        return QFileDialog::getExistingDirectory(parent, caption, dir);
    }

    int execDialog(QDialog* dialog) override { return runModal(dialog); }
};

WidgetPrompt& widgetPrompt()
{
    static WidgetPrompt prompt;
    return prompt;
}

UiPrompt* g_prompt = nullptr;

} // namespace

UiPrompt* UiPrompt::current()
{
    return g_prompt ? g_prompt : &widgetPrompt();
}

UiPrompt* UiPrompt::install(UiPrompt* prompt)
{
    UiPrompt* previous = g_prompt;
    g_prompt = prompt;
    return previous;
}

int UiPrompt::runModal(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    ModalWork::Scope busy;
    return dialog->QDialog::exec();
}

namespace uiprompt {

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        QString* selectedFilter)
{
    return UiPrompt::current()->openFileName(parent, caption, dir, filter, selectedFilter);
}

QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                             QString* selectedFilter)
{
    return UiPrompt::current()->openFileNames(parent, caption, dir, filter, selectedFilter);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        QString* selectedFilter)
{
    return UiPrompt::current()->saveFileName(parent, caption, dir, filter, selectedFilter);
}

QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return UiPrompt::current()->existingDirectory(parent, caption, dir);
}

int exec(QDialog* dialog)
{
    return UiPrompt::current()->execDialog(dialog);
}

} // namespace uiprompt
