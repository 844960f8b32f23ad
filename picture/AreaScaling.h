#pragma once

#include <QImage>
#include <QSize>

#include <optional>

namespace korvel {

// Shrinks an opaque (RGB32) image to `size`, smaller in both directions, by
// area sampling: each pixel is the mean of the source area that it covers,
// the pixels cut by the area's edges weighted by how much of them it covers.
// The fixed-point arithmetic (14-bit weights) is that of the toolkit's smooth
// scaling, so both give the same pixels; this one works on all cores into a
// large image of its own (see LargeImage). nullopt for any other case, which
// the toolkit's scaling takes.
std::optional<QImage> shrinkByArea(const QImage &image, const QSize &size);

} // namespace korvel
