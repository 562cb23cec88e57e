#include "datasourceselform.h"

#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/uiprompt.h"
#include "shell/winmovable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

DataSourceSelForm::DataSourceSelForm(QWidget* parent)
    : QDialog(parent)
    , m_movable(std::make_unique<WinMovable>(this))
{
    setObjectName(QStringLiteral("DataSourceSelForm"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(421, 152);

    lbSelDevice = new QLabel(tr("IDS_TITLE_SELECT_ONE_DEVICE_TO_TRANSFER"), this);
    lbSelDevice->setObjectName(QStringLiteral("lbSelDevice"));
    lbSelDevice->setGeometry(10, 20, 401, 16);

    cbDevice = new QComboBox(this);
    cbDevice->setObjectName(QStringLiteral("cbDevice"));
    cbDevice->setGeometry(10, 50, 401, 22);
    cbDevice->setEditable(false);

    auto* layoutWidget = new QWidget(this);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    layoutWidget->setGeometry(100, 100, 211, 25);
    auto* box = new QHBoxLayout(layoutWidget);
    box->setContentsMargins(0, 0, 0, 0);
    btnOK = new QPushButton(tr("IDS_BTN_CONFIRM"), layoutWidget);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnClose = new QPushButton(tr("IDS_BTN_CANCEL"), layoutWidget);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    box->addWidget(btnOK);
    box->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    box->addWidget(btnClose);

    connect(btnClose, &QPushButton::pressed, this, &QDialog::reject);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(getStyleSheet());
    connect(btnOK, &QPushButton::pressed, this, &DataSourceSelForm::onBtnOkPressed);
}

DataSourceSelForm::~DataSourceSelForm() = default;

QString DataSourceSelForm::setDataSources(const QString& prompt, const QList<DataSourceItem>& items)
{
    lbSelDevice->setText(prompt);
    cbDevice->clear();
    for (const DataSourceItem& item : items)
        cbDevice->addItem(QIcon(item.iconPath), item.title, item.id);
    cbDevice->setCurrentIndex(items.size() <= 1 ? 0 : -1);
    if (uiprompt::exec(this) != QDialog::Accepted)
        return QString();
    return cbDevice->currentIndex() < 0 ? QString() : cbDevice->currentData().toString();
}

bool DataSourceSelForm::selectId(const QString& id)
{
    const int i = cbDevice->findData(id);
    if (i < 0 || id.isEmpty())
        return false;
    cbDevice->setCurrentIndex(i);
    return true;
}

int DataSourceSelForm::entryCount() const
{
    return cbDevice->count();
}

int DataSourceSelForm::currentEntry() const
{
    return cbDevice->currentIndex();
}

void DataSourceSelForm::onBtnOkPressed()
{
    if (cbDevice->currentIndex() >= 0) {
        accept();
        return;
    }
    showWarning(tr("IDS_PLEASE_SELECT_ONE_DATASOURCE"));
}
