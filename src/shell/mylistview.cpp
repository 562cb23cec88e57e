#include "mylistview.h"

#include "shell/itemtooltip.h"

#include <QContextMenuEvent>
#include <QHelpEvent>

MyListView::MyListView(QWidget* parent)
    : QListView(parent)
{
}

void MyListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    emit onSelectionChanged(selected, deselected);
    QListView::selectionChanged(selected, deselected);
}

void MyListView::contextMenuEvent(QContextMenuEvent* event)
{
    emit createContextMenu();
    QListView::contextMenuEvent(event);
}

bool MyListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip)
        return showItemToolTip(*this, *static_cast<QHelpEvent*>(event));
    return QListView::viewportEvent(event);
}
