#pragma once

#include "DesktopSetter.h"

#include <QDBusConnection>

namespace korvel {

// KDE Plasma's desktop: a script evaluated by the running plasmashell
// (org.kde.PlasmaShell.evaluateScript) gives every desktop of every screen
// the image wallpaper, stretched. Plasma keeps it in its own configuration.
class PlasmaDesktop : public DesktopSetter
{
public:
    explicit PlasmaDesktop(const QDBusConnection &bus) : m_bus(bus) {}

    QString serviceName() const override;
    QStringList apply(const QString &file) override;

    // The script that shows `file` on every desktop.
    static QString script(const QString &file);

private:
    QDBusConnection m_bus;
};

} // namespace korvel
