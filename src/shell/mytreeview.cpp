#include "mytreeview.h"

#include "shell/itemtooltip.h"

#include <QContextMenuEvent>
#include <QHelpEvent>

MyTreeView::MyTreeView(QWidget* parent)
    : QTreeView(parent)
{
}

void MyTreeView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    emit onSelectionChanged(selected, deselected);
    QTreeView::selectionChanged(selected, deselected);
}

void MyTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    emit createContextMenu();
    QTreeView::contextMenuEvent(event);
}

bool MyTreeView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip)
        return showItemToolTip(*this, *static_cast<QHelpEvent*>(event));
    return QTreeView::viewportEvent(event);
}
