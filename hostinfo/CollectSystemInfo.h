#pragma once

#include "hostinfo/SystemInfo.h"

namespace korvel {

class HostSource;

// Looks up the requested host facts. The interface list is read once per
// call; of the interfaces not named exactly "lo", the last IPv4 entry of the
// last one that has any gives address and netmask, and the default gateway
// is looked up only when such an interface exists. Failed lookups leave
// their field absent.
SystemInfo collectSystemInfo(const SystemInfoRequest &request, const HostSource &source);

// The same from the running system.
SystemInfo collectSystemInfo(const SystemInfoRequest &request);

} // namespace korvel
