// Phone and file texts in places where Qt guesses the format: tool tips,
// message boxes and labels left in Qt::AutoText take a text for HTML when
// its first line looks like markup (Qt::mightBeRichText). A name such as
// "<b>x</b>" would show bold and "<img src=...>" would load a local picture.
#pragma once

#include <QString>
#include <QVariant>

// The text as Qt shows it written: unchanged when Qt takes it for plain text
// anyway, else escaped HTML that keeps every space and line break. Apply it
// to the whole text handed to the widget (a box text with a file name in it,
// a tool tip), never to a part that is joined with markup afterwards.
QString asPlainText(const QString& text);

// A model's tool tip made from its display value: a text goes through
// asPlainText, anything else (no text, no tip) is returned as it is.
QVariant plainToolTip(const QVariant& display);
