#pragma once

#include "DesktopSetter.h"

#include <QDBusConnection>

namespace korvel {

// LXQt's desktop, drawn by pcmanfm-qt: its own call setWallpaper (the
// running program's org.pcmanfm.Application on the bus) shows the picture
// at once. That call saves the file but not the mode, and pcmanfm-qt saves
// the mode it started with again when it quits; so the running profile's
// settings.conf is given WallpaperMode=stretch after each call and once more
// when the program has quit: a restarted pcmanfm-qt shows the picture too.
class LxqtDesktop : public DesktopSetter
{
public:
    explicit LxqtDesktop(const QDBusConnection &bus) : m_bus(bus) {}

    QString serviceName() const override;
    QStringList apply(const DesktopPicture &picture) override;
    QStringList serviceEnded() override;

    // The profile named on a pcmanfm-qt command line (its arguments as
    // /proc/PID/cmdline has them, NUL-separated); "default" when none is.
    static QString profile(const QByteArray &commandLine);

private:
    QStringList keep();

    QDBusConnection m_bus;
    QString m_settings; // the running profile's settings.conf
    QString m_file;
};

} // namespace korvel
