#include "MonitorWatcher.h"

#include "display/XcbHandles.h"

#include <QSocketNotifier>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace korvel {

MonitorWatcher::MonitorWatcher(QObject *parent) : QObject(parent)
{
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    const xcb_screen_t *screen =
        xcb_connection_has_error(c) == 0 ? screenOf(c, screenNumber) : nullptr;
    if (screen == nullptr) {
        xcb_disconnect(c);
        QMetaObject::invokeMethod(this, &MonitorWatcher::displayLost, Qt::QueuedConnection);
        return;
    }
    // The server tells a change of the monitors as a new configuration of
    // the root window; RandR's own events come with outputs and modes.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr != nullptr && randr->present != 0)
        xcb_randr_select_input(c, screen->root,
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    xcb_flush(c);
    m_connection = c;
    auto *notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &MonitorWatcher::readEvents);
}

MonitorWatcher::~MonitorWatcher()
{
    if (m_connection != nullptr)
        xcb_disconnect(m_connection);
}

void MonitorWatcher::readEvents()
{
    bool any = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        any = true;
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection) != 0) {
        delete findChild<QSocketNotifier *>();
        emit displayLost();
        return;
    }
    if (any)
        emit changed();
}

} // namespace korvel
