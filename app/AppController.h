#pragma once

#include "app/ActivityLog.h"
#include "app/CoreServices.h"

#include <QString>

class BaseScreen;
class MainWindow;
class ProxySettings;
class QWidget;
class StatusMarquee;
class Tokendetails;

// The one controller of the program: it knows every screen, holds the status text that the screens scroll, the
// proxy values and preferences, and the device identity, and offers the small services used everywhere.
class AppController : public CoreServices {
public:
    AppController();
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    BaseScreen* container() const { return container_; }
    MainWindow* loginWindow() const { return loginWindow_; }
    void setLoginWindow(MainWindow* window) { loginWindow_ = window; }
    Tokendetails* tokenScreen() const { return tokenScreen_; }
    void setTokenScreen(Tokendetails* screen) { tokenScreen_ = screen; }
    ProxySettings* settingsWindow() const { return settingsWindow_; }
    void setSettingsWindow(ProxySettings* window) { settingsWindow_ = window; }

    // Appends n + 4 blanks to statusIndent; nothing when n + 3 is negative.
    void addStatusIndent(int n);
    // Puts "  Please Login..!  »" into the status text, with blanks in front so that it enters from the right, and
    // lets `marquee` (when given) scroll it from its first step.
    void showLoginPrompt(StatusMarquee* marquee);

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

    // The container was activated (wasActive false) or deactivated (true): the information tags of both screens
    // hide while it is inactive.
    void onActivationChange(bool wasActive);

    // Whether a system tray hosts the program's icon; set at start-up. Without one the container is the presence:
    // it has a taskbar entry and the tray's menu on a right click.
    bool hasTray() const { return hasTray_; }
    void setHasTray(bool hasTray) { hasTray_ = hasTray; }
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
    // The scrolling status line shared by the login window and the token screen.
    QString statusText;
    // Blanks put in front of a new status text so that it enters from the right.
    QString statusIndent;
    bool alwaysOnTop = false;
    bool hideInfoTag = false;

private:
    BaseScreen* container_ = nullptr;
    MainWindow* loginWindow_ = nullptr;
    Tokendetails* tokenScreen_ = nullptr;
    ProxySettings* settingsWindow_ = nullptr;
    QString deviceIdentity_;
    // Full paths of the stored files, fixed when the program starts.
    QString loginFilePath_;
    QString resourceFilePath_;
    QString settingsFilePath_;
    bool hasTray_ = true;
    ActivityLog log_;
};

// The process-wide controller, set once at start-up.
AppController* appController();
void setAppController(AppController* controller);
