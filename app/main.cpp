#include "app/Startup.h"
#include "core/StartupTrace.h"
#include "core/platform/Platform.h"

int main(int argc, char** argv)
{
    StartupTrace::start();
    Platform::returnLargeBlocksToSystem();
    return runApplication(argc, argv);
}
