#pragma once

#include <QString>

namespace korvel {

// One settings file in memory: one field per key, named as the key. A plain
// value; it refers neither to the form nor to the settings object.
struct DisplaySettings
{
    // group Displaying
    bool Username = false;
    bool IPaddress = false;
    bool Netmask = false;
    bool Gateway = false;
    bool Hostname = false;
    bool Over = false;
    QString OverText;

    // group Settings
    int Color = 0;
    QString FontSize; // a decimal integer as text
    bool Logo = false;
    QString Position; // "left", "center" or "right"
    QString OriginalImage;
    QString Image;
};

} // namespace korvel
