#pragma once

#include "picture/ImageDecoding.h"

#include <QByteArray>
#include <QSize>

namespace korvel {

// Decodes a JPEG (grey, YCbCr, RGB, or CMYK and YCCK as Adobe writes them)
// straight into RGB32 with libjpeg, at the smallest of its DCT scales (1/8 to
// 1/1) that is still at least `atLeast` in both directions, which skips most
// of the work for a large photo on a smaller desktop. A file with more scans
// or coefficients than ImageHeader allows is given up as corrupt, however
// far it got. Needs no application object: it may run before one exists, on
// any thread. With `shrinkTo` smaller than that scale in both directions, the
// picture comes shrunk to it (AreaShrink), each row as it is decoded: the
// decoded picture is never whole in memory. The picture is made in `into`
// when that is an RGB32 image of its size that nothing else holds.
ImageDecoding decodeFastJpeg(const QByteArray &bytes, const QSize &atLeast = QSize(),
                             const QSize &shrinkTo = QSize(), QImage into = QImage());

} // namespace korvel
