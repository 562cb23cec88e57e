// The device chooser: a frameless modal dialog with a drop-down list. It
// returns the chosen entry's id (a device id), which the caller looks up
// again: the tree may have changed while the dialog was open.
#pragma once

#include "shell/abstreeitemmodel.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class WinMovable;

struct DataSourceItem {
    DataSourceItem() = default;
    DataSourceItem(const QString& iconPath, const QString& title, const QString& id)
        : iconPath(iconPath)
        , title(title)
        , id(id)
    {
    }
    QString iconPath;
    QString title;
    QString id; // never empty for a real entry
};

class DataSourceSelForm : public QDialog {
    Q_OBJECT

public:
    explicit DataSourceSelForm(QWidget* parent = nullptr);
    ~DataSourceSelForm() override;

    // Shows the items (the only one preselected; none when there are more),
    // runs the dialog and returns the chosen id, or an empty text when the
    // user cancelled.
    QString setDataSources(const QString& prompt, const QList<DataSourceItem>& items);

    // Selects the entry with this id (false when there is none).
    bool selectId(const QString& id);
    int entryCount() const;
    int currentEntry() const;

private slots:
    void onBtnOkPressed();

private:
    std::unique_ptr<WinMovable> m_movable;
    QLabel* lbSelDevice = nullptr;
    QComboBox* cbDevice = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnClose = nullptr;
};
