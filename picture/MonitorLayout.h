#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

namespace korvel {

// The monitors of a desktop: rectangles in the desktop's coordinates (the
// desktop being their bounding box, the X root window) and which one is the
// primary. Each monitor shows the whole wallpaper; the text block is placed
// on the primary.
struct MonitorLayout
{
    // Empty: one monitor covering the whole desktop.
    QVector<QRect> rects;
    int primary = 0;

    // At most this many monitors are drawn.
    static constexpr int MaxMonitors = 16;

    // A layout as the X server or the toolkit reports it, made safe to draw:
    // each rectangle clipped to the desktop, empty ones and those beyond
    // MaxMonitors dropped, the primary the one at `primary` if it is left,
    // otherwise the first. None left, or only one covering the whole
    // desktop: the plain single-monitor layout.
    static MonitorLayout fromReported(const QSize &desktop, const QVector<QRect> &rects,
                                      int primary);

    // The monitors' rectangles; one covering the whole desktop when empty.
    QVector<QRect> monitors(const QSize &desktop) const;
    QRect primaryRect(const QSize &desktop) const;
    // The monitor that holds `point`, otherwise the primary.
    int monitorAt(const QSize &desktop, const QPoint &point) const;

    bool operator==(const MonitorLayout &other) const
    {
        return rects == other.rects && primary == other.primary;
    }
    bool operator!=(const MonitorLayout &other) const { return !(*this == other); }
};

} // namespace korvel
