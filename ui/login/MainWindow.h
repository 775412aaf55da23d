#pragma once

#include <QMainWindow>

class QLabel;
class StatusMarquee;

// The login window: user name and password, and the chain of requests that signs the user in.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's status line: its timer, scroll counter and pad.
    StatusMarquee* marquee() const { return marquee_; }
    // Hides (true) or shows (false) the information tag and the login fields.
    void setTagHidden(bool hide);

public slots:
    // Enables the user name field, the password field and the Login button, in that order.
    void login_enable();

private:
    QLabel* lblStatus_ = nullptr;
    StatusMarquee* marquee_ = nullptr;
};
