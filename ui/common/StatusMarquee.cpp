#include "ui/common/StatusMarquee.h"

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace {

// The message of each shared status text as it was set, before any step rotated it. Both screens' marquees scroll
// the one text, so they keep its message in one place too: the screen that shows the text next names it as the
// screen that set it did.
QHash<const QString*, QString>& messages()
{
    static QHash<const QString*, QString> table;
    return table;
}

// Whether `text` is `message` after some marquee steps.
bool isRotationOf(const QString& text, const QString& message)
{
    return text.size() == message.size() && (message + message).contains(text);
}

} // namespace

StatusMarquee::StatusMarquee(QWidget* screen, QLabel* label, QString* text)
    : QObject(screen), screen_(screen), label_(label), text_(text), timer_(new QTimer(this))
{
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, &StatusMarquee::tick);
    screen_->installEventFilter(this);
    adoptReplacedText();
}

void StatusMarquee::tick()
{
    if (scrollCounter_ <= 0) {
        return;
    }
    ++scrollCounter_;
    adoptReplacedText();
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
    noteMessage();
}

void StatusMarquee::showMessage(const QString& text)
{
    *text_ = text;
    noteMessage();
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
    noteMessage();
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

void StatusMarquee::noteMessage()
{
    messages().insert(text_, *text_);
    nameLabel();
}

void StatusMarquee::adoptReplacedText()
{
    // A text that is no step of the known message was replaced from outside the marquee: a new message.
    if (!isRotationOf(*text_, messages().value(text_))) {
        messages().insert(text_, *text_);
    }
    nameLabel();
}

void StatusMarquee::nameLabel()
{
    // The reader hears the whole message once, not a fragment per step: the name changes with the message only.
    // The label's own text keeps moving for the eye.
    const QString name = messages().value(text_).trimmed();
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
        if (event->type() == QEvent::Show) {
            // The other screen may have set a new message meanwhile.
            adoptReplacedText();
        }
    }
    return QObject::eventFilter(watched, event);
}
