#include "itemmodelsmshandle.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <limits>

namespace {

qint64 firstChatId(const MsgChatGroup& g)
{
    qint64 id = std::numeric_limits<qint64>::max();
    for (const _MsgChat* chat : g.chats) {
        if (chat)
            id = std::min(id, chat->ROWID);
    }
    return id;
}

} // namespace

ItemModelSMSHandle::_HandleItemNode::_HandleItemNode(const MsgChatGroup& group)
    : _ItemNode(kConversationNode, group.chats.isEmpty() ? QString() : getChatTitle(group.chats.first(), false),
                nullptr)
    , chats(group.chats)
    , last(group.last)
{
}

ItemModelSMSHandle::ItemModelSMSHandle(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

void ItemModelSMSHandle::setHandles(QList<MsgChatGroup> groups)
{
    // Newest first; equal dates by rowid, so that the list reads the same on
    // every visit (the groups come in the data set's hash order).
    QList<std::pair<qint64, MsgChatGroup*>> order;
    order.reserve(groups.size());
    for (MsgChatGroup& g : groups)
        order.append({firstChatId(g), &g});
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        if (a.second->last != b.second->last)
            return intGreaterEqual(*a.second, *b.second);
        return a.first < b.first;
    });

    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    roots.reserve(order.size());
    for (const auto& entry : std::as_const(order))
        roots.append(new _HandleItemNode(*entry.second));
    endResetModel();
}

int ItemModelSMSHandle::columnCount(const QModelIndex&) const
{
    return 1;
}

QPixmap ItemModelSMSHandle::icon(bool group) const
{
    QPixmap& pm = group ? m_groupIcon : m_personIcon;
    if (pm.isNull()) {
        pm = QPixmap(group ? QStringLiteral(":res/group.png") : QStringLiteral(":/res/sms_handle.png"));
        if (!pm.isNull())
            pm = pm.scaledToWidth(18, Qt::FastTransformation);
    }
    return pm;
}

QVariant ItemModelSMSHandle::data(const QModelIndex& index, int role) const
{
    const _ItemNode* node = nodeOf(index);
    if (!index.isValid() || !node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->text;
    case Qt::DecorationRole: {
        const auto* conversation = dynamic_cast<const _HandleItemNode*>(node);
        if (!conversation || conversation->chats.isEmpty())
            return QVariant();
        return icon(isGroupChat(conversation->chats.first()));
    }
    case Qt::BackgroundRole:
        return QBrush((node->kind() + index.row()) % 2 == 0 ? QColor(255, 255, 255) : QColor(242, 246, 249));
    default:
        return QVariant();
    }
}

QVariant ItemModelSMSHandle::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}
