#include "app/platform/Platform.h"

#include <windows.h>

namespace Platform {

QString accountName()
{
    char name[257] = {};
    DWORD size = sizeof(name);
    if (!GetUserNameA(name, &size)) {
        return {};
    }
    return QString::fromLatin1(name);
}

void blockingPause(int milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}

QString instanceGuardKey(const QString& key)
{
    // A named section without the Global\ prefix already lives in the user's own session namespace.
    return key;
}

void clearStaleInstanceGuard(const QString&)
{
    // Windows releases a named section when its last handle closes, also when the owner is killed.
}

} // namespace Platform
