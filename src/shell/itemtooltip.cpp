#include "itemtooltip.h"

#include "shell/core/plaintext.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

bool showItemToolTip(QAbstractItemView& view, QHelpEvent& event)
{
    const QModelIndex index = view.indexAt(event.pos());
    const QString tip = index.isValid() ? shownToolTip(index) : QString();
    // An empty text hides the tip that is shown.
    QToolTip::showText(event.globalPos(), tip, view.viewport(), view.visualRect(index));
    event.setAccepted(!tip.isEmpty());
    return event.isAccepted();
}
