#pragma once

#include <functional>

class AppController;
class MainWindow;
class ProxySettings;
class QGridLayout;
class Tokendetails;
class systemTray;

// The four screens of the container window, created once at start-up and kept until the process ends.
struct ScreenSet {
    systemTray* tray = nullptr;
    MainWindow* loginWindow = nullptr;
    Tokendetails* tokenScreen = nullptr;
    ProxySettings* settingsWindow = nullptr;

    // Creates the screens in start-up order (tray presence, login window, token screen, settings window) and
    // registers them with the controller; pause runs after the login window and after the token screen.
    static ScreenSet build(AppController& controller, const std::function<void()>& pause = {});

    // Puts the screens into the container's grid: tray presence and login window share row 0, the token screen
    // is row 1, the settings window row 2.
    void place(QGridLayout* layout) const;

    // Decides the first screen from the stored login: the token screen with the stored resources, or the login
    // window. Checking may delete stored files that no longer decipher with this computer's key.
    void showFirstScreen(AppController& controller) const;
};
