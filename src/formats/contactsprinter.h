// Prints contacts as cards through the print preview dialog; with no
// printer installed the preview runs over a PDF printer. The preview paints
// on the window's thread, so the cards' photos are read before it opens,
// on every core under a progress dialog that can cancel the print.
#pragma once

#include "records/contact.h"

#include <QImage>
#include <QList>
#include <QObject>

class QFont;
class QPainter;
class QPrinter;

class ContactsPrinter : public QObject {
    Q_OBJECT
public:
    explicit ContactsPrinter(QObject* parent = nullptr);

    // Keeps a copy of the contacts, reads their photos and runs the
    // preview modally; returns when it closes (at once when the photos'
    // reading was cancelled or failed).
    void print(const QList<pim::_Contact>& contacts);

    // One "label value" row of a card at (x, y), width wide; the label bold
    // and italic. The font is changed by the call. Returns the row's height.
    static int drawLabelValue(QPainter* painter, QFont& font, int x, int y, int width, QString label, QString value,
                              bool singleLine);

public Q_SLOTS:
    // Paints every kept contact with its photo read on the dialog's printer.
    void onPaintRequested(QPrinter* printer);

private:
    // Reads the kept contacts' photos; false when cancelled or failed.
    bool readPhotos();

    QList<pim::_Contact> m_contacts;
    QList<QImage> m_photos; // of each contact, as ContactCardPainter::photoOf reads it
};
