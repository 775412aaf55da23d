#pragma once

#include <QWidget>

class QTimer;
class StatusMarquee;

// The token screen: the current resource's six-digit code with its countdown.
class Tokendetails : public QWidget {
    Q_OBJECT

public:
    explicit Tokendetails(QWidget* parent = nullptr);
    ~Tokendetails() override;

    // Timer ticks left until the code is computed again.
    int countdown = 30;
    // The one-second countdown tick.
    QTimer* progressTimer = nullptr;

    // Shows the code and the countdown bar in place of the status line, and the other way round.
    void showTokenView();
    void showStatusView();
    // Selects the first (0), next (+1) or previous (-1) resource and shows it.
    void showResource(int direction);
    // Shows the selected resource, or the first one when none is selected yet.
    void showCurrentResource();
    // Hides (true) or shows (false) the information tag with the resource's labels.
    void setTagHidden(bool hide);
    // The screen's status line: its timer, scroll counter and pad.
    StatusMarquee* marquee() const { return marquee_; }

public slots:
    // Leaves the token screen for the login window.
    void showLogin();

private:
    StatusMarquee* marquee_ = nullptr;
};
