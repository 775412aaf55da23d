#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QTimer;
class QWidget;
class StatusText;

// A screen's scrolling status line. Both screens scroll the one status text of the program in their own label:
// every 175 ms the text's first character moves to its end. A new message is given blanks in front so that it
// enters from the right.
//
// The label's accessible name is the whole message, trimmed, whatever step the line shows: a screen reader hears a
// message once, when it is set.
//
// Only the marquee of a visible screen ticks: the timer of a hidden screen stands still and resumes when the screen
// is shown again, so that a shared text is never rotated twice per tick.
class StatusMarquee : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 175;

    // screen: the widget whose visibility gates the ticking; label: where the text is shown; text: the shared text.
    StatusMarquee(QWidget* screen, QLabel* label, StatusText* text);

    // One tick: while the scroll counter is positive, moves the first character to the end and shows the text.
    void tick();
    // Appends sLength + 4 blanks to the pad; nothing when sLength + 3 is negative.
    void addingSpace(int sLength);

    // Replaces the text; the counter and the timer are left alone.
    void setText(const QString& text);
    // Replaces the text, which starts scrolling from its first character.
    void showMessage(const QString& text);
    // Replaces the text with n + 4 blanks followed by the text.
    void showPaddedMessage(const QString& text, int n);
    // Puts the pad in front of the current text again (with n + 4 blanks) and lets it scroll.
    void repad(int n);
    // Scroll counter 1; the timer is started when it is not running.
    void run();
    // Scroll counter 1; the timer is started anew.
    void restart();
    // Counter 0 and the timer stopped: the line stands still.
    void stop();
    // The timer alone, as the screens stop it without touching the counter.
    void stopTimer();

    const QString& text() const;
    int scrollCounter() const { return scrollCounter_; }
    void setScrollCounter(int value) { scrollCounter_ = value; }
    const QString& pad() const { return pad_; }
    void clearPad() { pad_.clear(); }
    // Whether the marquee is switched on (it ticks while its screen is visible).
    bool isTimerOn() const { return timerOn_; }
    // Whether the timer is really ticking now.
    bool isTicking() const;
    QTimer* timer() const { return timer_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startTimer();
    void followVisibility();
    // Names the label after the shared text's message.
    void nameLabel();

    QWidget* screen_;
    QLabel* label_;
    StatusText* text_;
    QTimer* timer_;
    bool timerOn_ = false;
    int scrollCounter_ = 0;
    QString pad_;
    QString firstChar_;
};
