#include "itemmodelmusic.h"

#include "views/common/listrowstyle.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <QPixmap>
#include <QSize>

namespace {

constexpr int kMusic = 17;

// Each picture is loaded and scaled once for the process (GUI thread only).
QPixmap kindIcon(int kind)
{
    static const auto load = [](const char* path) {
        QPixmap pm(QString::fromLatin1(path));
        return pm.isNull() ? pm : pm.scaledToWidth(18, Qt::SmoothTransformation);
    };
    static const QPixmap music = load(":res/mu.png");
    static const QPixmap ringtone = load(":res/ring.png");
    return kind == kMusic ? music : ringtone;
}

} // namespace

ItemModelMusic::ItemModelMusic(int kind, QObject* parent)
    : RecordListModel(parent)
    , m_kind(kind)
{
}

void ItemModelMusic::setRecords(const QList<MusicRecord>& records)
{
    resetRecords<_MusicItemNode>(records);
}

QString ItemModelMusic::durationText(int seconds)
{
    return QStringLiteral("%1' %2''").arg(seconds / 60).arg(seconds % 60);
}

QString ItemModelMusic::sizeText(qint64 bytes)
{
    return QStringLiteral("%L1 KB").arg(bytes / 1024);
}

int ItemModelMusic::columnCount(const QModelIndex&) const
{
    return 4;
}

QVariant ItemModelMusic::data(const QModelIndex& index, int role) const
{
    const MusicRecord* record = recordAt(index);
    if (!record)
        return QVariant();
    const MusicRecord& r = *record;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return r.title;
        case 1:
            return QLocale::system().toString(r.modified, QLocale::ShortFormat);
        case 2:
            return durationText(r.duration);
        case 3:
            return sizeText(r.size);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(kindIcon(m_kind)) : QVariant();
    case Qt::SizeHintRole:
        return QSize(0, 28);
    case Qt::BackgroundRole:
        return QBrush(index.row() % 2 == 0 ? QColor(255, 255, 255) : QColor(242, 246, 249));
    default:
        return QVariant();
    }
}

QVariant ItemModelMusic::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Name", "Date modified", "Duration", "Size"};
    return listrowstyle::header(titles, section, orientation, role);
}
