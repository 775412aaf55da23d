#pragma once

#include <QtGlobal>

// The resident memory of this process as the kernel counts it (/proc/self/status), and its peak over one stretch of a
// test: a reply that is never read whole must leave the peak a few MiB above the figure before the request.
class PeakMemory {
public:
    // A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when it cannot be read.
    static qint64 statusKib(const char* field);
    // Whether the address sanitizer is built in: it keeps freed memory resident in its quarantine, so that a peak
    // means nothing there.
    static bool underSanitizer();

    // Starts a new peak (VmHWM falls back to the resident size of this moment) and takes that size as the idle
    // figure. False when the kernel offers no reset (no /proc/self/clear_refs): the peak then counts from the start
    // of the process.
    bool restart();
    qint64 idleKib() const { return idleKib_; }
    // The peak since restart(), above the idle figure, in KiB.
    qint64 aboveIdle() const { return statusKib("VmHWM:") - idleKib_; }

private:
    qint64 idleKib_ = 0;
};
