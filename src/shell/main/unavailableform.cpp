#include "shell/main/unavailableform.h"

#include <QLabel>
#include <QVBoxLayout>

UnavailableForm::UnavailableForm(const QString& category, QWidget* parent)
    : AbsMainForm(parent)
{
    setObjectName(QStringLiteral("UnavailableForm"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("lbUnavailable"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setText(tr("IDS_VIEW_NOT_AVAILABLE_%1").arg(category));
    layout->addWidget(label);
}
