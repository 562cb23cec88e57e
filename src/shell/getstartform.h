// The start page: the product picture, name and version.
#pragma once

#include "shell/absmainform.h"

class QLabel;

class GetStartForm : public AbsMainForm {
    Q_OBJECT

public:
    explicit GetStartForm(QWidget* parent = nullptr);

    QList<QAction*> createToolbarActions() override { return {}; }

    // The two-line rich text of the product name (maker word, then the rest).
    static QString productText(const QString& productName);

private:
    QLabel* lbProduct = nullptr;
    QLabel* lbVersion = nullptr;
};
