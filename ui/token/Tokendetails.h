#pragma once

#include <QString>
#include <QWidget>

class CodeClipboard;
class QEvent;
class QTimer;
class SyncChain;
class StatusMarquee;
class Ui_Tokendetails;
struct ReplyResult;

// The token screen: the selected resource's six-digit code in a seven-segment display with the countdown to the
// next code, the resource's labels on the tag, navigation between resources, and the Sync button that checks the
// device registration, downloads the resources again and compares the server's clock with ours.
class Tokendetails : public QWidget {
    Q_OBJECT

public:
    explicit Tokendetails(QWidget* parent = nullptr);
    ~Tokendetails() override;

    // The countdown to the next code: the one-second tick (the timer named "progressTimer") starts and stops; a
    // reset goes back to 30 ticks, the full period of a code.
    void startCountdown();
    void stopCountdown();
    void resetCountdown();
    // Ticks left until the code is computed again (1..30).
    int secondsLeft() const { return countdown; }

    // Shows the code of a key, or the scrolling notice of an expired token ("-1") or registration ("-2").
    void showTokenKey(const QString& key);
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

    // Index of the selected resource in the resource list; -1 when none is selected.
    int currentIndex() const { return currentIndex_; }
    const QString& currentKey() const { return currentKey_; }
    const QString& currentUser() const { return currentUser_; }
    // The six digits on the display now; empty while the display shows no code.
    QString displayedCode() const;

    // Shortened label texts: 15 characters whole, longer ones cut to 10 and "...". A user name with an "@" is
    // always shown as its first 4 characters, "..", 8 characters from the "@" and "..".
    static QString shortLabel(const QString& text);
    static QString shortUserName(const QString& userName);

public slots:
    // Leaves the token screen for the login window.
    void showLogin();
    // The one-second tick: counts down and shows a new code every 30 ticks.
    void updateProgressBar();
    // What the form cannot set: the buttons' pictures with their @2x twins, the display's font, the bar's style.
    void assignTokenStyle();
    // One marquee tick, and blanks for the marquee's pad.
    void updateStatusMessage();
    void AddingSpace(int sLength);
    // Sends the registration status request that starts a sync.
    void statDTM();
    // Month number of an English month abbreviation; 0 when unknown.
    int name_to_month(const char* month_str);
    // Copies the code on the display to the clipboard, to be cleared 30 seconds later if it is still there.
    void copyCode();

signals:
    // The screen has given itself up (hidden, countdown stopped); the login window is to be shown with its prompt.
    void loginRequested();
    // The settings window is to be shown, for the token screen to come back to; the screen hides right after.
    void settingsRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    // Connected by object name when the form is built.
    void on_pBNext_clicked();
    void on_pBPrev_clicked();
    void on_pBSync_clicked();
    void on_pBLogout_clicked();
    void on_pBExit_clicked();
    void on_pBTProxy_clicked();

private:
    // The steps of a sync, taken by the sync chain: the reply handlers of its two requests, the sync request, the
    // check of the server's clock and the stored sign-in forgotten after code 6 or 11.
    void StatReadyToRead(const ReplyResult& reply);
    void syncReadyToRead(const ReplyResult& reply);
    void sendSyncRequest();
    void checkServerTime(const QByteArray& dateHeader);
    void forgetStoredLogin();
    // How the screen shows the sync chain's outcomes.
    void connectSyncChain();
    // The sync request failed: its error in the status line, its box, and the list again.
    void showSyncFailure(const QString& errorText);
    // The new list is stored: the first resource of it.
    void showSyncedList();
    void showListAfterSync();
    // Back from a failed sync to the selected resource's code.
    void returnToCode();
    void renderRecord(int index);
    void clearSelection();
    void updateAccessibleValues();

    // Timer ticks left until the code is computed again.
    int countdown = 30;
    // The one-second countdown tick.
    QTimer* progressTimer = nullptr;
    Ui_Tokendetails* ui = nullptr;
    int currentIndex_ = -1;
    QString currentUser_;
    QString currentKey_;
    QString displayedCode_;
    StatusMarquee* marquee_ = nullptr;
    SyncChain* chain_ = nullptr;
    CodeClipboard* clipboard_ = nullptr;
};
