#pragma once

#include <QString>

#include <optional>

namespace korvel {

// The host facts shown on the wallpaper. An absent field prints nothing; a
// present one prints its label even when its value is empty.
struct SystemInfo
{
    std::optional<QString> username;
    std::optional<QString> hostname;
    std::optional<QString> ipAddress;
    std::optional<QString> netmask;
    std::optional<QString> gateway;
};

// Which facts to look up, one flag per field of SystemInfo.
struct SystemInfoRequest
{
    bool username = false;
    bool hostname = false;
    bool ipAddress = false;
    bool netmask = false;
    bool gateway = false;
};

} // namespace korvel
