#pragma once

#include "protocol/HttpsTransport.h"
#include "protocol/RegTransaction.h"

#include <QMainWindow>

#include <memory>

struct LoginReaction;
struct ReplyReaction;
class StatusMarquee;
class Ui_MainWindow;

// The login window: user name and password, and the chain of requests that signs the user in. A sign-in asks the
// status servlet where this device stands for the user, registers the device when the server asks for it, opens a
// session and downloads the resources, then hands over to the token screen.
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

private:
    using ReplySlot = void (MainWindow::*)(const ReplyResult&);
    // Posts one request of the chain with the program's proxy mode and makes its reply the current one; a request
    // with a first status text then shows "Sending Request" (the sync request sets its own line).
    void sendRequest(const QString& url, const QByteArray& body, const QString& firstStatus, ReplySlot slot);
    void sendSyncRequest();
    void handOverToTokenScreen();
    void setStatusText(const QString& text);
    void clearFields();
    // What the window does after a status or registration reply with row's code.
    void react(const ReplyReaction& row, const LoginReaction& reaction);

    std::unique_ptr<Ui_MainWindow> ui;
    StatusMarquee* marquee_ = nullptr;
    // The window's one current reply: a reply that is no longer current is dropped unread.
    ReplyTracker* currentReply_ = nullptr;
    RegTransaction regTransaction;
};
