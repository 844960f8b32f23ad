#pragma once

#include "DesktopPicture.h"

#include <QDBusConnection>
#include <QObject>

#include <memory>
#include <vector>

namespace korvel {

class DesktopSetter;

// The desktops of the session that paint their own background from a file:
// which of them are present, pointing them at the picture, and noticing,
// without polling, those that start later (at login a desktop and this tool
// start together). Nothing here touches D-Bus in a session without a session
// bus (a bare X server), so none is ever started.
class DesktopSetters : public QObject
{
    Q_OBJECT

public:
    explicit DesktopSetters(QObject *parent = nullptr);
    ~DesktopSetters() override;

    // Whether some desktop of the session needs the picture as a file.
    bool needFile();
    // Whether some desktop of the session needs each monitor's part too.
    bool needMonitorParts();
    // Points every desktop present at the picture; one line per failure.
    QStringList apply(const DesktopPicture &picture);
    // From now on a desktop that starts gets the file of the last apply(),
    // and one that ends is told (see DesktopSetter::serviceEnded()).
    void watch();

signals:
    // A desktop that started has been pointed at the last file, or one that
    // ended has been told; `problems` holds a line per failure.
    void applied(const QStringList &problems);
    // A desktop started before any file was needed: draw again.
    void fileNeeded();

private:
    bool present(const DesktopSetter &setter);
    void serviceStarted(const QString &name, int attempt);

    QDBusConnection m_bus;
    std::vector<std::unique_ptr<DesktopSetter>> m_setters;
    DesktopPicture m_picture;
};

} // namespace korvel
