#pragma once

#include <QPoint>
#include <QSize>

namespace korvel {

// Integer division by two that rounds toward negative infinity (-5 gives -3).
constexpr int floorHalf(int value)
{
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// Top-left position that centres a window on the desktop. A window larger than
// the desktop gets a negative coordinate; nothing is clamped.
inline QPoint centredPosition(const QSize &desktop, const QSize &window)
{
    return {floorHalf(desktop.width() - window.width()),
            floorHalf(desktop.height() - window.height())};
}

} // namespace korvel
