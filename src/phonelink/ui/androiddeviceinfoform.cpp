#include "phonelink/ui/androiddeviceinfoform.h"

#include "phonelink/androiddeviceinfo.h"
#include "shell/core/fileutils.h"
#include "shell/core/plaintext.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayoutItem>
#include <QSpacerItem>
#include <QVBoxLayout>

void Ui::AndroidDeviceInfoForm::setupUi(QWidget* form)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QStringLiteral("AndroidDeviceInfoForm"));
    form->resize(480, 640);
    form->setWindowTitle(QStringLiteral("Form"));

    auto* vbox = new QVBoxLayout(form);
    vbox->setSpacing(0);
    vbox->setContentsMargins(0, 0, 0, 0);
    vbox->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));

    lbDeviceName = new QLabel(form);
    lbDeviceName->setObjectName(QStringLiteral("lbDeviceName"));
    QFont italic = lbDeviceName->font();
    italic.setItalic(true);
    lbDeviceName->setFont(italic);
    lbDeviceName->setStyleSheet(QStringLiteral("font-size:28px; font-style:italic; "));
    lbDeviceName->setAlignment(Qt::AlignCenter);
    lbDeviceName->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::TextSelectableByMouse);
    vbox->addWidget(lbDeviceName);

    widget_2 = new QWidget(form);
    widget_2->setObjectName(QStringLiteral("widget_2"));
    auto* hbox = new QHBoxLayout(widget_2);
    const QMargins m = hbox->contentsMargins();
    hbox->setContentsMargins(m.left(), 30, m.right(), m.bottom());
    hbox->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    lbLogo = new QLabel(widget_2);
    lbLogo->setObjectName(QStringLiteral("lbLogo"));
    lbLogo->setTextFormat(Qt::RichText);
    lbLogo->setText(QStringLiteral("<img src=\":res/android-big.png\" height=\"150\"/>"));
    hbox->addWidget(lbLogo);
    infoArea = new QWidget(widget_2);
    infoArea->setObjectName(QStringLiteral("infoArea"));
    infoArea->setStyleSheet(QString());
    hbox->addWidget(infoArea);
    hbox->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    vbox->addWidget(widget_2);

    vbox->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

namespace {

QLabel* captionLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// Phone data is shown as plain text: a model name is no markup.
QLabel* valueLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

AndroidDeviceInfoForm::AndroidDeviceInfoForm(AndroidDeviceInfo* device, QWidget* parent)
    : AbsMainForm(parent)
    , ui(std::make_unique<Ui::AndroidDeviceInfoForm>())
    , m_device(device)
{
    ui->setupUi(this);
    ui->lbDeviceName->setTextFormat(Qt::PlainText);
    ui->lbDeviceName->setText(m_device->displayName());

    auto* grid = new QGridLayout(ui->infoArea);
    grid->setColumnMinimumWidth(1, 120);
    grid->setColumnMinimumWidth(3, 120);
    grid->setSpacing(10);
    grid->setContentsMargins(0, 0, 0, 0);

    QWidget* area = ui->infoArea;
    grid->addWidget(captionLabel(tr("<b style=\"font-style:italic;\">Device:</b>"), area), 0, 0);
    grid->addWidget(valueLabel(m_device->displayName(), area), 0, 1);
    grid->addWidget(captionLabel(tr("<b style=\"font-style:italic;\">Android Version:</b>"), area), 0, 2);
    grid->addWidget(valueLabel(m_device->sdk, area), 0, 3);

    grid->addWidget(captionLabel(tr("<b style=\"font-style:italic;\">Device ID:</b>"), area), 1, 0);
    grid->addWidget(valueLabel(m_device->deviceId(), area), 1, 1);
    grid->addWidget(captionLabel(tr("<b style=\"font-style:italic;\">Connecting Method:</b>"), area), 1, 2);
    grid->addWidget(valueLabel(m_device->isWiFi ? QStringLiteral("Wi-Fi") : QStringLiteral("USB"), area), 1, 3);

    grid->addWidget(captionLabel(tr("<b style=\"font-style:italic;\">IMEI:</b>"), area), 2, 0);
    grid->addWidget(valueLabel(m_device->imei, area), 2, 1);
    grid->addWidget(captionLabel(tr("<b style=\"font-style:italic;\">Cache Path:</b>"), area), 2, 2);

    // Asking for the folder creates it when it was deleted meanwhile.
    const QDir cache = m_device->cacheDir();
    const QString path = cache.absolutePath();
    m_cacheLink = new QLabel(area);
    m_cacheLink->setObjectName(QStringLiteral("lbCachePath"));
    m_cacheLink->setTextFormat(Qt::RichText);
    m_cacheLink->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(path.toHtmlEscaped(), cache.dirName().toHtmlEscaped()));
    m_cacheLink->setToolTip(asPlainText(path));
    m_cacheLink->setMaximumWidth(250);
    m_cacheLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::TextSelectableByMouse);
    m_cacheLink->setOpenExternalLinks(false);
    connect(m_cacheLink, &QLabel::linkActivated, this, &AndroidDeviceInfoForm::openBackupFolder);
    grid->addWidget(m_cacheLink, 2, 3);
}

AndroidDeviceInfoForm::~AndroidDeviceInfoForm() = default;

QString AndroidDeviceInfoForm::valueText(int row, int column) const
{
    auto* grid = qobject_cast<QGridLayout*>(ui->infoArea->layout());
    if (!grid)
        return QString();
    QLayoutItem* item = grid->itemAtPosition(row, column);
    auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
    return label ? label->text() : QString();
}

void AndroidDeviceInfoForm::openBackupFolder(const QString& path)
{
    openInExplorer(path);
}
