#include "PeakMemory.h"

#include <QByteArray>
#include <QFile>

qint64 PeakMemory::statusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

bool PeakMemory::underSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

bool PeakMemory::restart()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    // "5" resets the peak resident size of the process.
    const bool reset = refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
    refs.close();
    idleKib_ = statusKib("VmRSS:");
    return reset;
}
