#pragma once

#include "picture/MonitorLayout.h"

#include <QByteArray>
#include <QSize>

#include <optional>

struct xcb_connection_t;

namespace korvel {

// The desktop of an X screen: its root window's size and its monitors.
struct DisplayDesktop
{
    QSize size;
    MonitorLayout monitors;
};

// The desktop of screen `screenNumber` on an open connection. The monitors
// are the X server's own (RandR 1.5, the same whatever program asks); a
// server without them gives one monitor over the whole root window. nullopt
// when the screen does not exist.
std::optional<DisplayDesktop> readDisplayDesktop(xcb_connection_t *connection, int screenNumber);

// The same on a new connection to the display `displayName` (empty: the one
// DISPLAY names); nullopt when the display cannot be reached.
std::optional<DisplayDesktop> readDisplayDesktop(const QByteArray &displayName = QByteArray());

} // namespace korvel
