#include "shell/core/plaintext.h"

#include <QAbstractItemModel>
#include <QModelIndex>
#include <QTextDocument>

QString asPlainText(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    // pre-wrap keeps runs of spaces and the line breaks, and still lets a
    // long box text wrap.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString shownToolTip(const QModelIndex& index)
{
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (index.model() && index.model()->property(kToolTipsMadePlain).toBool())
        return tip;
    return asPlainText(tip);
}
