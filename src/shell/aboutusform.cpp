#include "aboutusform.h"

#include "shell/core/errorreport.h"
#include "shell/messagebox.h"
#include "shell/winmovable.h"

#include <QDate>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

AboutUsForm::AboutUsForm(QWidget* parent)
    : QDialog(parent)
    , m_movable(std::make_unique<WinMovable>(this))
{
    setObjectName(QStringLiteral("AboutUsForm"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(400, 194);

    auto* lbTitle = new QLabel(tr("IDS_ABOUT"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    lbTitle->setGeometry(20, 10, 121, 20);

    auto* picApp = new QGraphicsView(this);
    picApp->setObjectName(QStringLiteral("picApp"));
    picApp->setGeometry(20, 40, 64, 64);
    picApp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    picApp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    lbProduct = new QLabel(this);
    lbProduct->setObjectName(QStringLiteral("lbProduct"));
    lbProduct->setGeometry(100, 48, 281, 31);
    lbProduct->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbProduct->setWordWrap(true);

    lbCopyRight = new QLabel(this);
    lbCopyRight->setObjectName(QStringLiteral("lbCopyRight"));
    lbCopyRight->setGeometry(100, 80, 281, 16);

    auto* lbHomePage = new QLabel(this);
    lbHomePage->setObjectName(QStringLiteral("lbHomePage"));
    lbHomePage->setGeometry(20, 120, 281, 16);

    auto* btnOK = new QPushButton(tr("IDS_BTN_OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(160, 160, 75, 23);
    connect(btnOK, &QPushButton::pressed, this, &QDialog::accept);

    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(getStyleSheet());

    lbProduct->setText(QStringLiteral("%1 v%2").arg(appinfo::productName(), appinfo::versionText()));

    m_scene = new QGraphicsScene(this);
    const QPixmap picture(QStringLiteral(":main"));
    if (!picture.isNull())
        m_scene->addPixmap(picture.scaledToHeight(64, Qt::SmoothTransformation));
    picApp->setStyleSheet(QStringLiteral("background:Transparent;border:0;"));
    picApp->setScene(m_scene);

    lbHomePage->setOpenExternalLinks(true);
    lbHomePage->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(homePage()));

    lbCopyRight->setText(rightsNotice(QDate::currentDate().year()));
}

AboutUsForm::~AboutUsForm() = default;

QString AboutUsForm::homePage()
{
    return QStringLiteral("https://www.quillharbor.example/");
}

QString AboutUsForm::rightsNotice(int year)
{
    return QStringLiteral("\u00a9 %1 Quillharbor. All rights reserved.").arg(year);
}
