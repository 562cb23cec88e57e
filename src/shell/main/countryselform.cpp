#include "shell/main/countryselform.h"

#include "messagestore/countrylibdb.h"
#include "phonelink/androiddeviceinfo.h"
#include "shell/core/outputfile.h"
#include "shell/messagebox.h"
#include "shell/uiprompt.h"
#include "shell/winmovable.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace Ui {

void CountrySelForm::setupUi(QDialog* dialog)
{
    dialog->setObjectName(QStringLiteral("CountrySelForm"));
    dialog->resize(326, 398);

    auto* verticalLayout_3 = new QVBoxLayout(dialog);
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    verticalLayout_3->setSpacing(10);
    const QMargins m = verticalLayout_3->contentsMargins();
    verticalLayout_3->setContentsMargins(m.left(), 15, m.right(), 15);

    lbTitle = new QLabel(dialog);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    verticalLayout_3->addWidget(lbTitle);

    auto* widget = new QWidget(dialog);
    widget->setObjectName(QStringLiteral("widget"));
    auto* verticalLayout_2 = new QVBoxLayout(widget);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setSpacing(2);
    verticalLayout_2->setContentsMargins(0, 10, 0, 0);
    txtKW = new QLineEdit(widget);
    txtKW->setObjectName(QStringLiteral("txtKW"));
    verticalLayout_2->addWidget(txtKW);
    ltCountries = new QListWidget(widget);
    ltCountries->setObjectName(QStringLiteral("ltCountries"));
    verticalLayout_2->addWidget(ltCountries);
    verticalLayout_3->addWidget(widget);

    auto* widget_2 = new QWidget(dialog);
    widget_2->setObjectName(QStringLiteral("widget_2"));
    auto* horizontalLayout = new QHBoxLayout(widget_2);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(10);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    horizontalLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    btnOK = new QPushButton(widget_2);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    horizontalLayout->addWidget(btnOK);
    verticalLayout_3->addWidget(widget_2);

    retranslateUi(dialog);
    QObject::connect(btnOK, &QPushButton::pressed, dialog, &QDialog::accept);
}

void CountrySelForm::retranslateUi(QDialog* dialog)
{
    dialog->setWindowTitle(::CountrySelForm::tr("Dialog"));
    lbTitle->setText(::CountrySelForm::tr("IDS_SEL_YOUR_PHONE_COUNTRY"));
    btnOK->setText(::CountrySelForm::tr("OK"));
}

} // namespace Ui

CountrySelForm::CountrySelForm(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CountrySelForm>())
{
    ui->setupUi(this);
    connect(ui->txtKW, &QLineEdit::textChanged, this, &CountrySelForm::kwinput);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(getStyleSheet());
    m_movable = std::make_unique<WinMovable>(this);

    try {
        CountryLibDb db {QString()};
        db.open();
        Sqlite3Cursor c
            = db.queryThrow(QStringLiteral("select pnum, n, substr(mmc,0,4) as mmc from countries order by n asc"));
        while (c.moveNext()) {
            m_countries.append(qMakePair(
                c.getText(QStringLiteral("mmc")),
                QStringLiteral("%1 (+%2)").arg(c.getText(QStringLiteral("n")), c.getText(QStringLiteral("pnum")))));
        }
    } catch (const std::exception& e) {
        qWarning() << "country table not readable:" << e.what();
        m_countries.clear();
        showError(QString::fromUtf8(e.what()));
    }
    for (const auto& country : std::as_const(m_countries))
        addItem(country);
}

CountrySelForm::~CountrySelForm() = default;

int CountrySelForm::run()
{
    // With nothing to pick the dialog could never be left.
    if (!hasCountries())
        return QDialog::Rejected;
    return uiprompt::exec(this);
}

void CountrySelForm::addItem(const QPair<QString, QString>& country)
{
    auto* item = new QListWidgetItem(country.second, ui->ltCountries);
    item->setData(Qt::UserRole, country.first);
}

void CountrySelForm::kwinput(const QString& keyword)
{
    ui->ltCountries->clear();
    for (const auto& country : std::as_const(m_countries)) {
        if (country.second.contains(keyword, Qt::CaseInsensitive))
            addItem(country);
    }
}

void CountrySelForm::accept()
{
    QListWidgetItem* item = ui->ltCountries->currentItem();
    if (!item) {
        showWarning(tr("IDS_CANT_CONTINUE_WITHOUT_SEL_ONE_COUNTRY"));
        return;
    }
    if (!askYesNo(tr("IDS_CONFIRM_SEL_COUNTRY_%1").arg(item->text())))
        return;
    selectedMcc = item->data(Qt::UserRole).toString();
    QDialog::accept();
}

void CountrySelForm::reject()
{
    if (!hasCountries())
        QDialog::reject();
}

// ------------------------------------------------------------------ .mmc file

namespace {

QString mccFilePath(const QDir& folder, const QString& name)
{
    // The device id comes from the phone: it must name a file in this folder.
    QString component = phoneNameToPathComponent(name);
    if (component.isEmpty())
        component = QStringLiteral("unknown_device");
    return folder.absoluteFilePath(component + QStringLiteral(".mmc"));
}

} // namespace

void writeMccFile(const QString& mcc, const QDir& folder, const QString& name)
{
    // The choice asked once: a failed write keeps the one saved before.
    OutputFile file(mccFilePath(folder, name));
    if (!file.open() || !file.write(mcc.toUtf8()) || !file.commit())
        qWarning() << "cannot save the country code in" << file.fileName() << ':' << file.errorString();
}

QString readMccFile(const QDir& folder, const QString& name)
{
    QFile file(mccFilePath(folder, name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // An MCC is three digits; anything much longer is not one.
    return QString::fromLatin1(file.read(64));
}

void settleDeviceCountry(AndroidDeviceInfo& device, QWidget* parent)
{
    if (!device.mmc.isEmpty()) {
        bool found = false;
        try {
            CountryLibDb db {QString()};
            db.getCountryByMcc(device.mmc, &found);
        } catch (const std::exception& e) {
            // The table is unreadable: the phone's own code is the best we have.
            qWarning() << "country look-up failed:" << e.what();
            return;
        }
        if (found)
            return;
    }

    const QDir cache = device.cacheDir();
    device.mmc = readMccFile(cache, device.deviceId());
    if (!device.mmc.isEmpty())
        return;

    QString tips = QCoreApplication::translate("MainWindow", "IDS_ANDROID_%1_CANT_READ_MMC_NUMBER");
    if (tips.contains(QLatin1String("%1")))
        tips = tips.arg(device.displayName());
    showInfo(tips);

    CountrySelForm chooser(parent);
    if (chooser.run() == QDialog::Accepted && !chooser.selectedMcc.isEmpty()) {
        device.mmc = chooser.selectedMcc;
        writeMccFile(device.mmc, cache, device.deviceId());
    }
}
