// A file dialog in which files and folders can be selected together
// (Ctrl/Shift-click) and confirmed at once. Run it with uiprompt::exec and
// read selectedFiles().
#pragma once

#include <QFileDialog>

class MultiSelFileDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit MultiSelFileDialog(QWidget* parent = nullptr);

    int exec() override;

public slots:
    // Accepts without the file dialog's own check of the selection.
    void go();
};
