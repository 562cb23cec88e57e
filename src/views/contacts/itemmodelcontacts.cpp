#include "itemmodelcontacts.h"

#include "formats/contactphoto.h"
#include "pictures/pictureloader.h"
#include "shell/core/plaintext.h"

#include <QBrush>
#include <QColor>
#include <QSize>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr int kColumns = 4;
constexpr int kThumbnailWidth = 18;

QString value(const ContactDataRow& row, const char* key)
{
    return pim::valueText(row.values, QLatin1String(key));
}

// data1 of the first row of the type; invalid without one.
QVariant firstValue(const pim::_Contact& contact, int type)
{
    const QList<ContactDataRow> rows = contact.rows(type);
    if (rows.isEmpty())
        return QVariant();
    return value(rows.first(), "data1");
}

QPixmap emptyContactThumbnail()
{
    static const QPixmap pixmap = QPixmap::fromImage(
        QImage(QStringLiteral(":res/empty_contact.png")).scaledToWidth(kThumbnailWidth, Qt::FastTransformation));
    return pixmap;
}

} // namespace

ItemModelContacts::ItemModelContacts(QObject* parent)
    : AbsTreeItemModel(parent)
    , m_photos(new PictureLoader(this))
{
    connect(m_photos, &PictureLoader::ready, this, &ItemModelContacts::photoReady);
    // data() escapes the tool tips itself (a paragraph that wraps).
    setProperty(kToolTipsMadePlain, true);
}

void ItemModelContacts::setContacts(QList<pim::_Contact> contacts)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    std::stable_sort(contacts.begin(), contacts.end(),
                     [](const pim::_Contact& a, const pim::_Contact& b) { return a.fullName < b.fullName; });
    m_contacts = std::move(contacts);
    roots.reserve(m_contacts.size());
    for (const pim::_Contact& c : std::as_const(m_contacts))
        roots.append(new _ContactsItemNode(c));
    endResetModel();
}

ItemModelContacts::_ContactsItemNode* ItemModelContacts::addContact(const pim::_Contact& contact)
{
    auto* node = new _ContactsItemNode(contact);
    appendNode(nullptr, node);
    return node;
}

void ItemModelContacts::replaceContact(const QModelIndex& index, const pim::_Contact& contact)
{
    auto* node = dynamic_cast<_ContactsItemNode*>(nodeOf(index));
    if (!node)
        return;
    node->contact = contact;
    node->keyed = false;
    node->photoKey.clear();
    node->thumbnail = QPixmap();
    emit dataChanged(this->index(index.row(), 0, index.parent()),
                     this->index(index.row(), kColumns - 1, index.parent()));
}

QPixmap ItemModelContacts::thumbnailOf(const _ContactsItemNode& node) const
{
    if (!node.thumbnail.isNull())
        return node.thumbnail;
    const QByteArray bytes = contactphoto::bytes(node.contact);
    if (!node.keyed) {
        node.photoKey = contactphoto::key(bytes, kThumbnailWidth);
        node.keyed = true;
    }
    if (node.photoKey.isEmpty())
        return emptyContactThumbnail();
    const std::optional<QImage> made = m_photos->picture(node.photoKey, [bytes](const std::atomic_bool& stop) {
        return contactphoto::scaledToWidth(contactphoto::read(bytes, &stop), kThumbnailWidth);
    });
    if (!made)
        return emptyContactThumbnail();
    // Kept, so that a repaint asks nothing.
    node.thumbnail = made->isNull() ? emptyContactThumbnail() : QPixmap::fromImage(*made);
    return node.thumbnail;
}

void ItemModelContacts::photoReady(const QString& key)
{
    for (int row = 0; row < roots.size(); ++row) {
        const auto* node = dynamic_cast<const _ContactsItemNode*>(roots.at(row));
        if (node && node->keyed && node->photoKey == key && node->thumbnail.isNull()) {
            const QModelIndex shown = index(row, 0);
            emit dataChanged(shown, shown, {Qt::DecorationRole});
        }
    }
}

const pim::_Contact* ItemModelContacts::contactOf(const QModelIndex& index)
{
    const auto* node = dynamic_cast<const _ContactsItemNode*>(nodeOf(index));
    return node ? &node->contact : nullptr;
}

bool ItemModelContacts::matches(const pim::_Contact& contact, const QString& keyword)
{
    const auto holds = [&keyword](const QString& text) { return text.contains(keyword, Qt::CaseInsensitive); };
    if (holds(contact.fullName))
        return true;
    for (int type : {pim::ENTITY_PHONE, pim::ENTITY_EMAIL, pim::ENTITY_NICKNAME, pim::ENTITY_IM, pim::ENTITY_NOTE,
                     pim::ENTITY_RELATION, pim::ENTITY_POSTAL, pim::ENTITY_WEBSITE}) {
        for (const ContactDataRow& row : contact.entities.value(type)) {
            if (holds(value(row, "data1")))
                return true;
        }
    }
    for (const ContactDataRow& row : contact.entities.value(pim::ENTITY_ORGANIZATION)) {
        if (holds(value(row, "data1")) || holds(value(row, "data4")) || holds(value(row, "data5")))
            return true;
    }
    return false;
}

int ItemModelContacts::findRow(const QString& keyword, int current) const
{
    const int n = int(roots.size());
    if (current < -1 || current >= n)
        current = -1;
    // current+1 .. n-1, then 0 .. current: every row once, the current one last.
    for (int i = 1; i <= n; ++i) {
        const int row = (current + i) % n;
        if (const auto* node = dynamic_cast<const _ContactsItemNode*>(roots.at(row));
            node && matches(node->contact, keyword))
            return row;
    }
    return -1;
}

QVariant ItemModelContacts::phoneText(const pim::_Contact& contact)
{
    const QList<ContactDataRow> phones = contact.rows(pim::ENTITY_PHONE);
    if (phones.isEmpty())
        return QVariant();
    for (const ContactDataRow& row : phones) {
        bool ok = false;
        if (value(row, "data2").trimmed().toInt(&ok) == 2 && ok)
            return value(row, "data1");
    }
    return value(phones.first(), "data1");
}

int ItemModelContacts::columnCount(const QModelIndex&) const
{
    return kColumns;
}

QVariant ItemModelContacts::data(const QModelIndex& index, int role) const
{
    const auto* node = dynamic_cast<const _ContactsItemNode*>(nodeOf(index));
    if (!node)
        return QVariant();
    const pim::_Contact& c = node->contact;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        QVariant text;
        switch (index.column()) {
        case 0:
            text = c.fullName;
            break;
        case 1:
            text = phoneText(c);
            break;
        case 2:
            text = firstValue(c, pim::ENTITY_EMAIL);
            break;
        case 3:
            text = firstValue(c, pim::ENTITY_POSTAL);
            break;
        default:
            break;
        }
        // A tool tip that looks like markup would be shown as markup: the
        // phone's text goes in escaped, so it shows as it is.
        if (role == Qt::ToolTipRole)
            return text.toString().isEmpty()
                ? QVariant()
                : QVariant(Qt::convertFromPlainText(text.toString(), Qt::WhiteSpaceNormal));
        return text;
    }
    case Qt::DecorationRole:
        if (index.column() == 0)
            return thumbnailOf(*node);
        return QVariant();
    case Qt::BackgroundRole:
        return QBrush(index.row() % 2 == 0 ? QColor(250, 250, 250) : QColor(255, 255, 255));
    case Qt::SizeHintRole:
        return QSize(0, 25);
    default:
        return QVariant();
    }
}

QVariant ItemModelContacts::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[kColumns] = {"Name", "Phone", "E-Mail", "Address"};
    if (section < 0 || section >= kColumns)
        return QVariant();
    return QString::fromLatin1(titles[section]);
}
