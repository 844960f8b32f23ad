#pragma once

#include "picture/ImageDecoding.h"

#include <QByteArray>
#include <QSize>

namespace korvel {

// A quick decoder for the PNG files that wallpapers mostly are: 8 bits per
// channel, grey or RGB, with or without alpha, not interlaced, no
// transparency chunk. The whole image data is inflated in one call (which is
// where a PNG decoder spends its time) and unfiltered row by row. It gives
// the pixels Qt's reader gives: RGB32 for opaque images, ARGB32 otherwise.
// Needs no application object: it may run before one exists, on any thread.
// An image at least twice as wide and high as `atLeast` is decoded at half
// its size, each pixel the mean of a 2 x 2 block (premultiplied, as
// ARGB32_Premultiplied, where there is alpha), the way JPEG decodes at a
// fraction of its size: the picture is scaled down afterwards anyway.
ImageDecoding decodeFastPng(const QByteArray &bytes, const QSize &atLeast = QSize());

} // namespace korvel
