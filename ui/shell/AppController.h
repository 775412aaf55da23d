#pragma once

#include "core/ActivityLog.h"
#include "core/CoreServices.h"
#include "core/StatusText.h"

#include <QObject>
#include <QString>

class BaseScreen;
class QWidget;

// The one controller of the program: it holds the status text that the screens scroll, the proxy values and
// preferences, and the device identity, and offers the small services used everywhere. It knows the screens only as
// widgets (the parent of a box, what the harnesses find buttons in); what a screen does when the controller resets
// the login status or the container is (de)activated, the composition root connects to the signals below.
class AppController : public QObject, public CoreServices {
    Q_OBJECT

public:
    AppController();
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    BaseScreen* container() const { return container_; }
    QWidget* loginWindow() const { return loginWindow_; }
    void setLoginWindow(QWidget* window) { loginWindow_ = window; }
    QWidget* tokenScreen() const { return tokenScreen_; }
    void setTokenScreen(QWidget* screen) { tokenScreen_ = screen; }
    QWidget* settingsWindow() const { return settingsWindow_; }
    void setSettingsWindow(QWidget* window) { settingsWindow_ = window; }

    // The scrolling status line shared by the login window and the token screen, and its owner.
    StatusText& status() { return status_; }
    const QString& statusText() const { return status_.text(); }
    void setStatusText(const QString& text) { status_.setText(text); }
    // Blanks put in front of a new status text so that it enters from the right.
    const QString& statusIndent() const { return status_.indent(); }
    void setStatusIndent(const QString& indent) { status_.setIndent(indent); }
    // Appends n + 4 blanks to statusIndent; nothing when n + 3 is negative.
    void addStatusIndent(int n) { status_.addIndent(n); }
    // Puts "  Please Login..!  »" into the status text, with blanks in front so that it enters from the right, as a
    // new message; loginPromptShown() then lets the login window's line scroll it from its first step.
    void showLoginPrompt();

    QString deviceIdentity() override;
    // Composes the identity from the first source that yields one; stringIndex selects the SMBIOS type-1 string
    // that follows the manufacturer (3: serial number). Ends the process when no source yields anything.
    QString collectDeviceIdentity(int stringIndex);
    QString fileKey() override;
    // Whether a usable stored login exists (both stored files present, login.dat deciphers to its marker); deletes
    // both files when login.dat does not.
    bool hasStoredLogin();
    // n random letters "A".."Z".
    QString randomLetters(int n) const;
    // The two halves of the settings file's coded fields around HuffmanCodec.
    QString toBase64Text(const QString& value) const;
    QString fromBase64Text(const QString& text) const;
    void writeLog(const QString& text) override;
    void showMessage(const QString& text, int kind) override;
    void resetLoginStatus() override;
    ProxyConfig proxyConfig() const override;
    QString windowsUserName() const;

    // Proxy.dat (data directory): reads the seven values into the members below (defaults when the file is missing
    // or unreadable) and writes them back. writeSettingsFile is false when the file could not be replaced.
    void readSettingsFile();
    bool writeSettingsFile();
    QString settingsFilePath() const { return settingsFilePath_; }

    // The container was activated (wasActive false) or deactivated (true): activationChanged() lets the screens
    // hide their information tags while it is inactive.
    void onActivationChange(bool wasActive);

    // Whether a system tray hosts the program's icon; set at start-up. Without one the container is the presence:
    // it has a taskbar entry and the tray's menu on a right click.
    bool hasTray() const;
    void setHasTray(bool hasTray);
    // What a screen's Close button does: with a tray, the "runs in the tray" box (parent the screen) and the
    // container hidden; without one, the container minimised to its taskbar entry, from where it comes back.
    void closeToTray(QWidget* parent);

    // 1: requests use the proxy below; 0: no proxy; any other value: the platform's default.
    int proxyMode = 0;
    QString proxyHost;
    int proxyPort = 0;
    QString proxyUser;
    QString proxyPassword;
    // Which screen opened the settings window: "Login" or "Token".
    QString settingsCaller;
    bool alwaysOnTop = false;
    bool hideInfoTag = false;

signals:
    // resetLoginStatus(): the login window is to come first and the token screen to go, its countdown stopped. The
    // prompt follows.
    void loginStatusReset();
    // The login prompt was put into the status text.
    void loginPromptShown();
    void activationChanged(bool wasActive);

private:
    BaseScreen* container_ = nullptr;
    QWidget* loginWindow_ = nullptr;
    QWidget* tokenScreen_ = nullptr;
    QWidget* settingsWindow_ = nullptr;
    StatusText status_;
    QString deviceIdentity_;
    // Full paths of the stored files, fixed when the program starts.
    QString loginFilePath_;
    QString resourceFilePath_;
    QString settingsFilePath_;
    ActivityLog log_;
};

// The process-wide controller, set once at start-up.
AppController* appController();
void setAppController(AppController* controller);
