// Contact cards like business cards, eight to a page in two columns of
// four. Serves the print preview (ContactsPrinter) and the PDF export, which
// drives it from its job thread.
#pragma once

#include "records/contact.h"

#include <QImage>
#include <QPainter>
#include <QRect>

class QPrinter;

struct ContactCardPainter {
    ContactCardPainter() = default;
    ~ContactCardPainter();
    ContactCardPainter(const ContactCardPainter&) = delete;
    ContactCardPainter& operator=(const ContactCardPainter&) = delete;

    // Lays out the card grid inside the page and begins painting; false when
    // the painter cannot start on the printer (its output cannot be opened).
    bool begin(QPrinter* printer);
    // Paints the next card; a new page before every eighth.
    void paintContact(const pim::_Contact& contact);
    // Ends painting (completing a PDF file); false when that failed.
    bool end();

    // The card of a contact at w x h pixels.
    static QImage renderCard(int w, int h, const pim::_Contact& contact);
    // The placeholder picture of a contact without photo.
    static QImage placeholderPhoto();

    QPrinter* printer = nullptr;
    QPainter painter;
    QRect area;
    int count = 0;
    int columnGap = 0;
    int rowGap = 0;
    int cardWidth = 0;
    int cardHeight = 0;
    int y = 0;
};
