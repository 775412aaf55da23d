#include "ui/common/StatusMarquee.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>

StatusMarquee::StatusMarquee(QWidget* screen, QLabel* label, QString* text)
    : QObject(screen), screen_(screen), label_(label), text_(text), timer_(new QTimer(this))
{
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, &StatusMarquee::tick);
    screen_->installEventFilter(this);
}

void StatusMarquee::tick()
{
    if (scrollCounter_ <= 0) {
        return;
    }
    ++scrollCounter_;
    // An empty text has no first character: it stays empty.
    firstChar_ = text_->left(1);
    *text_ = text_->mid(1) + firstChar_;
    label_->setText(*text_);
    if (scrollCounter_ == 30) {
        scrollCounter_ = 1;
    }
}

void StatusMarquee::addingSpace(int sLength)
{
    if (sLength + 3 < 0) {
        return;
    }
    pad_ += QString(sLength + 4, QLatin1Char(' '));
}

void StatusMarquee::setText(const QString& text)
{
    *text_ = text;
}

void StatusMarquee::showMessage(const QString& text)
{
    *text_ = text;
    pad_.clear();
    run();
}

void StatusMarquee::showPaddedMessage(const QString& text, int n)
{
    *text_ = text;
    repad(n);
}

void StatusMarquee::repad(int n)
{
    pad_.clear();
    addingSpace(n);
    *text_ = pad_ + *text_;
    run();
}

void StatusMarquee::run()
{
    scrollCounter_ = 1;
    if (!timerOn_) {
        startTimer();
    }
}

void StatusMarquee::restart()
{
    scrollCounter_ = 1;
    timer_->stop();
    startTimer();
}

void StatusMarquee::stop()
{
    scrollCounter_ = 0;
    stopTimer();
}

void StatusMarquee::stopTimer()
{
    timerOn_ = false;
    timer_->stop();
}

bool StatusMarquee::isTicking() const
{
    return timer_->isActive();
}

void StatusMarquee::startTimer()
{
    timerOn_ = true;
    followVisibility();
}

void StatusMarquee::followVisibility()
{
    const bool shouldTick = timerOn_ && screen_->isVisible();
    if (shouldTick && !timer_->isActive()) {
        timer_->start();
    } else if (!shouldTick) {
        timer_->stop();
    }
}

bool StatusMarquee::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == screen_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        followVisibility();
    }
    return QObject::eventFilter(watched, event);
}
