#include "itemmodelcalendar.h"

#include "records/recordtime.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <QPixmap>
#include <QSize>
#include <QTimeZone>

#include <algorithm>

namespace {

// Loaded and scaled once for the process (GUI thread only).
QPixmap icon(bool calendar)
{
    static const QPixmap calendarIcon
        = QPixmap(QStringLiteral(":res/calendar.png")).scaledToWidth(18, Qt::SmoothTransformation);
    static const QPixmap eventIcon
        = QPixmap(QStringLiteral(":res/cal_item.png")).scaledToWidth(18, Qt::SmoothTransformation);
    return calendar ? calendarIcon : eventIcon;
}

// One line for the list: line breaks become blanks.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

QVariant eventData(const ItemModelCalendar::_CalEventItemNode& node, int column, int role)
{
    const CalendarEventRecord& e = node.event;
    const bool tip = role == Qt::ToolTipRole;
    switch (column) {
    case 0: {
        // The list shows one line; the tooltip the texts as stored.
        QString text = tip ? e.summary : oneLine(e.summary);
        const QString sep = tip ? QStringLiteral("\n") : QStringLiteral(" ");
        if (!e.description.isEmpty())
            text += sep + QStringLiteral("Notes:%1").arg(tip ? e.description : oneLine(e.description));
        if (!e.url.isEmpty())
            text += sep + QStringLiteral("Url:%1").arg(tip ? e.url : oneLine(e.url));
        return text;
    }
    case 1:
        return node.startText;
    case 2:
        return node.endText;
    case 3:
        return e.allDay != 0 ? QStringLiteral("Yes") : QString();
    case 4:
        return e.rrule;
    default:
        return QVariant();
    }
}

} // namespace

ItemModelCalendar::ItemModelCalendar(QObject* parent)
    : AbsTreeItemModel(parent)
{
}

QString ItemModelCalendar::dateText(const QDateTime& date)
{
    return date.isValid() ? QLocale::system().toString(date, QLocale::ShortFormat) : QString();
}

QString ItemModelCalendar::dayText(const QDate& day)
{
    return day.isValid() ? dateText(QDateTime(day, QTime(0, 0), QTimeZone::utc())) : QString();
}

QString ItemModelCalendar::eventDateText(const CalendarEventRecord& e, const QDateTime& when)
{
    // The phone sends second 0 for a time it does not have.
    if (records::secsSinceEpoch(when) == 0)
        return QString();
    if (e.allDay != 0)
        return dayText(records::allDayDate(when, records::eventTimeZone(e.tz)));
    return dateText(when);
}

void ItemModelCalendar::setCalendars(const QList<CalendarRecord>& calendars)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    m_calendars = calendars;
    std::stable_sort(m_calendars.begin(), m_calendars.end(), [](const CalendarRecord& a, const CalendarRecord& b) {
        return a.name.toLower() < b.name.toLower();
    });
    for (CalendarRecord& calendar : m_calendars) {
        // The node keeps the events as read; the model's list is sorted.
        auto* node = new _CalendarItemNode(calendar);
        std::stable_sort(calendar.events.begin(), calendar.events.end(), calendarEventLessThan);
        for (const CalendarEventRecord& e : std::as_const(calendar.events))
            node->children.append(new _CalEventItemNode(e, node));
        roots.append(node);
    }
    endResetModel();
}

const CalendarRecord* ItemModelCalendar::calendarAt(const QModelIndex& index) const
{
    const _ItemNode* node = index.model() == this ? nodeOf(index) : nullptr;
    return node && node->kind() == kCalendarRow ? &static_cast<const _CalendarItemNode*>(node)->calendar : nullptr;
}

const CalendarEventRecord* ItemModelCalendar::eventAt(const QModelIndex& index) const
{
    const _ItemNode* node = index.model() == this ? nodeOf(index) : nullptr;
    return node && node->kind() == kEventRow ? &static_cast<const _CalEventItemNode*>(node)->event : nullptr;
}

int ItemModelCalendar::columnCount(const QModelIndex&) const
{
    return 5;
}

QVariant ItemModelCalendar::data(const QModelIndex& index, int role) const
{
    if (!nodeOf(index))
        return QVariant();
    if (role == Qt::SizeHintRole)
        return QSize(0, 25);
    if (const CalendarRecord* calendar = calendarAt(index)) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return index.column() == 0 ? calendar->name : QStringLiteral("--");
        if (role == Qt::DecorationRole && index.column() == 0)
            return icon(true);
        return QVariant();
    }
    if (!eventAt(index))
        return QVariant();
    const auto& node = *static_cast<const _CalEventItemNode*>(nodeOf(index));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return eventData(node, index.column(), role);
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(icon(false)) : QVariant();
    case Qt::BackgroundRole:
        return QBrush(index.row() % 2 == 0 ? QColor(250, 250, 250) : QColor(255, 255, 255));
    default:
        return QVariant();
    }
}

QVariant ItemModelCalendar::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("Calendar/Event");
    case 1:
        return tr("Start Date");
    case 2:
        return tr("End Date");
    case 3:
        return tr("All day");
    case 4:
        return tr("Rule");
    default:
        return QVariant();
    }
}
