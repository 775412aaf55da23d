#include "ui/common/StatusMarquee.h"

#include "core/StatusText.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>

StatusMarquee::StatusMarquee(QWidget* screen, QLabel* label, StatusText* text)
    : QObject(screen), screen_(screen), label_(label), text_(text), timer_(new QTimer(this))
{
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, &StatusMarquee::tick);
    // Both screens name their lines after a new message at once, whichever screen set it.
    connect(text_, &StatusText::messageChanged, this, &StatusMarquee::nameLabel);
    screen_->installEventFilter(this);
    nameLabel();
}

const QString& StatusMarquee::text() const
{
    return text_->text();
}

void StatusMarquee::tick()
{
    if (scrollCounter_ <= 0) {
        return;
    }
    ++scrollCounter_;
    firstChar_ = text_->text().left(1);
    text_->rotate();
    label_->setText(text_->text());
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
    text_->setMessage(text);
}

void StatusMarquee::showMessage(const QString& text)
{
    text_->setMessage(text);
    pad_.clear();
    run();
}

void StatusMarquee::showPaddedMessage(const QString& text, int n)
{
    pad_.clear();
    addingSpace(n);
    text_->setMessage(pad_ + text);
    run();
}

void StatusMarquee::repad(int n)
{
    pad_.clear();
    addingSpace(n);
    text_->setMessage(pad_ + text_->text());
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

void StatusMarquee::nameLabel()
{
    // The reader hears the whole message once, not a fragment per step: the name changes with the message only.
    // The label's own text keeps moving for the eye.
    const QString name = text_->message().trimmed();
    if (label_->accessibleName() != name) {
        label_->setAccessibleName(name);
    }
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
