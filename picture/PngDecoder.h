#pragma once

#include "picture/ImageDecoding.h"

#include <QByteArray>
#include <QSize>

namespace korvel {

// A quick decoder for the PNG files that wallpapers mostly are: 8 bits per
// channel, grey or RGB, with or without alpha, not interlaced, no
// transparency chunk. The image data is inflated on a second core (which is
// where a PNG decoder spends its time) a few rows ahead of the rows being
// unfiltered and used, straight from the file's chunks. It gives the pixels
// Qt's reader gives: RGB32 for opaque images, ARGB32 otherwise. Needs no
// application object: it may run before one exists, on any thread.
// An image at least twice as wide and high as `atLeast` is decoded at half
// its size, each pixel the mean of a 2 x 2 block (premultiplied, as
// ARGB32_Premultiplied, where there is alpha), the way JPEG decodes at a
// fraction of its size: the picture is scaled down afterwards anyway.
// An opaque picture larger than `shrinkTo` in both directions comes shrunk
// to it (AreaShrink), row by row: it is never whole in memory. The picture
// is made in `into` when that is an image of its size and format that
// nothing else holds.
ImageDecoding decodeFastPng(const QByteArray &bytes, const QSize &atLeast = QSize(),
                            const QSize &shrinkTo = QSize(), QImage into = QImage());

} // namespace korvel
