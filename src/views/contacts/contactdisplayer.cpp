#include "contactdisplayer.h"

#include "formats/contactphoto.h"
#include "pictures/pictureloader.h"
#include "shell/core/fileutils.h"
#include "shell/core/outputfile.h"
#include "shell/messagebox.h"
#include "shell/uiprompt.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

constexpr int kPhotoSize = 128;
constexpr char kPhotoName[] = "imgPhoto";

QString value(const ContactDataRow& row, const char* key)
{
    return pim::valueText(row.values, QLatin1String(key));
}

// The address line with every value escaped: the label is bold and the
// lines are broken with markup, the phone's text stays text.
QString escapedAddress(const ContactDataRow& row)
{
    return ContactRowFormat::formatAddress(ContactRowFormat::escapedRow(row));
}

} // namespace

ContactDisplayer::ContactDisplayer(QWidget* parent)
    : QScrollArea(parent)
    , m_photos(new PictureLoader(this))
{
    connect(m_photos, &PictureLoader::ready, this, &ContactDisplayer::photoReady);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The content follows the card's width and its texts wrap; its height
    // follows from the width.
    setWidgetResizable(true);
    clear();
}

ContactDisplayer::~ContactDisplayer() = default;

void ContactDisplayer::replaceContent(QWidget* newContent)
{
    if (QWidget* old = takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    setWidget(newContent);
}

void ContactDisplayer::clear()
{
    shownContact = pim::_Contact();
    contentLayout = nullptr;
    m_photoKey.clear();
    replaceContent(new QWidget(this));
}

QLabel* ContactDisplayer::textLabel(const QString& text, Qt::TextFormat format, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(format);
    label->setText(text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A word longer than the card (a name of thousands of letters) is cut
    // at the edge instead of widening the whole card.
    label->setMinimumWidth(1);
    return label;
}

void ContactDisplayer::setContact(const pim::_Contact& contact)
{
    shownContact = contact;
    auto* page = new QWidget(this);
    contentLayout = new QVBoxLayout(page);
    contentLayout->setContentsMargins(15, 0, 15, 15);

    addHeader(contact);
    addSection(QStringLiteral("Phone:"), contact.rows(pim::ENTITY_PHONE), ContactRowFormat::formatPhone);
    addSection(QStringLiteral("E-Mail:"), contact.rows(pim::ENTITY_EMAIL), ContactRowFormat::formatEmail);
    addSection(QStringLiteral("Date:"), contact.rows(pim::ENTITY_EVENT), ContactRowFormat::formatEvent);
    addSection(QStringLiteral("IM:"), contact.rows(pim::ENTITY_IM), ContactRowFormat::formatIM);
    // The first organisation is in the header.
    addSection(QStringLiteral("Organization:"), contact.rows(pim::ENTITY_ORGANIZATION).mid(1),
               ContactRowFormat::formatOrganization);
    addSection(QStringLiteral("Relationship:"), contact.rows(pim::ENTITY_RELATION), ContactRowFormat::formatRelation);
    addSection(QStringLiteral("Address:"), contact.rows(pim::ENTITY_POSTAL), escapedAddress, true);
    addSection(QStringLiteral("Website:"), contact.rows(pim::ENTITY_WEBSITE), ContactRowFormat::formatWebsite);
    addSection(QStringLiteral("Notes:"), contact.rows(pim::ENTITY_NOTE), ContactRowFormat::formatValue);
    contentLayout->addStretch();
    // Installed complete: the scroll area sizes it from its final height.
    replaceContent(page);
}

void ContactDisplayer::addHeader(const pim::_Contact& contact)
{
    auto* header = new QWidget(contentLayout->parentWidget());
    auto* layout = new QHBoxLayout(header);

    auto* photo = new QLabel(header);
    photo->setAccessibleName(QLatin1String(kPhotoName));
    photo->setFixedSize(kPhotoSize, kPhotoSize);
    photo->setStyleSheet(QStringLiteral("border:1px solid #A9A9A9;"));
    photo->setPixmap(QPixmap(QStringLiteral(":res/empty_contact.png")));
    m_photoLabel = photo;
    const QByteArray bytes = contactphoto::bytes(contact);
    m_photoKey = contactphoto::key(bytes, kPhotoSize);
    if (!m_photoKey.isEmpty()) {
        const std::optional<QImage> made = m_photos->picture(m_photoKey, [bytes](const std::atomic_bool& stop) {
            return contactphoto::scaledToWidth(contactphoto::read(bytes, &stop), kPhotoSize);
        });
        if (made)
            showPhoto(*made);
    }
    layout->addWidget(photo, 0, Qt::AlignTop);

    QString text = contact.fullName;
    const QList<ContactDataRow> nicknames = contact.rows(pim::ENTITY_NICKNAME);
    if (!nicknames.isEmpty() && !value(nicknames.first(), "data1").isEmpty())
        text += QStringLiteral("\n\"%1\"").arg(value(nicknames.first(), "data1"));
    const QList<ContactDataRow> organisations = contact.rows(pim::ENTITY_ORGANIZATION);
    if (!organisations.isEmpty()) {
        const ContactDataRow& org = organisations.first();
        if (!value(org, "data4").isEmpty())
            text += QLatin1Char('\n') + value(org, "data4");
        if (!value(org, "data5").isEmpty())
            text += QStringLiteral(" - ") + value(org, "data5");
        if (!value(org, "data1").isEmpty())
            text += QLatin1Char('\n') + value(org, "data1");
    }
    QLabel* name = textLabel(text, Qt::PlainText, header);
    name->setStyleSheet(QStringLiteral("font-size:21px;font-weight:bold;font-style:italic"));
    layout->addWidget(name, 1, Qt::AlignTop);

    contentLayout->addWidget(header, 0, Qt::AlignTop);
}

void ContactDisplayer::photoReady(const QString& key)
{
    if (key == m_photoKey)
        showPhoto(m_photos->made(key).value_or(QImage()));
}

void ContactDisplayer::showPhoto(const QImage& image)
{
    if (image.isNull() || !m_photoLabel)
        return;
    m_photoLabel->setPixmap(QPixmap::fromImage(image));
    m_photoLabel->installEventFilter(this);
    m_photoLabel->setCursor(Qt::PointingHandCursor);
}

void ContactDisplayer::addSection(const QString& title, const QList<ContactDataRow>& rows,
                                  ContactRowFormat::RowFormatter format, bool markup)
{
    if (rows.isEmpty())
        return;
    auto* section = new QWidget(contentLayout->parentWidget());
    section->setStyleSheet(QStringLiteral("font-size:16px;"));
    auto* layout = new QVBoxLayout(section);
    QLabel* titleLabel = textLabel(title, Qt::PlainText, section);
    titleLabel->setStyleSheet(QStringLiteral("font-size:18px;font-style:italic;font-weight:bold;"));
    layout->addWidget(titleLabel, 0, Qt::AlignTop);
    for (const ContactDataRow& row : rows)
        layout->addWidget(textLabel(format(row), markup ? Qt::RichText : Qt::PlainText, section), 0, Qt::AlignTop);
    contentLayout->addWidget(section, 0, Qt::AlignTop);
}

bool ContactDisplayer::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->accessibleName() != QLatin1String(kPhotoName) || event->type() != QEvent::MouseButtonPress)
        return QScrollArea::eventFilter(watched, event);
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        savePhoto();
    return true;
}

void ContactDisplayer::savePhoto()
{
    // The photo is written as stored (PNG bytes stay PNG under ".jpg"); the
    // proposed name is the contact's, made safe as a file name.
    const QByteArray bytes = contactphoto::bytes(shownContact);
    const QString proposed
        = QDir::home().absoluteFilePath(sanitizeFileName(shownContact.fullName) + QStringLiteral(".jpg"));
    const QString path = uiprompt::getSaveFileName(nullptr, QString(), proposed);
    if (path.isEmpty())
        return;
    OutputFile file(path);
    if (!file.open()) {
        showWarning(file.errorString());
        return;
    }
    if (!file.write(bytes) || !file.commit())
        showWarning(file.errorString());
}
