// The one seam through which every modal question of the application is
// asked: message boxes, file and folder dialogs and every modal dialog run
// (the progress dialog, the device chooser, the file chooser). The GUI
// installs nothing and gets real widgets; a test installs its own prompt
// that answers from a script and records what was asked. GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

class UiPrompt {
public:
    virtual ~UiPrompt() = default;

    // A message box: icon and buttons are the QMessageBox codes (icon 1..4,
    // buttons a mask of Yes/No/Ok/Cancel). Returns the pressed button's code.
    virtual int messageBox(int icon, const QString& text, int buttons) = 0;

    // File dialogs. filter lists the filters joined by ";;". selectedFilter,
    // when given, names the filter selected at start (empty: the first) and
    // receives the one the user finally picked.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                 QString* selectedFilter)
        = 0;
    virtual QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter, QString* selectedFilter)
        = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                 QString* selectedFilter)
        = 0;
    virtual QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir) = 0;

    // Runs a modal dialog and returns its result (QDialog::exec's value).
    // Dialogs whose exec() goes through here call it instead of QDialog::exec.
    virtual int execDialog(QDialog* dialog) = 0;

    // The prompt in force (the widget prompt unless a test installed one).
    static UiPrompt* current();
    // Installs a prompt (not owned); null restores the widget prompt.
    // Returns the previous one.
    static UiPrompt* install(UiPrompt* prompt);
    // Runs the dialog's own event loop (QDialog::exec without the seam).
    static int runModal(QDialog* dialog);
};

// Short forms of the seam for callers.
namespace uiprompt {
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                        const QString& filter = QString(), QString* selectedFilter = nullptr);
QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir = QString(),
                             const QString& filter = QString(), QString* selectedFilter = nullptr);
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                        const QString& filter = QString(), QString* selectedFilter = nullptr);
QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir = QString());
int exec(QDialog* dialog);
} // namespace uiprompt
