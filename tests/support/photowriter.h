// Large camera and editor photos for the tests and benchmarks of
// thumbnails, written by libjpeg and libpng one row at a time (so that any
// size costs next to no memory): a smooth picture (gradients, as a sky or a
// wall), which keeps the file small and what a decoder does with it real.
#pragma once

#include <QByteArray>

namespace photowriter {

// As JPEG at quality 90: baseline or progressive (libjpeg's progression of
// ten scans), its colour at full resolution (4:4:4, as editors write "high
// quality") or halved both ways (4:2:0, as cameras write).
QByteArray smoothJpeg(int width, int height, bool progressive, bool fullColour);
// As an RGB PNG of 8 bits a channel.
QByteArray smoothPng(int width, int height);

} // namespace photowriter
