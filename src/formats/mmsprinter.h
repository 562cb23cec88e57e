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
    // must outlive the call) and runs the preview modally through the
    // application's dialog seam; returns when it closes.
    void print(const MsgMessageList& messages);

    const MsgMessageList& messages() const { return m_messages; }

public Q_SLOTS:
    // Paints every kept message on the dialog's printer.
    void onPaintRequested(QPrinter* printer);

private:
    MsgMessageList m_messages;
};
