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

// The other way: `width` pixels of 8-bit RGB bytes as opaque RGB32.
void pixelRow(const unsigned char *rgb, size_t width, QRgb *out);

// Each 2 x 2 block of two rows of `width` pixels as the mean of its four, per
// byte (a + b + c + d + 2) / 4, into `width` / 2 pixels (an odd last column
// is left out).
void halvedRow(const QRgb *upper, const QRgb *lower, size_t width, QRgb *out);

} // namespace korvel
