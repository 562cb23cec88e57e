#include "imageutils.h"

#include <QColor>
#include <QPainter>

void fitImageToCanvas(QImage& image, const QSize& canvas)
{
    if (image.isNull())
        return;
    // The fit box stays 128 x 128 whatever the canvas; callers pass that size.
    const QImage scaled = image.scaled(128, 128, Qt::KeepAspectRatio, Qt::FastTransformation);
    QImage out(canvas, QImage::Format_ARGB32);
    if (out.isNull()) {
        image = out;
        return;
    }
    out.fill(QColor(255, 255, 255, 255));
    {
        QPainter painter(&out);
        painter.drawImage((canvas.width() - scaled.width()) / 2, (canvas.height() - scaled.height()) / 2, scaled);
    }
    image = out;
}
