#pragma once

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
    // Makes the desktop show `file` (an absolute path) stretched. One line
    // per failure; every call it makes is bounded by CallMilliseconds.
    virtual QStringList apply(const QString &file) = 0;
    // Its service has ended (the program quit or restarts); lines as apply().
    virtual QStringList serviceEnded() { return {}; }

    static constexpr int CallMilliseconds = 1500;
};

} // namespace korvel
