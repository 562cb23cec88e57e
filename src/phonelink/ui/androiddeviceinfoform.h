// The page shown for a connected phone's own node: what the application
// knows about the phone, and its cache folder as a link.
#pragma once

#include "shell/absmainform.h"

#include <memory>

class AndroidDeviceInfo;
class QLabel;
class QWidget;

namespace Ui {
// The page's widgets (built in code in the designer's layout).
struct AndroidDeviceInfoForm {
    QLabel* lbDeviceName = nullptr;
    QWidget* widget_2 = nullptr;
    QLabel* lbLogo = nullptr;
    QWidget* infoArea = nullptr;

    void setupUi(QWidget* form);
};
} // namespace Ui

class AndroidDeviceInfoForm : public AbsMainForm {
    Q_OBJECT
public:
    // device is the tree node's descriptor; the page does not own it.
    AndroidDeviceInfoForm(AndroidDeviceInfo* device, QWidget* parent = nullptr);
    ~AndroidDeviceInfoForm() override;

    QList<QAction*> createToolbarActions() override { return {}; }

    // The cache-folder link (for tests).
    QLabel* cacheLink() const { return m_cacheLink; }
    // The value shown in the info grid at row, column (1 or 3), for tests.
    QString valueText(int row, int column) const;

public Q_SLOTS:
    void openBackupFolder(const QString& path);

private:
    std::unique_ptr<Ui::AndroidDeviceInfoForm> ui;
    AndroidDeviceInfo* m_device;
    QLabel* m_cacheLink = nullptr;
};
