#include "app/Startup.h"
#include "app/core/StartupTrace.h"
#include "app/core/platform/Platform.h"

int main(int argc, char** argv)
{
    StartupTrace::start();
    Platform::returnLargeBlocksToSystem();
    return runApplication(argc, argv);
}
