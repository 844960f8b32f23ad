#pragma once

#include <QImage>
#include <QSize>

namespace korvel {

// Memory that the caller has for the picture, such as the X server's shared
// memory for a desktop's background: RGB32 rows `stride` bytes apart, of
// `size`. The picture is made right there when it can be, which saves a copy
// of it; the memory must stay while the picture is kept.
struct PictureCanvas
{
    uchar *pixels = nullptr;
    qsizetype stride = 0;
    QSize size;

    // The memory as an image of `wanted` size, for writing; a null image when
    // there is none of that size.
    QImage image(const QSize &wanted) const
    {
        if (pixels == nullptr || wanted != size)
            return QImage();
        return QImage(pixels, size.width(), size.height(), stride, QImage::Format_RGB32);
    }
};

} // namespace korvel
