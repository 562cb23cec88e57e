#include "itemmodelphotoicon.h"

#include "pictures/pictureloader.h"
#include "pictures/picturereader.h"
#include "shell/core/plaintext.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLocale>

namespace {

// A picture larger than a cell is drawn at the cell's size.
QImage fitted(const QImage& image)
{
    if (image.isNull())
        return image;
    const QSize icon(ItemModelPhotoIcon::kIconSide, ItemModelPhotoIcon::kIconSide);
    if (image.width() <= icon.width() && image.height() <= icon.height())
        return image;
    return image.scaled(icon, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Made once for the process (GUI thread only).
const QImage& emptyPhoto()
{
    static const QImage image = fitted(QImage(QStringLiteral(":res/empty_photo.jpg")));
    return image;
}

} // namespace

ItemModelPhotoIcon::_PhotoIconItemNode::_PhotoIconItemNode(const PhotoRecord& record, const QString& thumbnail)
    : _ItemNode(0, record.name, nullptr)
    , record(record)
    , thumbnail(thumbnail)
{
}

ItemModelPhotoIcon::ItemModelPhotoIcon(QObject* parent)
    : AbsTreeItemModel(parent)
    , m_pictures(new PictureLoader(this))
{
    connect(m_pictures, &PictureLoader::ready, this, &ItemModelPhotoIcon::pictureReady);
    // data() makes its three-line tool tips plain itself.
    setProperty(kToolTipsMadePlain, true);
}

void ItemModelPhotoIcon::setCells(const QList<Cell>& cells)
{
    beginResetModel();
    qDeleteAll(roots);
    roots.clear();
    roots.reserve(cells.size());
    for (const Cell& c : cells)
        roots.append(new _PhotoIconItemNode(c.record, c.thumbnail));
    endResetModel();
}

const PhotoRecord* ItemModelPhotoIcon::recordAt(const QModelIndex& index)
{
    const auto* node = static_cast<const _PhotoIconItemNode*>(nodeOf(index));
    return node ? &node->record : nullptr;
}

QList<PhotoRecord> ItemModelPhotoIcon::records() const
{
    QList<PhotoRecord> out;
    out.reserve(roots.size());
    for (const _ItemNode* n : roots)
        out.append(static_cast<const _PhotoIconItemNode*>(n)->record);
    return out;
}

void ItemModelPhotoIcon::pictureReady(const QString& key)
{
    for (int row = 0; row < roots.size(); ++row) {
        if (static_cast<const _PhotoIconItemNode*>(roots.at(row))->pictureKey == key) {
            const QModelIndex i = index(row, 0);
            Q_EMIT dataChanged(i, i, {Qt::DecorationRole});
        }
    }
}

void ItemModelPhotoIcon::updateThumbnail(int row)
{
    if (row < 0 || row >= roots.size())
        return;
    const QModelIndex i = index(row, 0);
    Q_EMIT dataChanged(i, i);
}

int ItemModelPhotoIcon::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant ItemModelPhotoIcon::data(const QModelIndex& index, int role) const
{
    const auto* node = static_cast<const _PhotoIconItemNode*>(nodeOf(index));
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return node->text.size() > kMaxNameLength ? node->text.left(kMaxNameLength) + QStringLiteral("...")
                                                  : node->text;
    case Qt::ToolTipRole:
        return asPlainText(QStringLiteral("Name:%1\nDate:%2\nPath:%3")
                               .arg(node->record.name,
                                    QLocale::system().toString(node->record.date, QLocale::ShortFormat),
                                    node->record.path));
    case Qt::DecorationRole: {
        node->pictureKey.clear();
        const QFileInfo file(node->thumbnail);
        if (node->thumbnail.isEmpty() || !file.isFile())
            return emptyPhoto();
        node->pictureKey = node->thumbnail + QLatin1Char('|') + QString::number(file.size()) + QLatin1Char('|')
            + QString::number(file.lastModified().toMSecsSinceEpoch());
        const std::optional<QImage> made
            = m_pictures->picture(node->pictureKey, [path = node->thumbnail](const std::atomic_bool& stop) {
                  return fitted(readPicture(path, &stop));
              });
        if (!made || made->isNull())
            return emptyPhoto();
        return *made;
    }
    case Qt::SizeHintRole:
        return m_cellSize.isValid() ? QVariant(m_cellSize) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ItemModelPhotoIcon::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}
