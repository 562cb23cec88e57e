#include "itemmodelmain.h"

#include "shell/core/plaintext.h"

#include <QPixmap>
#include <QSize>

namespace {

constexpr int kIconWidth = 18;
constexpr int kRowHeight = 25;

// Loaded on first use and kept for the life of the process. The cache is
// created on the GUI thread (data() runs there) and is intentionally never
// destroyed, so no pixmap outlives the application object's teardown order.
QPixmap navIcon(int kind)
{
    static auto* icons = new QList<QPixmap>();
    if (icons->isEmpty()) {
        icons->append(QPixmap());
        for (int k = NAV_ROOT_DEVICE; k <= NAV_RINGTONES; ++k) {
            QPixmap pm(QString::fromLatin1(navNodeIconPath(k)));
            if (!pm.isNull())
                pm = pm.scaledToWidth(kIconWidth, Qt::SmoothTransformation);
            icons->append(pm);
        }
    }
    if (kind < NAV_ROOT_DEVICE || kind > NAV_RINGTONES)
        return QPixmap();
    return icons->at(kind);
}

} // namespace

_RootDeviceItemNode::_RootDeviceItemNode(const QString& text)
    : _ItemNode(NAV_ROOT_DEVICE, text, nullptr)
{
}

_AndroidDeviceItemNode::_AndroidDeviceItemNode(const AndroidDeviceInfo& info, _ItemNode* parent)
    : _ItemNode(NAV_ANDROID_DEVICE, info.displayName(), parent)
    , m_device(std::make_shared<AndroidDeviceInfo>(info))
    , device(*m_device)
{
}

_LocalDbItemNode::_LocalDbItemNode(const QDir& dir, const Counts& counts, _ItemNode* parent)
    : _ItemNode(NAV_LOCAL_DB, dir.dirName(), parent)
    , dir(dir)
    , counts(counts)
{
}

QString _LocalDbItemNode::countText(qint64 count)
{
    return count < 0 ? QStringLiteral("?") : QString::number(count);
}

ItemModelMain::ItemModelMain(QObject* parent)
    : AbsTreeItemModel(parent)
{
    m_devicesRoot = new _RootDeviceItemNode(tr("IDS_ROOT_DEVICE"));
    m_localDbRoot = new _ItemNode(NAV_ROOT_LOCALDB, tr("IDS_ROOT_LOCALDB"), nullptr);
    roots.append(m_devicesRoot);
    roots.append(m_localDbRoot);
    // data() makes the tool tips plain itself.
    setProperty(kToolTipsMadePlain, true);
}

int ItemModelMain::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant ItemModelMain::data(const QModelIndex& index, int role) const
{
    if (index.row() < 0 || index.column() < 0 || !index.model())
        return QVariant();
    const _ItemNode* node = nodeOf(index);
    switch (role) {
    case Qt::ToolTipRole:
        return node ? QVariant(asPlainText(node->text)) : QVariant();
    case Qt::DisplayRole:
        return node ? QVariant(node->text) : QVariant();
    case Qt::DecorationRole: {
        if (!node)
            return QVariant();
        const QPixmap pm = navIcon(node->type);
        return pm.isNull() ? QVariant() : QVariant(pm);
    }
    case Qt::SizeHintRole:
        return QSize(0, kRowHeight);
    default:
        return QVariant();
    }
}

QVariant ItemModelMain::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

_AndroidDeviceItemNode* ItemModelMain::addAndroidDevice(const AndroidDeviceInfo& info)
{
    auto* node = new _AndroidDeviceItemNode(info, m_devicesRoot);
    appendNode(m_devicesRoot, node);
    return node;
}

void ItemModelMain::addDeviceCategories(_ItemNode* phone)
{
    if (!phone || !phone->children.isEmpty())
        return;
    const QList<QPair<int, QString>> categories = {
        {NAV_PHOTOS, tr("Photos")},       {NAV_MUSIC, tr("Music")},
        {NAV_VIDEOS, tr("Videos")},       {NAV_PLAYLISTS, tr("Playlists")},
        {NAV_SMS, tr("Messages")},        {NAV_CONTACTS, tr("Contacts")},
        {NAV_CALENDAR, tr("Calendar")},   {NAV_CALL_HISTORY, tr("Call History")},
        {NAV_BOOKMARKS, tr("Bookmarks")}, {NAV_RINGTONES, tr("Ringtones")},
        {NAV_FILESYS, tr("File System")},
    };
    QList<_ItemNode*> nodes;
    for (const auto& c : categories)
        nodes.append(new _ItemNode(c.first, c.second, phone));
    appendNodes(phone, nodes);
}

_LocalDbItemNode* ItemModelMain::addLocalDb(const QDir& dir, const _LocalDbItemNode::Counts& counts)
{
    auto* node = new _LocalDbItemNode(dir, counts, m_localDbRoot);
    appendNode(m_localDbRoot, node);
    return node;
}

void ItemModelMain::refreshLocalDbChildren(_LocalDbItemNode* node)
{
    if (!node)
        return;
    removeChildren(node);
    using C = _LocalDbItemNode;
    const auto& n = node->counts;
    const QList<QPair<int, QString>> categories = {
        {NAV_SMS, QStringLiteral("SMS(%1)").arg(C::countText(n[C::Messages]))},
        {NAV_CONTACTS, QStringLiteral("Contacts(%1)").arg(C::countText(n[C::Contacts]))},
        {NAV_CALENDAR, QStringLiteral("Calendar(%1)").arg(C::countText(n[C::CalendarEvents]))},
        {NAV_CALL_HISTORY, QStringLiteral("Call History(%1)").arg(C::countText(n[C::CallRecords]))},
        {NAV_NOTES, QStringLiteral("Notes(%1)").arg(C::countText(n[C::Notes]))},
        {NAV_BOOKMARKS, QStringLiteral("Bookmarks(%1)").arg(C::countText(n[C::Bookmarks]))},
        {NAV_PLAYLISTS, QStringLiteral("Playlists(%1)").arg(C::countText(n[C::Playlists]))},
    };
    QList<_ItemNode*> nodes;
    for (const auto& c : categories)
        nodes.append(new _ItemNode(c.first, c.second, node));
    appendNodes(node, nodes);
}

QList<_AndroidDeviceItemNode*> ItemModelMain::phoneNodes(const _ItemNode* devicesRoot, Phones which)
{
    QList<_AndroidDeviceItemNode*> phones;
    if (!devicesRoot)
        return phones;
    for (_ItemNode* child : devicesRoot->children) {
        if (child->type != NAV_ANDROID_DEVICE)
            continue;
        auto* phone = static_cast<_AndroidDeviceItemNode*>(child);
        if (which == Phones::All || phone->leaving == (which == Phones::Leaving))
            phones.append(phone);
    }
    return phones;
}

_AndroidDeviceItemNode* ItemModelMain::findAndroidDevice(const QString& deviceId) const
{
    return findAndroidDevice(m_devicesRoot, deviceId);
}

_AndroidDeviceItemNode* ItemModelMain::findAndroidDevice(const _ItemNode* devicesRoot, const QString& deviceId)
{
    if (!devicesRoot || deviceId.isEmpty())
        return nullptr;
    for (_ItemNode* child : devicesRoot->children) {
        if (child->type != NAV_ANDROID_DEVICE)
            continue;
        auto* phone = static_cast<_AndroidDeviceItemNode*>(child);
        if (phone->device.deviceId() == deviceId)
            return phone;
    }
    return nullptr;
}

_LocalDbItemNode* ItemModelMain::findLocalDb(const QString& name) const
{
    for (_ItemNode* child : m_localDbRoot->children)
        if (child->type == NAV_LOCAL_DB && child->text == name)
            return static_cast<_LocalDbItemNode*>(child);
    return nullptr;
}
