// Base of every page shown to the right of the navigation tree.
#pragma once

#include <QAction>
#include <QList>
#include <QWidget>

class AbsMainForm : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    // The page's actions, parented to the page, for the main window's toolbar
    // (those with an icon) and the tree's context menu (all). Called once
    // right after the page is built. Pages without actions return {}.
    virtual QList<QAction*> createToolbarActions() = 0;
};
