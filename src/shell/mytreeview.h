// A tree view that shows its tool tips as plain text and reports selection
// changes and context-menu requests as signals (the navigation tree and the
// page lists).
#pragma once

#include <QItemSelection>
#include <QTreeView>

class MyTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit MyTreeView(QWidget* parent = nullptr);

signals:
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void createContextMenu();

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Tool tips show as plain text (itemtooltip.h).
    bool viewportEvent(QEvent* event) override;
};
