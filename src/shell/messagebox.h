// Modal message boxes (frameless, styled, draggable), the application style
// sheet and the product's title texts. GUI thread only; every box goes
// through the UiPrompt seam.
#pragma once

#include <QString>

// Icon codes and button codes are those of QMessageBox.
// Returns the code of the button pressed.
int showMessageBox(int icon, const QString& text, int buttons);

// Critical box with Ok; after it closed an error report is sent (only when
// the web service is configured, see shell/core/errorreport.h).
void showError(const QString& err);
void showInfo(const QString& text);
void showWarning(const QString& text);
// Question box with Yes and No; true for Yes.
bool askYesNo(const QString& text);

// The text of ":style.css", read once and kept (empty when unreadable).
QString getStyleSheet();
// "<product> (x64) v<version>".
QString getAppTitle();
// The support address shown in the error box.
QString supportEmail();

// Builds the frameless, styled, draggable box that showMessageBox runs
// (not yet shown; the caller owns it). For the widget prompt and tests.
class QMessageBox;
QMessageBox* createMessageBox(int icon, const QString& text, int buttons);
