#include "DisplayDesktop.h"

#include "display/XcbHandles.h"

#include <QRect>
#include <QVector>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace korvel {

namespace {

// The RandR monitors of `root`, or none when the server has no RandR 1.5.
MonitorLayout randrMonitors(xcb_connection_t *c, xcb_window_t root, const QSize &size)
{
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_randr_id);
    if (extension == nullptr || extension->present == 0)
        return {};
    const Reply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    if (!version || version->major_version < 1 ||
        (version->major_version == 1 && version->minor_version < 5))
        return {};
    const Reply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!reply)
        return {};
    QVector<QRect> rects;
    int primary = 0;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get());
         it.rem > 0 && rects.size() < MonitorLayout::MaxMonitors;
         xcb_randr_monitor_info_next(&it)) {
        if (it.data->primary != 0)
            primary = rects.size();
        rects.append(QRect(it.data->x, it.data->y, it.data->width, it.data->height));
    }
    return MonitorLayout::fromReported(size, rects, primary);
}

} // namespace

std::optional<DisplayDesktop> readDisplayDesktop(xcb_connection_t *connection, int screenNumber)
{
    if (connection == nullptr || xcb_connection_has_error(connection) != 0)
        return std::nullopt;
    const xcb_screen_t *screen = screenOf(connection, screenNumber);
    if (screen == nullptr)
        return std::nullopt;
    DisplayDesktop desktop;
    desktop.size = QSize(screen->width_in_pixels, screen->height_in_pixels);
    desktop.monitors = randrMonitors(connection, screen->root, desktop.size);
    return desktop;
}

std::optional<DisplayDesktop> readDisplayDesktop(const QByteArray &displayName)
{
    int screenNumber = 0;
    const Connection connection(
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber));
    return readDisplayDesktop(connection.get(), screenNumber);
}

} // namespace korvel
