// Phone and file texts in places where Qt guesses the format: tool tips,
// message boxes and labels left in Qt::AutoText take a text for HTML when
// its first line looks like markup (Qt::mightBeRichText). A name such as
// "<b>x</b>" would show bold and "<img src=...>" would load a local picture.
#pragma once

#include <QString>

class QModelIndex;

// The text as Qt shows it written: unchanged when Qt takes it for plain text
// anyway, else escaped HTML that keeps every space and line break. Apply it
// to the whole text handed to the widget (a box text with a file name in it,
// a tool tip), never to a part that is joined with markup afterwards.
QString asPlainText(const QString& text);

// Item views show their tool tips as plain text: MyTreeView and MyListView
// show shownToolTip(index), so a model's Qt::ToolTipRole holds its text as
// written. A model that makes its tool tips plain itself (they are tested as
// the model gives them) sets this dynamic property to true, and the views
// show its tips as they are.
inline constexpr char kToolTipsMadePlain[] = "toolTipsMadePlain";

// The text a view shows as the tool tip of index: the model's tool-tip
// text through asPlainText, or as it is where the model made it plain.
QString shownToolTip(const QModelIndex& index);
