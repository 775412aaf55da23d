#include "core/CoreServices.h"

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

void logActivity(const QString& text)
{
    if (instance) {
        instance->writeLog(text);
    }
}

void showCoreMessage(const QString& text, int kind)
{
    if (instance) {
        instance->showMessage(text, kind);
    }
}
