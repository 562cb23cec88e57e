// Picture helpers that job threads use too (no widgets).
#pragma once

#include <QImage>
#include <QSize>

// Scales the image to fit 128 x 128 (keeping its aspect ratio, fast
// scaling) and paints it centred on a new opaque white ARGB32 image of the
// canvas size, which replaces it. A null image is left unchanged.
void fitImageToCanvas(QImage& image, const QSize& canvas);
