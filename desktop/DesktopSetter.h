#pragma once

#include "DesktopPicture.h"

#include <QString>
#include <QStringList>

namespace korvel {

// One desktop that paints its own background from a picture file named in
// its own settings, reached through its own public interface.
class DesktopSetter
{
public:
    DesktopSetter() = default;
    virtual ~DesktopSetter() = default;
    DesktopSetter(const DesktopSetter &) = delete;
    DesktopSetter &operator=(const DesktopSetter &) = delete;

    // The session bus name its service owns while it runs; empty for
    // settings that are kept whether or not the desktop runs.
    virtual QString serviceName() const = 0;
    // For an empty serviceName(): whether its settings are installed.
    virtual bool installed() const { return false; }
    // Makes the desktop show the picture (absolute paths): the whole
    // picture stretched over the desktop, spanning its monitors, or each
    // monitor's part on it. One line per failure; every call it makes is
    // bounded by CallMilliseconds.
    virtual QStringList apply(const DesktopPicture &picture) = 0;
    // Whether it needs each monitor's part as a file of its own.
    virtual bool paintsEachMonitor() const { return false; }
    // Its service has ended (the program quit or restarts); lines as apply().
    virtual QStringList serviceEnded() { return {}; }

    static constexpr int CallMilliseconds = 1500;
};

} // namespace korvel
