// A list view that shows its tool tips as plain text and reports selection
// changes and context-menu requests as signals (the photos page); the
// behaviour is ItemView's (itemview.h).
#pragma once

#include "shell/itemview.h"

#include <QListView>

class MyListView : public ItemView<QListView, MyListView> {
    Q_OBJECT

public:
    using ItemView::ItemView;

signals:
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void createContextMenu();
};
