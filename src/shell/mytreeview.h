// A tree view that shows its tool tips as plain text and reports selection
// changes and context-menu requests as signals (the navigation tree and the
// page lists); the behaviour is ItemView's (itemview.h).
#pragma once

#include "shell/itemview.h"

#include <QTreeView>

class MyTreeView : public ItemView<QTreeView, MyTreeView> {
    Q_OBJECT

public:
    using ItemView::ItemView;

signals:
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void createContextMenu();
};
