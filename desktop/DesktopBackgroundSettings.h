#pragma once

#include <QString>
#include <QStringList>

namespace korvel {

// Points the desktops that paint their own background from their settings at
// the picture file `file` (an absolute path). Returns one description per
// failure; desktops whose settings are not installed, and sessions without a
// session bus, are skipped without one.
QStringList setDesktopBackgroundSettings(const QString &file);

} // namespace korvel
