// The modal dialog through which the user connects a phone over Wi-Fi: the
// user types the phone's IPv4 address, the dialog asks the phone for its
// information and, when it answered, keeps the descriptor and accepts.
#pragma once

#include "phonelink/androiddeviceinfo.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class WinMovable;

class AndroidWIFIForm : public QDialog {
    Q_OBJECT
public:
    explicit AndroidWIFIForm(QWidget* parent = nullptr);
    ~AndroidWIFIForm() override;

    // The address part of text when it is a dotted IPv4 address (white space
    // around it ignored); empty otherwise.
    static QString parseAddress(const QString& text);

    QLabel* label_2 = nullptr;
    QLabel* label = nullptr;
    QLineEdit* txtWifiSocket = nullptr;
    QPushButton* btnConnect = nullptr;
    QPushButton* btnClose = nullptr;
    QLabel* lbTipsDownloadAirpathRelay = nullptr;

    // The connected phone; filled only together with accepting the dialog.
    AndroidDeviceInfo device;

public Q_SLOTS:
    void onBtnConnect();

private:
    std::unique_ptr<WinMovable> m_movable;
};
