#pragma once

#include "DesktopSetter.h"

#include <QDBusConnection>

namespace korvel {

// Xfce's desktop: the channel xfce4-desktop of the settings service xfconfd
// (org.xfce.Xfconf), which xfdesktop follows live. Every backdrop of the
// session gets the picture, stretched: those the channel has already and
// those of the current monitors on every workspace, so that a monitor that
// xfdesktop has not seen yet shows it too.
class XfceDesktop : public DesktopSetter
{
public:
    explicit XfceDesktop(const QDBusConnection &bus) : m_bus(bus) {}

    QString serviceName() const override;
    QStringList apply(const DesktopPicture &picture) override;

    // The backdrops to set, each as its property path without the last
    // part ("/backdrop/screen0/monitorHDMI-1/workspace0"), sorted: those
    // named in `properties` (the channel's property paths) and those of the
    // `monitors` (RandR names) for `workspaces` workspaces of screen 0.
    static QStringList backdrops(const QStringList &properties, const QStringList &monitors,
                                 int workspaces);

private:
    QDBusConnection m_bus;
};

} // namespace korvel
