#pragma once

#include <QRect>
#include <QString>
#include <QVector>

namespace korvel {

// The files a desktop that paints its own background is pointed at.
struct DesktopPicture
{
    // One monitor's part of the picture.
    struct Part
    {
        QRect monitor;
        QString file;
    };

    // The whole desktop: the bounding box of its monitors.
    QString file;
    // Whether the desktop has several monitors, which `file` spans.
    bool spansMonitors = false;
    // Each monitor's own part, for desktops that paint each monitor on its
    // own (see DesktopSetter::paintsEachMonitor()); empty otherwise.
    QVector<Part> parts;
};

} // namespace korvel
