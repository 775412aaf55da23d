#include "app/Startup.h"
#include "app/core/StartupTrace.h"

int main(int argc, char** argv)
{
    StartupTrace::start();
    return runApplication(argc, argv);
}
