#include "core/StartupTrace.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(startupTrace, "veltrane.startup", QtWarningMsg)

namespace StartupTrace {

namespace {
QElapsedTimer clock;
qint64 previousStep = 0;

// Resident memory in KiB, the "VmRSS:" line of /proc/self/status; -1 where there is no such file.
qint64 residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // Read whole: a file of /proc tells no size, so it is at its end before the first read.
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("\nVmRSS:");
    if (at >= 0) {
        bool ok = false;
        const qint64 kib =
            text.mid(at + 7, text.indexOf('\n', at + 1) - at - 7).trimmed().split(' ').value(0).toLongLong(&ok);
        return ok ? kib : -1;
    }
    return -1;
}
} // namespace

void start()
{
    clock.start();
    previousStep = 0;
}

void step(const char* name)
{
    if (!startupTrace().isDebugEnabled() || !clock.isValid()) {
        return;
    }
    const qint64 now = clock.nsecsElapsed();
    const qint64 resident = residentKib();
    // "step <name>: <since main> ms, +<since the step before> ms[, <resident> KiB]", as scripts/bench reads it.
    if (resident >= 0) {
        qCDebug(startupTrace, "step %s: %.1f ms, +%.1f ms, %lld KiB", name, double(now) / 1e6,
                double(now - previousStep) / 1e6, resident);
    } else {
        qCDebug(startupTrace, "step %s: %.1f ms, +%.1f ms", name, double(now) / 1e6, double(now - previousStep) / 1e6);
    }
    previousStep = now;
}

} // namespace StartupTrace
