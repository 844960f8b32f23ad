#include "AddressSpaceLimit.h"

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define KORVEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEL_ADDRESS_SANITIZER 1
#endif
#endif

namespace korvel {

void limitAddressSpace()
{
#ifndef KORVEL_ADDRESS_SANITIZER
    rlimit limit = {};
    if (::getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    // Never raised: a lower limit set by the administrator stays.
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > MaxAddressSpace)
        limit.rlim_cur = MaxAddressSpace;
    ::setrlimit(RLIMIT_AS, &limit);
#endif
}

} // namespace korvel
