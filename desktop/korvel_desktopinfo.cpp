#include "base/Paths.h"
#include "desktop/AddressSpaceLimit.h"
#include "desktop/DesktopTool.h"

int main(int argc, char *argv[])
{
    korvel::limitAddressSpace();
    return korvel::runDesktopTool(argc, argv, korvel::Paths::installed());
}
