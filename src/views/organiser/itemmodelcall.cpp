#include "itemmodelcall.h"

#include "views/common/listrowstyle.h"

#include <QHash>
#include <QLocale>
#include <QPixmap>

namespace {

QString iconPath(int flags)
{
    switch (flags) {
    case CALL_FLAG_INCOMING:
        return QStringLiteral(":res/call_in.png");
    case CALL_FLAG_OUTGOING:
        return QStringLiteral(":res/call_out.png");
    default:
        return QStringLiteral(":res/call_err.png");
    }
}

// Each picture is loaded and scaled once for the process (GUI thread only).
QPixmap flagIcon(int flags)
{
    static QHash<QString, QPixmap> cache;
    const QString path = iconPath(flags);
    auto it = cache.find(path);
    if (it == cache.end()) {
        QPixmap pm(path);
        if (!pm.isNull())
            pm = pm.scaledToWidth(18, Qt::SmoothTransformation);
        it = cache.insert(path, pm);
    }
    return it.value();
}

} // namespace

ItemModelCall::ItemModelCall(QObject* parent)
    : RecordListModel(parent)
{
}

void ItemModelCall::setCalls(const QList<CallRecord>& calls)
{
    resetRecords<_CallItemNode>(calls, [](const CallRecord& a, const CallRecord& b) { return a.date > b.date; });
}

QString ItemModelCall::flagText(int flags)
{
    switch (flags) {
    case CALL_FLAG_INCOMING:
        return QStringLiteral("Incoming");
    case CALL_FLAG_OUTGOING:
        return QStringLiteral("Outgoing");
    default:
        return QStringLiteral("Blocked");
    }
}

QString ItemModelCall::durationText(int seconds)
{
    return QStringLiteral("%1' %2''").arg(seconds / 60).arg(seconds % 60);
}

QString ItemModelCall::dateText(const QDateTime& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

int ItemModelCall::columnCount(const QModelIndex&) const
{
    return 5;
}

QVariant ItemModelCall::data(const QModelIndex& index, int role) const
{
    const CallRecord* call = recordAt(index);
    if (!call)
        return QVariant();
    const CallRecord& c = *call;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return flagText(c.flags);
        case 1:
            return c.address;
        case 2:
            return c.person;
        case 3:
            return dateText(c.date);
        case 4:
            return durationText(c.duration);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() == 0)
            return flagIcon(c.flags);
        return QVariant();
    default:
        return listrowstyle::rowData(index, role);
    }
}

QVariant ItemModelCall::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Flag", "Number", "Contact", "Date", "Duration"};
    return listrowstyle::header(titles, section, orientation, role);
}
