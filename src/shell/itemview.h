// What our item views (MyTreeView, MyListView) add to Qt's: tool tips shown
// as plain text (itemtooltip.h), and selection changes and context-menu
// requests passed on as the signals onSelectionChanged and
// createContextMenu. The meta-object compiler takes no template with
// signals, so View is the Qt view and Derived, the view built on it,
// declares the two signals.
#pragma once

#include "shell/itemtooltip.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QItemSelection>
#include <QWidget>

template <class View, class Derived> class ItemView : public View {
public:
    explicit ItemView(QWidget* parent = nullptr)
        : View(parent)
    {
    }

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override
    {
        emit static_cast<Derived*>(this)->onSelectionChanged(selected, deselected);
        View::selectionChanged(selected, deselected);
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        emit static_cast<Derived*>(this)->createContextMenu();
        View::contextMenuEvent(event);
    }

    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip)
            return showItemToolTip(*this, *static_cast<QHelpEvent*>(event));
        return View::viewportEvent(event);
    }
};
