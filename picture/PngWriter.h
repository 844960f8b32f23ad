#pragma once

class QImage;

namespace korvel {

// Writes `image` to the open file `fd` as a PNG meant to be read once, soon:
// 8-bit RGB (RGBA when the image has alpha, unpremultiplied), no row filters
// and stored deflate blocks, so that writing costs little more than copying
// the pixels. Any reader decodes it to the image's exact pixels (an image
// with alpha to its ARGB32 form). False when a write fails.
bool writeFastPng(const QImage &image, int fd);

} // namespace korvel
