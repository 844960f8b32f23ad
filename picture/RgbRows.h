#pragma once

#include <QRgb>

#include <cstddef>

namespace korvel {

// The bytes of a PNG row of 8-bit RGB made from `width` RGB32 pixels: with
// `sub`, the Sub filter's (each byte less the one a pixel to the left),
// otherwise the samples themselves; the filter type is not written. Takes
// four pixels at a time with vector shuffles, and may write up to
// RgbRowSlack bytes beyond the row. Gives the row's end.
constexpr size_t RgbRowSlack = 4;
unsigned char *rgbRow(const QRgb *pixels, size_t width, unsigned char *out, bool sub);

} // namespace korvel
