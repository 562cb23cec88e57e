#include "formats/messagevcardpicture.h"

#include "formats/contactsprinter.h"
#include "formats/messageassets.h"
#include "formats/vcard.h"
#include "pictures/picturereader.h"
#include "shell/core/fileutils.h"
#include "shell/core/outputfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>

namespace {

struct CardMetrics {
    int font;
    int spacing;
    int margin;
    int border;
};

// Fixed by the first caller's width; every caller draws 200 wide.
const CardMetrics& cardMetrics(int width)
{
    static const CardMetrics m {width * 20 / 339, width * 3 / 339, width * 10 / 399, width * 2 / 399};
    return m;
}

QString birthdayText(const QString& value)
{
    QDateTime dt = QDateTime::fromString(value, Qt::ISODate);
    QDate date = dt.isValid() ? dt.date() : QDate::fromString(value, Qt::ISODate);
    if (!date.isValid())
        return QString();
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

} // namespace

bool readVCardSummary(const QByteArray& vcardText, VCardSummary* out)
{
    const QList<VCardCard> cards = VCardParser::parse(vcardText);
    if (cards.isEmpty())
        return false;
    VCardSummary s;
    for (const VCardProperty& prop : cards.first()) {
        const QString name = prop.plainName().toUpper();
        if (name == QLatin1String("FN"))
            s.fullName = prop.decodeValue();
        else if (name == QLatin1String("BDAY"))
            s.birthday = prop.decodeValue();
        else if (name == QLatin1String("ADR"))
            s.address = prop.decodeValue();
        else if (name == QLatin1String("TEL"))
            s.phones.append(prop.decodeValue());
        else if (name == QLatin1String("EMAIL"))
            s.email = prop.decodeValue();
        else if (name == QLatin1String("TITLE"))
            s.title = prop.decodeValue();
        else if (name == QLatin1String("ORG"))
            s.organization = prop.decodeValue();
        else if (name == QLatin1String("PHOTO"))
            s.photo = prop.value;
    }
    *out = s;
    return true;
}

QImage renderVCardImage(int width, int height, VCardSummary card, const std::atomic_bool* stop)
{
    if (width <= 0 || height <= 0)
        return QImage();
    QImage photo = card.photo.isEmpty() ? QImage() : readPictureBytes(card.photo, stop);
    if (stop && stop->load())
        return QImage();
    if (photo.isNull())
        photo.load(QStringLiteral(":/res/empty_contact.png"));
    const CardMetrics& m = cardMetrics(width);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(219, 226, 237));

    QPainter painter(&image);
    painter.setPen(QPen(QColor(185, 185, 187), m.border, Qt::SolidLine));
    painter.drawRect(QRect(QPoint(m.border / 2, m.border / 2), QPoint(width - 1 - m.border, height - 1 - m.border)));

    const int side = width * 64 / 270;
    if (!photo.isNull()) {
        photo = photo.scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation);
        painter.drawImage(QPoint(m.margin, m.margin), photo);
    }

    const int x = m.margin + m.spacing + side;
    const int columnWidth = std::max(1, width - x - 10);
    int y = m.margin;
    painter.setPen(Qt::black);
    QFont font = QGuiApplication::font();

    font.setPixelSize(std::max(1, m.font + m.font / 7));
    y += ContactsPrinter::drawLabelValue(&painter, font, x, y, columnWidth, card.fullName, QString(), true) + m.spacing;
    font.setPixelSize(std::max(1, m.font));

    if (!card.title.isEmpty() || !card.organization.isEmpty()) {
        QString line = card.title;
        if (!card.organization.isEmpty())
            line += QLatin1Char(' ') + card.organization;
        y += ContactsPrinter::drawLabelValue(&painter, font, x, y, columnWidth, line.trimmed(), QString(), true)
            + m.spacing;
    }
    if (!card.birthday.isEmpty()) {
        y += ContactsPrinter::drawLabelValue(&painter, font, x, y, columnWidth, QStringLiteral("Birthday:"),
                                             birthdayText(card.birthday), false)
            + m.spacing;
    }
    for (int i = 0; i < card.phones.size() && i < 4; ++i) {
        y += ContactsPrinter::drawLabelValue(&painter, font, x, y, columnWidth, QStringLiteral("Phone:"),
                                             card.phones.at(i), true)
            + m.spacing;
    }
    if (!card.email.isEmpty()) {
        y += ContactsPrinter::drawLabelValue(&painter, font, x, y, columnWidth, QStringLiteral("E-Mail:"), card.email,
                                             true)
            + m.spacing;
    }
    if (!card.address.isEmpty()) {
        ContactsPrinter::drawLabelValue(&painter, font, x, y, columnWidth, QStringLiteral("Address:"), card.address,
                                        false);
    }
    painter.end();
    return image;
}

QString vcardPicturePath(const QString& vcardPath)
{
    return messageassets::privateTempDir().absoluteFilePath(md5Hex(vcardPath) + QStringLiteral(".jpg"));
}

QString vcardToHtml(const QString& vcardPath, const std::atomic_bool* stop)
{
    const auto stopped = [stop] { return stop && stop->load(); };
    const QString picture = vcardPicturePath(vcardPath);
    if (QFileInfo::exists(picture))
        return picture;

    // A contact card is a few kilobytes; anything far larger is not one.
    constexpr qint64 kMaxVCardBytes = 8 * 1024 * 1024;
    QFile file(vcardPath);
    if (vcardPath.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxVCardBytes)
        return QString();
    VCardSummary card;
    if (!readVCardSummary(file.readAll(), &card) || stopped())
        return QString();
    const QImage image = renderVCardImage(200, 90, card, stop);
    if (image.isNull() || stopped())
        return QString();
    // Written whole or not at all: a half-written picture would be served
    // from the cache for good.
    OutputFile out(picture);
    if (out.open() && image.save(out.device(), "JPEG") && !stopped())
        out.commit();
    return picture;
}
