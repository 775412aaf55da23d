#include "core/Clock.h"

namespace {
const Clock systemClock;
const Clock* currentClock = &systemClock;
} // namespace

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}

const Clock& Clock::current()
{
    return *currentClock;
}

void Clock::setCurrent(const Clock* clock)
{
    currentClock = clock ? clock : &systemClock;
}
