#include "app/ScreenSet.h"

#include "core/SharedText.h"
#include "core/StartupTrace.h"
#include "core/platform/Platform.h"
#include "storage/ResourceStore.h"
#include "ui/common/StatusMarquee.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/shell/AppController.h"
#include "ui/shell/MessageBox.h"
#include "ui/token/Tokendetails.h"
#include "ui/tray/systemTray.h"

#include <QGridLayout>
#include <QTimer>

namespace {

// What the screens do when the controller resets the login status or the container's activation changes.
void connectController(AppController& controller, const ScreenSet& screens)
{
    MainWindow* login = screens.loginWindow;
    Tokendetails* token = screens.tokenScreen;
    QObject::connect(&controller, &AppController::loginStatusReset, login, [login, token] {
        login->marquee()->stopTimer();
        login->setVisible(true);
        token->hide();
        // The codes stand still while nobody sees them; a sign-in restarts the countdown.
        token->stopCountdown();
        login->focusUserName();
    });
    QObject::connect(&controller, &AppController::activationChanged, login, &MainWindow::setTagHidden);
    QObject::connect(&controller, &AppController::activationChanged, token, &Tokendetails::setTagHidden);
}

// The login window's way to the token screen after a sign-in, and to the settings window.
void connectLoginWindow(MainWindow* login, Tokendetails* token, ProxySettings* settings)
{
    // The token screen takes over with a full countdown, the status view and the first resource's code.
    QObject::connect(login, &MainWindow::signedIn, token, [token] {
        token->resetCountdown();
        token->showStatusView();
        token->show();
        token->showResource(0);
        token->startCountdown();
        token->showCurrentResource();
        // The sign-in's requests are gone by now; what they used goes back to the system.
        QTimer::singleShot(0, [] { Platform::releaseFreeMemory(); });
    });
    // The settings window takes the place of both screens; the token screen starts a full countdown when it shows
    // again.
    QObject::connect(login, &MainWindow::settingsRequested, settings, [login, token, settings] {
        settings->show();
        login->hide();
        token->resetCountdown();
        token->hide();
    });
}

// The settings window's return to the screen that opened it.
void connectSettingsWindow(ProxySettings* settings, MainWindow* login, Tokendetails* token)
{
    QObject::connect(settings, &ProxySettings::returnRequested, settings, [login, token](const QString& caller) {
        if (caller == QLatin1String("Login")) {
            login->show();
        } else {
            token->show();
        }
    });
}

// Where the token screen leads: the login window with its prompt, and the settings window called from the token
// screen.
void connectTokenScreen(AppController& controller, Tokendetails* token, MainWindow* login, ProxySettings* settings)
{
    QObject::connect(token, &Tokendetails::loginRequested, token, [&controller, login] {
        login->show();
        controller.showLoginPrompt();
    });
    QObject::connect(token, &Tokendetails::settingsRequested, token, [&controller, settings] {
        controller.settingsCaller = QStringLiteral("Token");
        settings->show();
    });
}

} // namespace

ScreenSet ScreenSet::build(AppController& controller, const std::function<void()>& pause)
{
    ScreenSet screens;
    screens.tray = new systemTray;
    StartupTrace::step("tray presence");
    screens.loginWindow = new MainWindow;
    controller.setLoginWindow(screens.loginWindow);
    StartupTrace::step("login window");
    if (pause) {
        pause();
        StartupTrace::step("first pause");
    }
    screens.tokenScreen = new Tokendetails;
    controller.setTokenScreen(screens.tokenScreen);
    StartupTrace::step("token screen");
    if (pause) {
        pause();
        StartupTrace::step("second pause");
    }
    screens.settingsWindow = new ProxySettings;
    controller.setSettingsWindow(screens.settingsWindow);
    StartupTrace::step("settings window");
    connectController(controller, screens);
    connectLoginWindow(screens.loginWindow, screens.tokenScreen, screens.settingsWindow);
    connectSettingsWindow(screens.settingsWindow, screens.loginWindow, screens.tokenScreen);
    connectTokenScreen(controller, screens.tokenScreen, screens.loginWindow, screens.settingsWindow);
    StartupTrace::step("screens connected");
    return screens;
}

void ScreenSet::place(QGridLayout* layout) const
{
    // The screens are drawn to fit the container's picture exactly.
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tray, 0, 0);
    layout->addWidget(loginWindow, 0, 0);
    layout->addWidget(tokenScreen, 1, 0);
    layout->addWidget(settingsWindow, 2, 0);
    StartupTrace::step("screens placed");
}

void ScreenSet::showFirstScreen(AppController& controller) const
{
    tray->hide();
    if (!controller.hasStoredLogin()) {
        // The login window alone: the token screen waits hidden until a sign-in hands over to it.
        tokenScreen->stopCountdown();
        tokenScreen->hide();
        settingsWindow->hide();
        return;
    }
    loginWindow->hide();
    tokenScreen->startCountdown();
    resourceList() = resourceStore()->load();
    if (resourceList().isEmpty()) {
        controller.resetLoginStatus();
        MessageBox::information(loginWindow, SharedText::get().msgDataCorrupted);
        return;
    }
    tokenScreen->showCurrentResource();
    settingsWindow->hide();
}
