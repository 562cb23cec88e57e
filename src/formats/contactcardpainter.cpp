#include "formats/contactcardpainter.h"

#include "formats/contactphoto.h"
#include "formats/contactrowformat.h"
#include "formats/contactsprinter.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>

#include <algorithm>

namespace {

QString col(const ContactDataRow& row, int n)
{
    return pim::valueText(row.values, QStringLiteral("data%1").arg(n));
}

QFont applicationFont()
{
    return QGuiApplication::font();
}

} // namespace

ContactCardPainter::~ContactCardPainter()
{
    if (painter.isActive())
        painter.end();
}

bool ContactCardPainter::begin(QPrinter* p)
{
    printer = p;
    const QMarginsF margins = printer->pageLayout().margins(QPageLayout::Point);
    const QRectF page = printer->pageRect(QPrinter::DevicePixel);
    // The margins once more, inside the printable page.
    area = QRect(int(margins.left()), int(margins.top()), int(page.width() - margins.left() - margins.right()),
                 int(page.height() - margins.top() - margins.bottom()));
    const int w = area.width();
    columnGap = w * 20 / 820;
    rowGap = w * 45 / 570;
    cardWidth = (w - columnGap) / 2;
    cardHeight = cardWidth * 10 / 16;
    y = area.top();
    count = 0;
    if (!painter.begin(printer))
        return false;
    painter.setFont(applicationFont());
    return true;
}

void ContactCardPainter::paintContact(const pim::_Contact& contact, const QImage& photo)
{
    if (!painter.isActive())
        return;
    if (count > 0 && count % 8 == 0) {
        printer->newPage();
        y = area.top();
    }
    const QImage card = renderCard(cardWidth, cardHeight, contact, photo);
    if (count % 2 == 0) {
        painter.drawImage(QPoint(area.left(), y), card);
    } else {
        painter.drawImage(QPoint(area.left() + columnGap + cardWidth, y), card);
        y += rowGap + cardHeight;
    }
    ++count;
}

bool ContactCardPainter::end()
{
    if (!painter.isActive())
        return false;
    return painter.end();
}

QImage ContactCardPainter::placeholderPhoto()
{
    static const QImage placeholder(QStringLiteral(":/res/empty_contact.png"));
    return placeholder;
}

QImage ContactCardPainter::photoOf(const pim::_Contact& contact, const std::atomic_bool* stop)
{
    const QImage photo = contactphoto::read(contactphoto::bytes(contact), stop);
    if (photo.width() <= kPhotoSide && photo.height() <= kPhotoSide)
        return photo;
    return contactphoto::fittedInto(photo, QSize(kPhotoSide, kPhotoSide));
}

QImage ContactCardPainter::renderCard(int w, int h, const pim::_Contact& contact)
{
    return renderCard(w, h, contact, photoOf(contact));
}

QImage ContactCardPainter::renderCard(int w, int h, const pim::_Contact& contact, const QImage& cardPhoto)
{
    // Metrics follow the card's own width, so cards of different sizes (print,
    // PDF, a card picture) each get theirs.
    const int f = w * 12 / 339;
    const int g = w * 3 / 339;
    const int m = w * 10 / 399;
    const int b = w * 2 / 399;

    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(185, 185, 187), b, Qt::SolidLine));
    p.drawRect(QRect(QPoint(b / 2, b / 2), QPoint(w - 1 - b, h - 1 - b)));

    const QImage photo = cardPhoto.isNull() ? placeholderPhoto() : cardPhoto;
    const int s = w * 90 / 270;
    if (!photo.isNull())
        p.drawImage(QPoint(m, m), photo.scaled(s, s, Qt::KeepAspectRatio, Qt::FastTransformation));

    const int x = m + g + s;
    const int width = w - x - 10;
    int top = m;
    p.setPen(Qt::black);
    QFont font = applicationFont();

    font.setPixelSize(std::max(1, f + f / 7));
    top += ContactsPrinter::drawLabelValue(&p, font, x, top, width, contact.fullName, QString(), true) + g;
    font.setPixelSize(std::max(1, f));

    const QList<ContactDataRow> orgs = contact.rows(pim::ENTITY_ORGANIZATION);
    if (!orgs.isEmpty()) {
        const ContactDataRow& org = orgs.first();
        QString text = col(org, 4);
        if (!col(org, 5).isEmpty())
            text += QLatin1Char(' ') + col(org, 5);
        if (!col(org, 1).isEmpty())
            text += QLatin1Char(' ') + col(org, 1);
        top += ContactsPrinter::drawLabelValue(&p, font, x, top, width, text.trimmed(), QString(), true) + g;
    }

    for (const ContactDataRow& event : contact.rows(pim::ENTITY_EVENT)) {
        if (col(event, 2).trimmed().toInt() != 3)
            continue;
        const QString date = ContactRowFormat::shortDate(event.values.value(QStringLiteral("data1")));
        top += ContactsPrinter::drawLabelValue(&p, font, x, top, width, QStringLiteral("Birthday:"), date, false) + g;
        break;
    }

    QList<ContactDataRow> phones = contact.rows(pim::ENTITY_PHONE);
    std::stable_sort(phones.begin(), phones.end(), pim::phoneLessThan);
    const QMap<int, QString> phoneLabels = pim::phoneTypeLabels();
    for (int i = 0; i < phones.size() && i < 4; ++i) {
        const QString label = phoneLabels.value(col(phones.at(i), 2).trimmed().toInt()) + QLatin1Char(':');
        top += ContactsPrinter::drawLabelValue(&p, font, x, top, width, label, col(phones.at(i), 1), true) + g;
    }

    const QList<ContactDataRow> emails = contact.rows(pim::ENTITY_EMAIL);
    if (!emails.isEmpty())
        top += ContactsPrinter::drawLabelValue(&p, font, x, top, width, QStringLiteral("E-Mail:"),
                                               col(emails.first(), 1), true)
            + g;

    const QList<ContactDataRow> addresses = contact.rows(pim::ENTITY_POSTAL);
    if (!addresses.isEmpty())
        ContactsPrinter::drawLabelValue(&p, font, x, top, width, QStringLiteral("Address:"),
                                        pim::formatAddress(addresses.first().values), false);
    // Rows below the card's bottom edge are cut off.
    p.end();
    return image;
}
