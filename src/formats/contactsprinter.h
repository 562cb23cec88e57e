// Prints contacts as cards through the print preview dialog; with no
// printer installed the preview runs over a PDF printer.
#pragma once

#include "records/contact.h"

#include <QList>
#include <QObject>

class QFont;
class QPainter;
class QPrinter;

class ContactsPrinter : public QObject {
    Q_OBJECT
public:
    explicit ContactsPrinter(QObject* parent = nullptr);

    // Keeps a copy of the contacts and runs the preview modally; returns
    // when it closes.
    void print(const QList<pim::_Contact>& contacts);

    // One "label value" row of a card at (x, y), width wide; the label bold
    // and italic. The font is changed by the call. Returns the row's height.
    static int drawLabelValue(QPainter* painter, QFont& font, int x, int y, int width, QString label, QString value,
                              bool singleLine);

public Q_SLOTS:
    // Paints every kept contact on the dialog's printer.
    void onPaintRequested(QPrinter* printer);

private:
    QList<pim::_Contact> m_contacts;
};
