// Prints conversations as chat bubbles through the print preview dialog;
// with no printer installed the preview runs over a PDF printer.
#pragma once

#include "messagestore/msgrecords.h"

#include <QObject>

class QPrinter;

class MMSPrinter : public QObject {
    Q_OBJECT
public:
    explicit MMSPrinter(QObject* parent = nullptr);

    // Keeps a sorted copy of the list (the records stay the caller's and
    // must outlive the call), makes the thumbnails and card pictures the
    // parts lack off the window's thread (with a progress dialog the user
    // may cancel, which ends the print) and runs the preview modally through
    // the application's dialog seam; returns when it closes. The preview's
    // painting reads only the pictures made.
    void print(const MsgMessageList& messages);

    const MsgMessageList& messages() const { return m_messages; }

public Q_SLOTS:
    // Paints every kept message on the dialog's printer.
    void onPaintRequested(QPrinter* printer);

private:
    // False when the user cancelled (or the work failed, which was shown).
    bool makePartPictures();

    MsgMessageList m_messages;
};
