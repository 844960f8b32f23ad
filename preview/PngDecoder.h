#pragma once

#include <QByteArray>
#include <QImage>

namespace korvel {

// A quick decoder for the PNG files that wallpapers mostly are: 8 bits per
// channel, grey or RGB, with or without alpha, not interlaced, no
// transparency chunk. The whole image data is inflated in one call (which is
// where a PNG decoder spends its time) and unfiltered row by row. It gives
// the pixels Qt's reader gives: RGB32 for opaque images, ARGB32 otherwise.
struct PngDecoding
{
    enum class Outcome {
        Decoded,
        Corrupt,   // a PNG of a kind handled here, but damaged or cut short
        NotHandled // not a PNG, or a kind left to Qt's reader
    };
    Outcome outcome = Outcome::NotHandled;
    QImage image;
};

PngDecoding decodeFastPng(const QByteArray &bytes);

} // namespace korvel
