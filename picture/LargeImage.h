#pragma once

#include <QImage>
#include <QSize>

namespace korvel {

// A new image of `size` in a 32-bit `format`, its pixels not yet set. The
// pixels of a large one (a decoded wallpaper, a desktop's picture: tens of
// megabytes) are mapped on their own and, where the system offers it, on huge
// pages, so that the system makes them ready in a few dozen steps rather than
// thousands of page faults; they are given back when the last copy goes. A
// null image when the memory cannot be had.
QImage newLargeImage(const QSize &size, QImage::Format format);

} // namespace korvel
