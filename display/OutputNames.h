#pragma once

#include <QByteArray>
#include <QStringList>

namespace korvel {

// The names of the X display's RandR outputs that show a picture (those
// driving a CRTC), as desktops name their monitors ("HDMI-1", "screen" on a
// virtual server); none without RandR. `displayName` empty: the one DISPLAY names.
QStringList readOutputNames(const QByteArray &displayName = QByteArray());

} // namespace korvel
