#include "DisplayDesktop.h"

#include <QRect>
#include <QVector>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace korvel {

namespace {

struct FreeReply
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

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

struct Disconnect
{
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};

} // namespace

std::optional<DisplayDesktop> readDisplayDesktop(xcb_connection_t *connection, int screenNumber)
{
    if (connection == nullptr || xcb_connection_has_error(connection) != 0)
        return std::nullopt;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i)
        xcb_screen_next(&it);
    if (it.rem <= 0)
        return std::nullopt;
    DisplayDesktop desktop;
    desktop.size = QSize(it.data->width_in_pixels, it.data->height_in_pixels);
    desktop.monitors = randrMonitors(connection, it.data->root, desktop.size);
    return desktop;
}

std::optional<DisplayDesktop> readDisplayDesktop(const QByteArray &displayName)
{
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, Disconnect> connection(
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber));
    return readDisplayDesktop(connection.get(), screenNumber);
}

} // namespace korvel
