#include "multiselfiledialog.h"

#include "shell/uiprompt.h"

#include <QDialogButtonBox>
#include <QListView>
#include <QTreeView>

MultiSelFileDialog::MultiSelFileDialog(QWidget* parent)
    : QFileDialog(parent, QString(), QString(), QString())
{
    // Qt's own dialog: the native one offers no mixed file/folder selection.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFiles);
    if (auto* list = findChild<QListView*>(QStringLiteral("listView")))
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (auto* tree = findChild<QTreeView*>())
        tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        disconnect(box, &QDialogButtonBox::accepted, this, nullptr);
        connect(box, &QDialogButtonBox::accepted, this, &MultiSelFileDialog::go);
    }
}

int MultiSelFileDialog::exec()
{
    return UiPrompt::current()->execDialog(this);
}

void MultiSelFileDialog::go()
{
    // Past the file dialog's own accept, which would check the selection.
    QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
}
