#include "contacteditor.h"

#include "ui_contacteditor.h"

#include "formats/contactphoto.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "pictures/pictureloader.h"
#include "pictures/picturereader.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"
#include "views/contacts/addrentitieseditor.h"
#include "views/contacts/dateentitieseditor.h"
#include "views/contacts/genericentitieseditor.h"
#include "views/contacts/imentitieseditor.h"

#include <QBuffer>
#include <QEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>

namespace {

constexpr int kPhotoWidth = 64;
constexpr int kPickedPhotoSize = 320;

const QString kData1 = QStringLiteral("data1");
const QString kData2 = QStringLiteral("data2");
const QString kData3 = QStringLiteral("data3");

QString text(const ContactDataRow& row, const char* key)
{
    return pim::valueText(row.values, QLatin1String(key));
}

QString trimmedText(const QLineEdit* edit)
{
    return edit->text().trimmed();
}

void setText(QLineEdit* edit, const QString& value)
{
    edit->setText(value);
    edit->setCursorPosition(0);
}

QPixmap emptyPhoto()
{
    return QPixmap::fromImage(
        QImage(QStringLiteral(":res/empty_contact.png")).scaledToWidth(kPhotoWidth, Qt::FastTransformation));
}

} // namespace

ContactEditor::ContactEditor(QWidget* parent)
    : QScrollArea(parent)
    , form(std::make_unique<Ui::ContactEditor>())
    , m_photos(new PictureLoader(this))
{
    connect(m_photos, &PictureLoader::ready, this, &ContactEditor::photoReady);
    form->setupUi(this);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Window, Qt::transparent);
    setPalette(transparent);
    form->scrollAreaWidgetContents->setPalette(transparent);

    QWidget* content = form->scrollAreaWidgetContents;
    phones = new GenericEntitiesEditor(tr("Phone:"), tr("Phone Number"), pim::phoneTypeLabels(), 2, content);
    emails = new GenericEntitiesEditor(tr("E-Mail:"), tr("E-Mail Address"), pim::emailTypeLabels(), 1, content);
    events = new DateEntitiesEditor(tr("Date (year-month-day):"), pim::eventTypeLabels(), 3, content);
    ims = new IMEntitiesEditor(tr("IM:"), 1, 0, content);
    relations = new GenericEntitiesEditor(tr("Relationshp:"), tr("Name"), pim::relationTypeLabels(), 1, content);
    addresses = new AddrEntitiesEditor(tr("Address:"), 1, content);
    websites = new GenericEntitiesEditor(tr("Url:"), tr("Url"), pim::websiteTypeLabels(), 1, content);
    // Between the header and the notes, in the order shown.
    int at = 1;
    for (QWidget* editor : {static_cast<QWidget*>(phones), static_cast<QWidget*>(emails), static_cast<QWidget*>(events),
                            static_cast<QWidget*>(ims), static_cast<QWidget*>(relations),
                            static_cast<QWidget*>(addresses), static_cast<QWidget*>(websites)})
        form->verticalLayout->insertWidget(at++, editor, 0, Qt::AlignTop);

    form->lbPhoto->setPixmap(emptyPhoto());
    form->lbPhoto->installEventFilter(this);
    connect(form->lbDeletePhoto, &QLabel::linkActivated, this, &ContactEditor::resetPhoto);
}

ContactEditor::~ContactEditor() = default;

ContactEditor::Identity ContactEditor::identityOf(const pim::_Contact& contact, int type)
{
    const QList<ContactDataRow> rows = contact.rows(type);
    if (rows.isEmpty())
        return {};
    return {rows.first().id, rows.first().srcId};
}

void ContactEditor::setContact(const pim::_Contact& contact)
{
    const QList<ContactDataRow> photos = contact.rows(pim::ENTITY_PHOTO);
    if (!photos.isEmpty()) {
        m_photoId = identityOf(contact, pim::ENTITY_PHOTO);
        setPhotoData(photos.first().values.value(QStringLiteral("data15")).toByteArray());
    }
    const QList<ContactDataRow> names = contact.rows(pim::ENTITY_NAME);
    if (!names.isEmpty()) {
        const ContactDataRow& name = names.first();
        m_name = identityOf(contact, pim::ENTITY_NAME);
        setText(form->txtPrefix, text(name, "data5"));
        setText(form->txtFirstName, text(name, "data2"));
        setText(form->txtMiddleName, text(name, "data4"));
        setText(form->txtLastName, text(name, "data3"));
        setText(form->txtSuffix, text(name, "data6"));
    }
    const QList<ContactDataRow> nicknames = contact.rows(pim::ENTITY_NICKNAME);
    if (!nicknames.isEmpty()) {
        m_nickname = identityOf(contact, pim::ENTITY_NICKNAME);
        setText(form->txtNickname, text(nicknames.first(), "data1"));
    }
    const QList<ContactDataRow> organizations = contact.rows(pim::ENTITY_ORGANIZATION);
    if (!organizations.isEmpty()) {
        const ContactDataRow& organization = organizations.first();
        m_organization = identityOf(contact, pim::ENTITY_ORGANIZATION);
        setText(form->txtJobTitle, text(organization, "data4"));
        setText(form->txtDepartment, text(organization, "data5"));
        setText(form->txtCompany, text(organization, "data1"));
    }
    const auto fillGeneric = [&contact](GenericEntitiesEditor* editor, int type) {
        for (const ContactDataRow& row : contact.rows(type))
            editor->setEntities(row.id, row.srcId, text(row, "data2").toInt(), text(row, "data3"), text(row, "data1"));
    };
    fillGeneric(phones, pim::ENTITY_PHONE);
    fillGeneric(emails, pim::ENTITY_EMAIL);
    for (const ContactDataRow& row : contact.rows(pim::ENTITY_EVENT)) {
        bool dateOnly = false;
        const QDateTime date = DateEntitiesEditor::parseDate(text(row, "data1"), &dateOnly);
        events->setEntities(row.id, row.srcId, text(row, "data2").toInt(), text(row, "data3"), date, dateOnly);
    }
    for (const ContactDataRow& row : contact.rows(pim::ENTITY_IM))
        ims->setEntities(row);
    fillGeneric(relations, pim::ENTITY_RELATION);
    for (const ContactDataRow& row : contact.rows(pim::ENTITY_POSTAL))
        addresses->setEntities(row);
    fillGeneric(websites, pim::ENTITY_WEBSITE);
    const QList<ContactDataRow> notes = contact.rows(pim::ENTITY_NOTE);
    if (!notes.isEmpty()) {
        m_note = identityOf(contact, pim::ENTITY_NOTE);
        form->txtNotes->setPlainText(text(notes.first(), "data1"));
    }
}

ContactDataRow ContactEditor::getStructuredName() const
{
    ContactDataRow row(m_name.id, m_name.srcId);
    row.values.insert(QStringLiteral("data5"), trimmedText(form->txtPrefix));
    row.values.insert(kData2, trimmedText(form->txtFirstName));
    row.values.insert(QStringLiteral("data4"), trimmedText(form->txtMiddleName));
    row.values.insert(kData3, trimmedText(form->txtLastName));
    row.values.insert(QStringLiteral("data6"), trimmedText(form->txtSuffix));
    row.values.insert(kData1, pim::formatName(row.values));
    return row;
}

ContactDataRow ContactEditor::getPhoto() const
{
    ContactDataRow row(m_photoId.id, m_photoId.srcId);
    row.values.insert(QStringLiteral("data15"), m_photo);
    row.values.insert(QStringLiteral("data4"), pim::photoHash(row.values));
    return row;
}

ContactDataRow ContactEditor::getNickname() const
{
    ContactDataRow row(m_nickname.id, m_nickname.srcId);
    row.values.insert(kData2, 1);
    row.values.insert(kData1, trimmedText(form->txtNickname));
    return row;
}

ContactDataRow ContactEditor::getOrganization() const
{
    ContactDataRow row(m_organization.id, m_organization.srcId);
    row.values.insert(QStringLiteral("data4"), trimmedText(form->txtJobTitle));
    row.values.insert(QStringLiteral("data5"), trimmedText(form->txtDepartment));
    row.values.insert(kData1, trimmedText(form->txtCompany));
    return row;
}

ContactDataRow ContactEditor::getNote() const
{
    ContactDataRow row(m_note.id, m_note.srcId);
    row.values.insert(kData1, form->txtNotes->toPlainText().trimmed());
    return row;
}

QMap<int, QList<ContactDataRow>> ContactEditor::collectRows() const
{
    QMap<int, QList<ContactDataRow>> rows;
    if (hasPhoto())
        rows[pim::ENTITY_PHOTO] << getPhoto();
    rows[pim::ENTITY_PHONE] = phones->getEntities(kData2, kData3, kData1);
    rows[pim::ENTITY_EMAIL] = emails->getEntities(kData2, kData3, kData1);
    rows[pim::ENTITY_NICKNAME] << getNickname();
    rows[pim::ENTITY_EVENT] = events->getEntities(kData2, kData3, kData1);
    rows[pim::ENTITY_IM] = ims->getEntities();
    rows[pim::ENTITY_NOTE] << getNote();
    rows[pim::ENTITY_ORGANIZATION] << getOrganization();
    rows[pim::ENTITY_RELATION] = relations->getEntities(kData2, kData3, kData1);
    rows[pim::ENTITY_POSTAL] = addresses->getEntities();
    rows[pim::ENTITY_WEBSITE] = websites->getEntities(kData2, kData3, kData1);
    return rows;
}

QString ContactEditor::firstName() const
{
    return form->txtFirstName->text();
}

QString ContactEditor::lastName() const
{
    return form->txtLastName->text();
}

AbsEntitiesEditor* ContactEditor::rowEditor(int type) const
{
    switch (type) {
    case pim::ENTITY_PHONE:
        return phones;
    case pim::ENTITY_EMAIL:
        return emails;
    case pim::ENTITY_EVENT:
        return events;
    case pim::ENTITY_IM:
        return ims;
    case pim::ENTITY_RELATION:
        return relations;
    case pim::ENTITY_POSTAL:
        return addresses;
    case pim::ENTITY_WEBSITE:
        return websites;
    default:
        return nullptr;
    }
}

void ContactEditor::setPhotoData(const QByteArray& bytes)
{
    m_photo = bytes;
    m_photoKey = contactphoto::key(bytes, kPhotoWidth);
    form->lbPhoto->setPixmap(emptyPhoto());
    if (m_photoKey.isEmpty())
        return;
    const std::optional<QImage> made = m_photos->picture(m_photoKey, [bytes](const std::atomic_bool& stop) {
        return contactphoto::scaledToWidth(contactphoto::read(bytes, &stop), kPhotoWidth);
    });
    if (made)
        photoReady(m_photoKey);
}

void ContactEditor::photoReady(const QString& key)
{
    if (key != m_photoKey)
        return;
    const QImage image = m_photos->made(key).value_or(QImage());
    if (!image.isNull())
        form->lbPhoto->setPixmap(QPixmap::fromImage(image));
}

void ContactEditor::resetPhoto(const QString&)
{
    m_photo.clear();
    m_photoKey.clear();
    form->lbPhoto->setPixmap(emptyPhoto());
}

void ContactEditor::pickPhoto()
{
    const QString path
        = uiprompt::getOpenFileName(nullptr, QString(), QString(), QStringLiteral("Images (*.png *.jpg)"));
    if (path.isEmpty())
        return;
    // Read by content, whatever the name says, off the window's thread;
    // anything else, or a cancel, changes nothing.
    QImage image;
    ProgressForm progress(tr("IDS_READING_PHOTO"), this);
    const JobResult read = runTask(progress, [&] {
        image = pictures::madeHearing(
            [&path](const std::atomic_bool& stop) {
                return contactphoto::fittedInto(readPicture(path, &stop), QSize(kPickedPhotoSize, kPickedPhotoSize));
            },
            [] { simpleprotocol::checkCanceled(); });
    });
    if (read != JobResult::Succeeded || image.isNull())
        return;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (image.save(&buffer, "JPEG"))
        setPhotoData(jpeg);
}

bool ContactEditor::eventFilter(QObject* watched, QEvent* event)
{
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->accessibleName() == QLatin1String("lbPhoto") && event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            pickPhoto();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

void ContactEditor::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    // The inner layout has a fixed size: the header's width makes it fill
    // the visible width.
    form->wdHeader->setMinimumWidth(width() - 40);
}
