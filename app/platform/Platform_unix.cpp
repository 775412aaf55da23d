#include "app/platform/Platform.h"

#include <QSharedMemory>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace Platform {

QString accountName()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name) {
        return {};
    }
    return QString::fromLatin1(found->pw_name);
}

void blockingPause(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

QString instanceGuardKey(const QString& key)
{
    // A System V key is machine-wide: without the user id one user's running instance refused every other user's.
    return key + QStringLiteral("uid") + QString::number(geteuid());
}

void clearStaleInstanceGuard(const QString& key)
{
    // A System V segment outlives a killed owner. Detaching destroys the segment when no process is attached any
    // more, so attaching and detaching removes a dead instance's guard and leaves a live one's in place.
    QSharedMemory stale(key);
    if (stale.attach()) {
        stale.detach();
    }
}

} // namespace Platform
