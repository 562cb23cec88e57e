#include "itemmodelcall.h"

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

constexpr ItemModelCall::Column kColumns[] = {
    {"Flag", [](const CallRecord& c) { return ItemModelCall::flagText(c.flags); }},
    {"Number", [](const CallRecord& c) { return c.address; }},
    {"Contact", [](const CallRecord& c) { return c.person; }},
    {"Date", [](const CallRecord& c) { return ItemModelCall::dateText(c.date); }},
    {"Duration", [](const CallRecord& c) { return ItemModelCall::durationText(c.duration); }},
};

} // namespace

ItemModelCall::ItemModelCall(QObject* parent)
    : RecordListModel(kColumns, parent)
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

QPixmap ItemModelCall::rowIcon(const CallRecord& call) const
{
    return flagIcon(call.flags);
}
