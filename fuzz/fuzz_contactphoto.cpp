// A contact's photo from a vCard file: the input is the photo's bytes, put
// Base64-encoded into the PHOTO of a vCard 2.1, a 3.0 (as our export
// writes it) and a 4.0 card (a data: URI). Each card's import must give
// the contact those bytes; the photo is then read as the pages show it
// (contactphoto::read, scaledToWidth), as a card or a PDF shows it
// (ContactCardPainter::photoOf, and the card painted with it) and as the
// HTML export saves it, twice, under other bytes in the heap: all must
// come out the same, the pictures and the bytes of the exported photo
// alike (its encoder runs under the fill too), and the photo as the
// reader's header walk planned it. The card stands for what a print and
// the PDF export write: they draw it as it is, and a PDF's own bytes
// differ from one writing to the next (its date and identifier).
#include "picturecheck.h"

#include "formats/contactcardpainter.h"
#include "formats/contactphoto.h"
#include "formats/vcard.h"
#include "formats/vcardimport.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using picturecheck::require;

namespace {

// The photo's width on the contact page.
constexpr int kShownWidth = 128;
// A card's size on an A4 page at screen resolution.
constexpr int kCardWidth = 341;
constexpr int kCardHeight = 213;

// One card of each version whose PHOTO holds these bytes.
QByteArray cardsWithPhoto(const QByteArray& photo)
{
    QByteArray text;
    text += "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Photo;Two One\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n "
        + base64Lines(photo, 76) + "\r\n\r\nEND:VCARD\r\n";
    text += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Three Photo\r\nPHOTO;ENCODING=B;TYPE=JPEG:" + base64Lines(photo, 75)
        + "\r\nEND:VCARD\r\n";
    text += "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Four Photo\r\nPHOTO:data:image/jpeg;base64," + base64Lines(photo, 75)
        + "\r\nEND:VCARD\r\n";
    return text;
}

// What the application makes of a contact's photo.
struct Shown {
    QImage photo; // as read
    QImage onPage; // on the contact page
    QImage onCard; // on a card, a print, a PDF
    QImage card; // the card painted with it; null without a photo
    QByteArray exported; // the HTML export's file
};

Shown shownUnder(int fill, const pim::_Contact& contact)
{
    const picturecheck::HeapFill filled(fill);
    Shown shown;
    shown.photo = contactphoto::read(contactphoto::bytes(contact));
    shown.onPage = contactphoto::scaledToWidth(shown.photo, kShownWidth);
    shown.onCard = ContactCardPainter::photoOf(contact);
    if (!shown.photo.isNull()) {
        shown.card = ContactCardPainter::renderCard(kCardWidth, kCardHeight, contact, shown.onCard);
        QBuffer buffer(&shown.exported);
        buffer.open(QIODevice::WriteOnly);
        require(shown.photo.save(&buffer, "JPEG"), "a photo read that the HTML export cannot save");
    }
    return shown;
}

} // namespace

// fontconfig, which finds the fonts of a card's texts, keeps blocks it
// allocates once where the leak check does not see them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    picturecheck::initialize(argc, argv);
    // The fonts found and loaded once, outside the heap fills: every input's
    // cards are then painted alike.
    ContactCardPainter::renderCard(kCardWidth, kCardHeight, pim::_Contact(0, QString(), QStringLiteral("Card")),
                                   QImage());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray photo(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<VCardCard> cards = VCardParser::parse(cardsWithPhoto(photo));
    require(cards.size() == 3, "a card of the three went missing");
    pim::_Contact contact;
    for (const VCardCard& card : cards) {
        contact = VCardImport::contactFromCard(card);
        require(contactphoto::bytes(contact) == photo, "the import changed the photo's bytes");
    }
    if (photo.isEmpty())
        return 0;

    const Shown first = shownUnder(picturecheck::kFirstFill, contact);
    const Shown second = shownUnder(picturecheck::kSecondFill, contact);
    require(picturecheck::samePixels(first.photo, second.photo), "contactphoto::read: the photo depends on the heap");
    require(picturecheck::samePixels(first.onPage, second.onPage), "the page's photo depends on the heap");
    require(picturecheck::samePixels(first.onCard, second.onCard), "the card's photo depends on the heap");
    require(picturecheck::samePixels(first.card, second.card), "the painted card depends on the heap");
    require(first.exported == second.exported, "the exported photo depends on the heap");
    picturecheck::checkAgainstLayout(photo, first.photo, QByteArray());
    if (!first.photo.isNull()) {
        require(first.onPage.width() <= kShownWidth && first.onPage.height() <= 4 * kShownWidth
                    && !first.onPage.isNull(),
                "the page's photo beyond its width or four times it");
        const int side = ContactCardPainter::kPhotoSide;
        require(first.onCard.width() <= side && first.onCard.height() <= side && !first.onCard.isNull(),
                "the card's photo beyond its box");
    }
    return 0;
}
