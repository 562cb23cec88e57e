#include "getstartform.h"

#include "shell/aboutusform.h"
#include "shell/core/errorreport.h"

#include <QDate>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

QLabel* richLabel(const QString& name, int pointSize, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont f = label->font();
    f.setPointSize(pointSize);
    label->setFont(f);
    label->setTextFormat(Qt::RichText);
    return label;
}

} // namespace

GetStartForm::GetStartForm(QWidget* parent)
    : AbsMainForm(parent)
{
    setObjectName(QStringLiteral("GetStartForm"));
    setWindowTitle(QStringLiteral("Form"));
    resize(919, 570);

    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(15);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addItem(new QSpacerItem(20, 230, QSizePolicy::Minimum, QSizePolicy::Expanding));

    auto* widget2 = new QWidget(this);
    widget2->setObjectName(QStringLiteral("widget_2"));
    auto* row = new QHBoxLayout(widget2);
    row->setSpacing(15);
    row->setContentsMargins(0, 9, 0, row->contentsMargins().bottom());
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    auto* label2 = new QLabel(widget2);
    label2->setObjectName(QStringLiteral("label_2"));
    label2->setText(QStringLiteral("<p><img src=\":main\" height=\"180\"/></p>"));
    row->addWidget(label2);

    auto* widget = new QWidget(widget2);
    widget->setObjectName(QStringLiteral("widget"));
    auto* texts = new QVBoxLayout(widget);
    lbProduct = richLabel(QStringLiteral("lbProduct"), 8, widget);
    lbVersion = richLabel(QStringLiteral("lbVersion"), 16, widget);
    auto* label5 = richLabel(QStringLiteral("label_5"), 16, widget);
    label5->setText(QStringLiteral("<span style=\"font-size:10pt; color:#5A7498;\">%1</span>")
                        .arg(AboutUsForm::rightsNotice(QDate::currentDate().year()).toHtmlEscaped()));
    texts->addWidget(lbProduct);
    texts->addWidget(lbVersion);
    texts->addWidget(label5);
    row->addWidget(widget);
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    outer->addWidget(widget2);
    outer->addItem(new QSpacerItem(20, 266, QSizePolicy::Minimum, QSizePolicy::Expanding));

    lbProduct->setText(productText(appinfo::productName()));
    lbVersion->setText(QStringLiteral("<span style=\"font-size:16pt\">V %1</span>").arg(appinfo::versionText()));
}

QString GetStartForm::productText(const QString& productName)
{
    static const QRegularExpression maker(QStringLiteral("^quillharbor "), QRegularExpression::CaseInsensitiveOption);
    QString rest = productName;
    rest.replace(maker, QString());
    return QStringLiteral("<span style=\"font-size:16pt\">Quillharbor</span><br/>")
        + QStringLiteral("<span style=\"font-size:22pt\">%1</span>").arg(rest.toHtmlEscaped());
}
