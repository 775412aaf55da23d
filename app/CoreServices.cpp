#include "app/CoreServices.h"

namespace {
CoreServices* instance = nullptr;
} // namespace

CoreServices* coreServices()
{
    return instance;
}

void setCoreServices(CoreServices* services)
{
    instance = services;
}
