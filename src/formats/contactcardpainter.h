// Contact cards like business cards, eight to a page in two columns of
// four. Serves the print preview (ContactsPrinter) and the PDF export, which
// drives it from its job thread. The painter decodes nothing: each card's
// photo is read beforehand (photoOf), off the window's thread.
#pragma once

#include "records/contact.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <atomic>

class QPrinter;

struct ContactCardPainter {
    ContactCardPainter() = default;
    ~ContactCardPainter();
    ContactCardPainter(const ContactCardPainter&) = delete;
    ContactCardPainter& operator=(const ContactCardPainter&) = delete;

    // Lays out the card grid inside the page and begins painting; false when
    // the painter cannot start on the printer (its output cannot be opened).
    bool begin(QPrinter* printer);
    // Paints the next card with its photo as photoOf read it; a new page
    // before every eighth.
    void paintContact(const pim::_Contact& contact, const QImage& photo);
    // Ends painting (completing a PDF file); false when that failed.
    bool end();

    // The card of a contact at w x h pixels, with the photo photoOf read
    // (the placeholder when null).
    static QImage renderCard(int w, int h, const pim::_Contact& contact, const QImage& photo);
    // The same, its photo read here (a job's thread or a test, never the
    // window's).
    static QImage renderCard(int w, int h, const pim::_Contact& contact);
    // The contact's photo as a card shows it, within kPhotoSide on either
    // side; null without one (or for bytes that are no picture within the
    // reader's bounds, or when *stop was set). It decodes: never on the
    // window's thread.
    static QImage photoOf(const pim::_Contact& contact, const std::atomic_bool* stop = nullptr);
    // A card's photo is a third of its width: 123 pixels on an A4 page at
    // screen resolution; read at up to twice that.
    static constexpr int kPhotoSide = 256;
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
