#pragma once

#include "DesktopSetter.h"

#include <QDBusConnection>

namespace korvel {

// KDE Plasma's desktop: a script evaluated by the running plasmashell
// (org.kde.PlasmaShell.evaluateScript) gives every desktop of every screen
// the image wallpaper, stretched. Plasma keeps it in its own configuration.
// It has a desktop for each screen and no way to span a picture over them:
// with several monitors, each desktop gets its own monitor's part.
class PlasmaDesktop : public DesktopSetter
{
public:
    explicit PlasmaDesktop(const QDBusConnection &bus) : m_bus(bus) {}

    QString serviceName() const override;
    QStringList apply(const DesktopPicture &picture) override;
    bool paintsEachMonitor() const override { return true; }

    // The script that shows `file` on every desktop, or the part whose
    // monitor is that desktop's screen.
    static QString script(const QString &file, const QVector<DesktopPicture::Part> &parts = {});

private:
    QDBusConnection m_bus;
};

} // namespace korvel
