#include "itemmodelsms.h"

#include <QBrush>
#include <QColor>
#include <QSize>

ItemModelSms::ItemModelSms(QObject* parent)
    : QAbstractItemModel(parent)
    , m_locale(QLocale::system())
{
}

void ItemModelSms::setMessages(const MsgMessageList& messages)
{
    beginResetModel();
    m_messages = messages;
    m_content.clear();
    endResetModel();
}

void ItemModelSms::clear()
{
    setMessages({});
}

_MsgMessage* ItemModelSms::messageOf(const QModelIndex& index)
{
    return index.isValid() && index.column() == 0 ? static_cast<_MsgMessage*>(index.internalPointer()) : nullptr;
}

QModelIndex ItemModelSms::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    return createIndex(row, column, column == 0 ? m_messages.at(row) : nullptr);
}

QModelIndex ItemModelSms::parent(const QModelIndex&) const
{
    return QModelIndex();
}

int ItemModelSms::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_messages.size());
}

int ItemModelSms::columnCount(const QModelIndex&) const
{
    return 4;
}

QString ItemModelSms::contentText(const _MsgMessage* m) const
{
    auto it = m_content.constFind(m);
    if (it != m_content.constEnd())
        return it.value();
    QString text = getMsgPlainText(m);
    if (text.size() > kMaxCellText)
        text = text.left(kMaxCellText) + QChar(0x2026);
    return m_content.insert(m, text).value();
}

QString ItemModelSms::cellText(const _MsgMessage* m, int column) const
{
    const bool system = m->item_type != 0;
    switch (column) {
    case 0:
        return m_locale.toString(dateFromIosTime(m->date), QLocale::ShortFormat);
    case 1:
        if (system)
            return QString();
        return m->is_from_me ? QStringLiteral("To") : QStringLiteral("From");
    case 2:
        if (system)
            return m->chat ? getChatTitle(m->chat, false) : QString();
        return getMsgChatTitle(m);
    case 3:
        return contentText(m);
    default:
        return QString();
    }
}

QPixmap ItemModelSms::icon(const QString& path) const
{
    auto it = m_icons.find(path);
    if (it == m_icons.end()) {
        QPixmap pm(path);
        if (!pm.isNull())
            pm = pm.scaledToWidth(18, Qt::FastTransformation);
        it = m_icons.insert(path, pm);
    }
    return it.value();
}

QVariant ItemModelSms::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_messages.size())
        return QVariant();
    const _MsgMessage* m = m_messages.at(index.row());
    const bool fromMe = m->is_from_me != 0;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(m, index.column());
    case Qt::DecorationRole:
        if (index.column() != 0)
            return QVariant();
        if (m->service.compare(QLatin1String("iMessage"), Qt::CaseInsensitive) == 0)
            return icon(fromMe ? QStringLiteral(":/res/imsg-send.png") : QStringLiteral(":/res/imsg-rec.png"));
        return icon(fromMe ? QStringLiteral(":/res/icon_sms-sent.png") : QStringLiteral(":/res/icon_sms-receive.png"));
    case Qt::BackgroundRole:
        return QBrush(fromMe ? QColor(245, 255, 226) : QColor(255, 255, 255));
    case Qt::SizeHintRole:
        return QSize(0, 23);
    default:
        return QVariant();
    }
}

QVariant ItemModelSms::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[] = {"Date", "Flag", "Contact", "Content"};
    if (section < 0 || section >= 4)
        return QVariant();
    return QString::fromLatin1(titles[section]);
}
