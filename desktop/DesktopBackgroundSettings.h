#pragma once

#include "DesktopSetter.h"

namespace korvel {

// The desktops that paint their own background from their GSettings, set to stretch the
// picture over the monitor, or to span it over several: GNOME (org.gnome.desktop.background,
// also read by Budgie and GNOME Flashback), MATE (org.mate.background) and Cinnamon
// (org.cinnamon.desktop.background). Their settings are kept whether or not the desktop runs;
// those whose schema is not installed are skipped without a line. Needs a session bus (the
// settings store is a bus service).
class DesktopBackgroundSettings : public DesktopSetter
{
public:
    QString serviceName() const override { return {}; }
    bool installed() const override;
    QStringList apply(const DesktopPicture &picture) override;
};

} // namespace korvel
