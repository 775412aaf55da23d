#pragma once

#include "core/Clock.h"

// A clock that stands still at a time the test sets, installed for the life of the object.
class MockClock : public Clock {
public:
    explicit MockClock(const QDateTime& start) : now_(start) { Clock::setCurrent(this); }
    ~MockClock() override { Clock::setCurrent(nullptr); }
    MockClock(const MockClock&) = delete;
    MockClock& operator=(const MockClock&) = delete;

    QDateTime now() const override { return now_; }
    void set(const QDateTime& time) { now_ = time; }
    void advanceSeconds(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_;
};
