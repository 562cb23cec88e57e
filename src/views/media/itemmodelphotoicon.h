// The picture grid of the photos page: one cell per photo or video with its
// name (at most 15 characters, then "..."), a tooltip with name, date and
// path, and its thumbnail.
//
// Thumbnails live as files: a cell's picture is its thumbnail file as the
// model's PictureLoader read it, off the window's thread, by the file's
// path, size and time (a file written anew is read anew). The cell shows
// the empty photo until the file exists and its picture is made, and when
// the file is no picture within the reader's bounds. Cells are all the
// size setCellSize gives, so laying out a large grid reads no pictures.
#pragma once

#include "records/mediarecords.h"
#include "shell/abstreeitemmodel.h"

#include <QList>
#include <QSize>

class PictureLoader;

class ItemModelPhotoIcon : public AbsTreeItemModel {
    Q_OBJECT

public:
    class _PhotoIconItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        _PhotoIconItemNode(const PhotoRecord& record, const QString& thumbnail);
        PhotoRecord record;
        QString thumbnail; // the thumbnail file on the PC
        mutable QString pictureKey; // of the file as last asked for; empty: none
    };

    // A photo and the file of its thumbnail.
    struct Cell {
        PhotoRecord record;
        QString thumbnail;
    };

    static constexpr int kMaxNameLength = 15;
    // Thumbnails are square pictures of this side.
    static constexpr int kIconSide = 128;

    explicit ItemModelPhotoIcon(QObject* parent = nullptr);

    // Replaces the cells, in the given order.
    void setCells(const QList<Cell>& cells);
    void clear() { setCells({}); }
    // The photo of a row; null for an invalid index.
    static const PhotoRecord* recordAt(const QModelIndex& index);
    // Every photo, in row order.
    QList<PhotoRecord> records() const;
    // The size every cell takes (an invalid size: as the view computes it).
    void setCellSize(const QSize& size) { m_cellSize = size; }
    // Makes the cells' pictures; goes with the model.
    PictureLoader* pictureLoader() const { return m_pictures; }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public slots:
    // The thumbnail of a row arrived: the row is drawn again. Rows outside
    // the model are ignored.
    void updateThumbnail(int row);

private:
    // Draws again every cell whose picture was made for key.
    void pictureReady(const QString& key);

    QSize m_cellSize;
    PictureLoader* m_pictures = nullptr;
};
