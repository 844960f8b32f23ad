#include "app/Paths.h"
#include "desktop/DesktopTool.h"

int main(int argc, char *argv[])
{
    return korvel::runDesktopTool(argc, argv, korvel::Paths::installed());
}
