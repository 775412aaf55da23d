#pragma once

#include <QDateTime>

// Source of the current time for everything whose result depends on it (token codes, log stamps, server-time
// checks). Tests replace it so that nothing has to wait for time to pass.
class Clock {
public:
    virtual ~Clock() = default;

    // Local date and time.
    virtual QDateTime now() const;
    // Whole seconds since 1970-01-01 00:00:00 UTC.
    qint64 secondsSinceEpoch() const { return now().toSecsSinceEpoch(); }

    static const Clock& current();
    // nullptr restores the system clock.
    static void setCurrent(const Clock* clock);
};
