#include "itemmodelrecording.h"

#include <QLocale>

namespace {

QString dateText(const RecordingRecord& r)
{
    return QLocale::system().toString(r.date, QLocale::ShortFormat);
}

constexpr ItemModelRecording::Column kColumns[] = {
    {"Name", &ItemModelRecording::nameText},
    {"Date", &dateText},
    {"Duration", [](const RecordingRecord& r) { return QStringLiteral("%1 s").arg(r.duration); }},
};

} // namespace

ItemModelRecording::ItemModelRecording(QObject* parent)
    : RecordListModel(kColumns, parent)
{
}

void ItemModelRecording::setRecordings(const QList<RecordingRecord>& recordings)
{
    resetRecords<_RecordingItemNode>(recordings);
}

QString ItemModelRecording::nameText(const RecordingRecord& r)
{
    if (r.path.isEmpty())
        return dateText(r);
    return r.path.mid(r.path.lastIndexOf(QLatin1Char('/')) + 1);
}
