// The page of a local backup folder: its name, its record counts and a link
// that opens the folder.
#pragma once

#include "shell/absmainform.h"
#include "shell/itemmodelmain.h"

#include <QDir>

class QLabel;

class LocalDbDescForm : public AbsMainForm {
    Q_OBJECT

public:
    LocalDbDescForm(const QDir& dir, const _LocalDbItemNode::Counts& counts, QWidget* parent = nullptr);

    QList<QAction*> createToolbarActions() override { return {}; }

public slots:
    void openDbFolder(const QString& path);

private:
    QLabel* lbDbName = nullptr;
};
