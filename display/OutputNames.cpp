#include "OutputNames.h"

#include "display/XcbHandles.h"
#include "picture/MonitorLayout.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <vector>

namespace korvel {

QStringList readOutputNames(const QByteArray &displayName)
{
    int screenNumber = 0;
    const Connection connection(
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber));
    xcb_connection_t *c = connection.get();
    if (xcb_connection_has_error(c) != 0)
        return {};
    const xcb_screen_t *screen = screenOf(c, screenNumber);
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_randr_id);
    if (screen == nullptr || extension == nullptr || extension->present == 0)
        return {};
    const Reply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 3))
        return {};
    const Reply<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(
            c, xcb_randr_get_screen_resources_current(c, screen->root), nullptr));
    if (!resources)
        return {};
    const xcb_randr_output_t *outputs =
        xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count =
        std::min(xcb_randr_get_screen_resources_current_outputs_length(resources.get()),
                 int(MonitorLayout::MaxMonitors));
    // All questions first, then the answers: one round trip.
    std::vector<xcb_randr_get_output_info_cookie_t> asked;
    for (int i = 0; i < count; ++i)
        asked.push_back(xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp));
    QStringList names;
    for (const xcb_randr_get_output_info_cookie_t &cookie : asked) {
        const Reply<xcb_randr_get_output_info_reply_t> info(
            xcb_randr_get_output_info_reply(c, cookie, nullptr));
        if (!info || info->crtc == XCB_NONE)
            continue;
        names << QString::fromLatin1(
            reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
            xcb_randr_get_output_info_name_length(info.get()));
    }
    return names;
}

} // namespace korvel
