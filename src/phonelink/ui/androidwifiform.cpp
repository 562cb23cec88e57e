#include "phonelink/ui/androidwifiform.h"

#include "phonelink/androidconnectthreads.h"
#include "shell/messagebox.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/winmovable.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

AndroidWIFIForm::AndroidWIFIForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("AndroidWIFIForm"));
    resize(404, 226);
    setWindowTitle(QStringLiteral("AndroidWIFIForm"));

    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setGeometry(20, 10, 271, 16);
    label_2->setText(tr("Connect Android via WiFi"));

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(40, 40, 341, 61);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setText(tr("Run Quillharbor Phone Agent on Android phone and click Connection button to get the "
                      "Wifi connection info. Now input the info to the following Text Box."));

    txtWifiSocket = new QLineEdit(this);
    txtWifiSocket->setObjectName(QStringLiteral("txtWifiSocket"));
    txtWifiSocket->setGeometry(40, 110, 331, 20);

    btnConnect = new QPushButton(this);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setGeometry(100, 140, 75, 23);
    btnConnect->setText(tr("Connect"));

    btnClose = new QPushButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(230, 140, 75, 23);
    btnClose->setText(tr("Cancel"));

    lbTipsDownloadAirpathRelay = new QLabel(this);
    lbTipsDownloadAirpathRelay->setObjectName(QStringLiteral("lbTipsDownloadAirpathRelay"));
    lbTipsDownloadAirpathRelay->setGeometry(0, 190, 401, 31);
    lbTipsDownloadAirpathRelay->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lbTipsDownloadAirpathRelay->setWordWrap(true);
    lbTipsDownloadAirpathRelay->setOpenExternalLinks(true);
    lbTipsDownloadAirpathRelay->setText(
        tr("If you haven't installed Quillharbor Phone Agent on Android phone, please go to the Market (Google "
           "Play) on your Android to search Quillharbor Phone Agent to download and install."));

    setStyleSheet(getStyleSheet()
                  + QStringLiteral(" #lbTipsDownloadAirpathRelay { font-size:9px; color:#767B7C; margin:0 10px;}"));
    m_movable = std::make_unique<WinMovable>(this);

    connect(btnConnect, &QPushButton::pressed, this, &AndroidWIFIForm::onBtnConnect);
    connect(btnClose, &QPushButton::pressed, this, &QDialog::reject);
}

AndroidWIFIForm::~AndroidWIFIForm() = default;

QString AndroidWIFIForm::parseAddress(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    return m.hasMatch() ? m.captured(1) : QString();
}

void AndroidWIFIForm::onBtnConnect()
{
    const QString address = parseAddress(txtWifiSocket->text());
    if (address.isEmpty()) {
        showWarning(tr("IDS_WIFI_SOCK_WRONG_FOR_EXAMPLE"));
        return;
    }

    ProgressForm progress(tr("IDS_CONNECTING_ANDROID_DEVICE"), this);
    AndroidConnectWithWiFiThread thread(address, &progress);
    if (runJob(progress, thread) != JobResult::Succeeded)
        return; // the progress dialog has shown the error, if any
    device = thread.device();
    accept();
}
