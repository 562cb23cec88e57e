#include "localdbdescform.h"

#include "shell/core/fileutils.h"
#include "shell/core/plaintext.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* captionLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* countLabel(qint64 count, QWidget* parent)
{
    auto* label = new QLabel(_LocalDbItemNode::countText(count), parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

LocalDbDescForm::LocalDbDescForm(const QDir& dir, const _LocalDbItemNode::Counts& counts, QWidget* parent)
    : AbsMainForm(parent)
{
    setObjectName(QStringLiteral("LocalDbDescForm"));
    resize(688, 403);

    auto* outer = new QVBoxLayout(this);
    outer->addItem(new QSpacerItem(20, 141, QSizePolicy::Minimum, QSizePolicy::Expanding));
    auto* widget2 = new QWidget(this);
    widget2->setObjectName(QStringLiteral("widget_2"));
    auto* row = new QHBoxLayout(widget2);
    row->addItem(new QSpacerItem(250, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    auto* widget = new QWidget(widget2);
    widget->setObjectName(QStringLiteral("widget"));
    auto* column = new QVBoxLayout(widget);
    lbDbName = new QLabel(widget);
    lbDbName->setObjectName(QStringLiteral("lbDbName"));
    lbDbName->setStyleSheet(QStringLiteral("font-size:28px; font-style:italic; "));
    lbDbName->setAlignment(Qt::AlignCenter);
    lbDbName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    lbDbName->setTextFormat(Qt::PlainText); // a folder name is not markup
    auto* infoArea = new QWidget(widget);
    infoArea->setObjectName(QStringLiteral("infoArea"));
    column->addWidget(lbDbName);
    column->addWidget(infoArea);
    row->addWidget(widget);
    row->addItem(new QSpacerItem(250, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    outer->addWidget(widget2);
    outer->addItem(new QSpacerItem(20, 140, QSizePolicy::Minimum, QSizePolicy::Expanding));

    lbDbName->setText(dir.dirName());

    auto* grid = new QGridLayout(infoArea);
    grid->setSpacing(15);
    grid->setContentsMargins(10, 25, 10, 10);
    grid->setColumnMinimumWidth(1, 120);
    grid->setColumnMinimumWidth(3, 120);

    using C = _LocalDbItemNode;
    const struct {
        int row, col;
        const char* name;
        int count; // -1: the folder link
    } cells[] = {
        {0, 0, QT_TR_NOOP("<b style=\"font-style:italic;\">SMS:</b>"), C::Messages},
        {0, 2, QT_TR_NOOP("<b style=\"font-style:italic;\">Contacts:</b>"), C::Contacts},
        {1, 0, QT_TR_NOOP("<b style=\"font-style:italic;\">Calendar:</b>"), C::CalendarEvents},
        {1, 2, QT_TR_NOOP("<b style=\"font-style:italic;\">Notes:</b>"), C::Notes},
        {2, 0, QT_TR_NOOP("<b style=\"font-style:italic;\">Call History:</b>"), C::CallRecords},
        {2, 2, QT_TR_NOOP("<b style=\"font-style:italic;\">Playlists:</b>"), C::Playlists},
        {3, 0, QT_TR_NOOP("<b style=\"font-style:italic;\">Bookmarks:</b>"), C::Bookmarks},
        {3, 2, QT_TR_NOOP("<b style=\"font-style:italic;\">Path:</b>"), -1},
    };
    for (const auto& cell : cells) {
        grid->addWidget(captionLabel(tr(cell.name), infoArea), cell.row, cell.col);
        if (cell.count >= 0)
            grid->addWidget(countLabel(counts[cell.count], infoArea), cell.row, cell.col + 1);
    }

    const QString path = dir.absolutePath();
    auto* link = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(path.toHtmlEscaped(), dir.dirName().toHtmlEscaped()), infoArea);
    link->setObjectName(QStringLiteral("lbDbPath"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    link->setToolTip(asPlainText(path));
    link->setMaximumWidth(300);
    connect(link, &QLabel::linkActivated, this, &LocalDbDescForm::openDbFolder);
    grid->addWidget(link, 3, 3);
}

void LocalDbDescForm::openDbFolder(const QString& path)
{
    openInExplorer(path);
}
