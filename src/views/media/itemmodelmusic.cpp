#include "itemmodelmusic.h"

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

constexpr ItemModelMusic::Column kColumns[] = {
    {"Name", [](const MusicRecord& r) { return r.title; }},
    {"Date modified",
     [](const MusicRecord& r) { return QLocale::system().toString(r.modified, QLocale::ShortFormat); }},
    {"Duration", [](const MusicRecord& r) { return ItemModelMusic::durationText(r.duration); }},
    {"Size", [](const MusicRecord& r) { return ItemModelMusic::sizeText(r.size); }},
};

} // namespace

ItemModelMusic::ItemModelMusic(int kind, QObject* parent)
    : RecordListModel(kColumns, parent)
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

QPixmap ItemModelMusic::rowIcon(const MusicRecord&) const
{
    return kindIcon(m_kind);
}

QVariant ItemModelMusic::rowStyle(const QModelIndex& index, int role) const
{
    switch (role) {
    case Qt::SizeHintRole:
        return QSize(0, 28);
    case Qt::BackgroundRole:
        return QBrush(index.row() % 2 == 0 ? QColor(255, 255, 255) : QColor(242, 246, 249));
    default:
        return QVariant();
    }
}
