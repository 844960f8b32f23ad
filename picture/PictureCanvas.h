#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <optional>

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

    // The part of the memory in `rect`, as an image for writing; a null image
    // when there is no memory or the rectangle is not inside it.
    QImage part(const QRect &rect) const
    {
        if (pixels == nullptr || rect.isEmpty() || !QRect(QPoint(0, 0), size).contains(rect))
            return QImage();
        return QImage(pixels + rect.y() * stride + rect.x() * 4, rect.width(), rect.height(),
                      stride, QImage::Format_RGB32);
    }

    // Where `image` lies in the memory, if it is a part of it.
    std::optional<QRect> placeOf(const QImage &image) const
    {
        const uchar *bits = image.constBits();
        if (pixels == nullptr || bits < pixels || bits >= pixels + size.height() * stride ||
            image.bytesPerLine() != stride)
            return std::nullopt;
        const qsizetype offset = bits - pixels;
        return QRect(int(offset % stride / 4), int(offset / stride), image.width(), image.height());
    }
};

} // namespace korvel
