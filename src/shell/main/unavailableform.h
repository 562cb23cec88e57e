// The page of a category whose view is not part of the application yet: it
// says so and offers nothing.
#pragma once

#include "shell/absmainform.h"

class UnavailableForm : public AbsMainForm {
    Q_OBJECT

public:
    UnavailableForm(const QString& category, QWidget* parent = nullptr);

    QList<QAction*> createToolbarActions() override { return {}; }
};
