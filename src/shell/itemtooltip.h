// The tool tips of our item views (MyTreeView, MyListView): the item under
// the pointer shows its tool tip as plain text (shownToolTip in
// shell/core/plaintext.h), whatever the model holds, so a model cannot show
// a phone's or a file's text as markup.
#pragma once

class QAbstractItemView;
class QHelpEvent;

// Handles a QEvent::ToolTip on view's viewport as the item delegate would,
// with the text made plain: shows the tip of the item under the pointer, or
// hides any tip when it has none. Returns whether a tip is shown.
bool showItemToolTip(QAbstractItemView& view, QHelpEvent& event);
