// Asks for the local backup folder a backup goes into: one of the existing
// folders (the backup merges into it) or a new name (a new folder).
//
//   LocalDbSelForm form(this, suggestedName);
//   if (uiprompt::exec(&form) == QDialog::Accepted) open files in form.localDbDir
#pragma once

#include <QDialog>
#include <QDir>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class WinMovable;

class LocalDbSelForm : public QDialog {
    Q_OBJECT

public:
    LocalDbSelForm(QWidget* parent, const QString& defaultName);
    ~LocalDbSelForm() override;

    // The chosen folder; set (and created) just before the dialog accepts.
    QDir localDbDir;
    // True once a folder was chosen.
    bool hasChoice() const { return m_chosen; }

    QComboBox* comboBox() const { return cbLocalDbNames; }

    // Whether a typed name is usable as a backup folder name (after trimming).
    static bool isValidName(const QString& trimmedName);

public slots:
    void onBtnOkPress();

private:
    std::unique_ptr<WinMovable> mover;
    QLabel* label = nullptr;
    QComboBox* cbLocalDbNames = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnClose = nullptr;
    bool m_chosen = false;
};
