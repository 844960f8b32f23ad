#include "app/Paths.h"
#include "app/Startup.h"

int main(int argc, char *argv[])
{
    return korvel::runApplication(argc, argv, korvel::Paths::installed());
}
