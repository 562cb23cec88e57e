// A list view that shows its tool tips as plain text and reports selection
// changes and context-menu requests as signals (the photos page).
#pragma once

#include <QItemSelection>
#include <QListView>

class MyListView : public QListView {
    Q_OBJECT

public:
    explicit MyListView(QWidget* parent = nullptr);

signals:
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void createContextMenu();

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Tool tips show as plain text (itemtooltip.h).
    bool viewportEvent(QEvent* event) override;
};
