#include "app/ScreenSet.h"

#include "app/AppController.h"
#include "app/MessageBox.h"
#include "app/SharedText.h"
#include "storage/ResourceStore.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/token/Tokendetails.h"
#include "ui/tray/systemTray.h"

#include <QGridLayout>
#include <QTimer>

ScreenSet ScreenSet::create(AppController& controller, const std::function<void()>& pause)
{
    ScreenSet screens;
    screens.tray = new systemTray;
    screens.loginWindow = new MainWindow;
    controller.setLoginWindow(screens.loginWindow);
    if (pause) {
        pause();
    }
    screens.tokenScreen = new Tokendetails;
    controller.setTokenScreen(screens.tokenScreen);
    if (pause) {
        pause();
    }
    screens.settingsWindow = new ProxySettings;
    controller.setSettingsWindow(screens.settingsWindow);
    screens.connectTokenScreen(controller);
    return screens;
}

void ScreenSet::connectTokenScreen(AppController& controller) const
{
    QObject::connect(tokenScreen, &Tokendetails::loginRequested, tokenScreen, [&controller] {
        MainWindow* login = controller.loginWindow();
        if (login) {
            login->show();
        }
        controller.showLoginPrompt(login ? login->marquee() : nullptr);
    });
    QObject::connect(tokenScreen, &Tokendetails::settingsRequested, tokenScreen, [&controller] {
        controller.settingsCaller = QStringLiteral("Token");
        controller.settingsWindow()->show();
    });
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
