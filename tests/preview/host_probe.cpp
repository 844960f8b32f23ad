// Prints what the host information collection finds on this machine, one
// field a line, for the tests that run it in a network namespace of their own.
#include "preview/CollectSystemInfo.h"

#include <cstdio>

namespace {

void print(const char *name, const std::optional<QString> &value)
{
    if (value)
        std::printf("%s=%s\n", name, value->toUtf8().constData());
    else
        std::printf("%s absent\n", name);
}

} // namespace

int main()
{
    const korvel::SystemInfo info = korvel::collectSystemInfo({true, true, true, true, true});
    print("username", info.username);
    print("hostname", info.hostname);
    print("ipAddress", info.ipAddress);
    print("netmask", info.netmask);
    print("gateway", info.gateway);
    return 0;
}
