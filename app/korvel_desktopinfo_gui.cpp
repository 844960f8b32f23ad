#include "app/Startup.h"
#include "base/Paths.h"

int main(int argc, char *argv[])
{
    return korvel::runApplication(argc, argv, korvel::Paths::installed());
}
