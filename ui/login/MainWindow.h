#pragma once

#include "protocol/SignInChain.h"

#include <QMainWindow>

#include <memory>

class StatusMarquee;
class Ui_MainWindow;

// The login window: user name and password, and what the sign-in chain (SignInChain) reports while it signs the user
// in: the status line, the boxes, the fields and the Login button, then the hand-over to the token screen.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's status line: its timer, scroll counter and pad.
    StatusMarquee* marquee() const { return marquee_; }
    // Hides (true) or shows (false) the information tag and the login fields.
    void setTagHidden(bool hide);
    // Gives the keyboard focus to the user name field once the event loop runs.
    void focusUserName();
    // Whether a request of the sign-in chain is on its way; the Login button stays disabled meanwhile.
    bool chainInFlight() const;
    // Sends the authentication request (with the blanks of user name and password removed) to url.
    void sendAuthRequest(const QString& url);

public slots:
    // Starts a sign-in: checks the fields and sends the status request. Does nothing while a request is on its way.
    void connectDTM();
    // True when user name and password each have 6 to 100 characters, blanks included.
    bool validateUserInput();
    // The status request: is this device registered for this user?
    void statDTM();
    void StatReadyToRead(const ReplyResult& reply);
    // The device registration request.
    void regDTM();
    void regReadyToRead(const ReplyResult& reply);
    void AuthReadyToRead(const ReplyResult& reply);
    void syncReadyToRead(const ReplyResult& reply);
    // One marquee step, and the blanks in front of a new message.
    void updateStatusMessage();
    void addingSpace(int sLength);
    // Enables the user name field, the password field and the Login button, in that order. The Login button stays
    // disabled while a request of the chain is on its way.
    void login_enable();
    void on_pBExit_clicked();
    void on_pBTProxy_clicked();
    // Icons, styles, geometry and the status line's font.
    void assignStyle();

signals:
    // A sign-in has ended with the session open and the resources in place; the window has hidden itself and the
    // token screen takes over.
    void signedIn();
    // Settings was clicked: the settings window takes the place of this window and of the token screen.
    void settingsRequested();

private:
    // Shows what the chain reports.
    void connectChain();
    void showStatus(const QString& text, SignInChain::LineChange change);
    void handOverToTokenScreen();
    void setStatusText(const QString& text);
    void clearFields();

    std::unique_ptr<Ui_MainWindow> ui;
    StatusMarquee* marquee_ = nullptr;
    SignInChain* chain_ = nullptr;
};
