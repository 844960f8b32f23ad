#include "ScreenDesktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QX11Info>

namespace korvel {

DisplayDesktop screenDesktop()
{
    if (QX11Info::isPlatformX11()) {
        if (const std::optional<DisplayDesktop> desktop =
                readDisplayDesktop(QX11Info::connection(), QX11Info::appScreen()))
            return *desktop;
    }
    DisplayDesktop desktop;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return desktop;
    QVector<QRect> rects;
    int primaryIndex = 0;
    for (const QScreen *screen : primary->virtualSiblings()) {
        if (screen == primary)
            primaryIndex = rects.size();
        rects.append(screen->geometry());
    }
    const QRect whole = primary->virtualGeometry();
    // The desktop's coordinates start at its top left corner.
    for (QRect &rect : rects)
        rect.translate(-whole.topLeft());
    desktop.size = whole.size();
    desktop.monitors = MonitorLayout::fromReported(desktop.size, rects, primaryIndex);
    return desktop;
}

} // namespace korvel
