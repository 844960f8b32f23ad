#include "MonitorLayout.h"

namespace korvel {

MonitorLayout MonitorLayout::fromReported(const QSize &desktop, const QVector<QRect> &rects,
                                          int primary)
{
    const QRect whole(QPoint(0, 0), desktop);
    MonitorLayout layout;
    for (int i = 0; i < rects.size() && layout.rects.size() < MaxMonitors; ++i) {
        const QRect rect = rects.at(i).intersected(whole);
        if (rect.isEmpty())
            continue;
        if (i == primary)
            layout.primary = layout.rects.size();
        layout.rects.append(rect);
    }
    if (layout.rects.size() == 1 && layout.rects.first() == whole)
        layout = MonitorLayout();
    return layout;
}

QVector<QRect> MonitorLayout::monitors(const QSize &desktop) const
{
    return rects.isEmpty() ? QVector<QRect>{QRect(QPoint(0, 0), desktop)} : rects;
}

QRect MonitorLayout::primaryRect(const QSize &desktop) const
{
    return monitors(desktop).value(primary, QRect(QPoint(0, 0), desktop));
}

int MonitorLayout::monitorAt(const QSize &desktop, const QPoint &point) const
{
    const QVector<QRect> all = monitors(desktop);
    if (all.value(primary).contains(point))
        return primary;
    for (int i = 0; i < all.size(); ++i) {
        if (all.at(i).contains(point))
            return i;
    }
    return primary;
}

} // namespace korvel
