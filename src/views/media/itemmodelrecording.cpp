#include "itemmodelrecording.h"

#include "views/common/listrowstyle.h"

#include <QLocale>

namespace {

QString dateText(const RecordingRecord& r)
{
    return QLocale::system().toString(r.date, QLocale::ShortFormat);
}

} // namespace

ItemModelRecording::ItemModelRecording(QObject* parent)
    : RecordListModel(parent)
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

int ItemModelRecording::columnCount(const QModelIndex&) const
{
    return 3;
}

QVariant ItemModelRecording::data(const QModelIndex& index, int role) const
{
    const RecordingRecord* recording = recordAt(index);
    if (!recording)
        return QVariant();
    const RecordingRecord& r = *recording;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return nameText(r);
        case 1:
            return dateText(r);
        case 2:
            return QStringLiteral("%1 s").arg(r.duration);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(listrowstyle::fileIcon()) : QVariant();
    default:
        return listrowstyle::rowData(index, role);
    }
}

QVariant ItemModelRecording::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Name", "Date", "Duration"};
    return listrowstyle::header(titles, section, orientation, role);
}
