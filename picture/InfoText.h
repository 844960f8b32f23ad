#pragma once

#include "hostinfo/SystemInfo.h"

#include <QString>

namespace korvel {

// The text block drawn on the picture: user name, an empty line, host name,
// address, netmask, gateway, an empty line, then the free text. An absent
// fact leaves its line empty, so the lines never move.
QString composeInfoText(const SystemInfo &info, const QString &freeText);

} // namespace korvel
