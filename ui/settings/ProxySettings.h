#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class ProxySettings;
}

// The settings window: the HTTP proxy that every request may go through and the two preferences of the container
// window ("Always Top", "Hide Information Tag"), and whether the desktop session starts the program. Saved or
// cancelled, it hides and asks for the screen that opened it (settingsCaller) to come back.
class ProxySettings : public QWidget {
    Q_OBJECT

public:
    explicit ProxySettings(QWidget* parent = nullptr);
    ~ProxySettings() override;

public slots:
    // Writes the controller's values to Proxy.dat and applies "Always Top" to the container. False when the file
    // could not be written (the user has been told; the values still hold for this run).
    bool setNetworkSettingsToRegistry();
    // Reads Proxy.dat into the controller and shows the values in the form.
    void getNetworkSettingsFromRegistry();

signals:
    // The window has hidden itself after Save or Cancel; caller ("Login" or "Token") is the screen to show again.
    void returnRequested(const QString& caller);

protected:
    // Shows in "Start Veltrane Auth when I log in" whether the session's autostart entry is there, and puts the
    // focus on the page's first field.
    void showEvent(QShowEvent* event) override;

private slots:
    void on_pBProxySave_clicked();
    void on_chkBProxyEnabled_clicked();
    void on_pBProxyCancel_clicked();

private:
    // Checks the proxy fields in the order host, port, user; shows the first failure and the proxy page.
    bool validateProxyFields();
    // Hides the window and asks for its caller; a window that no screen opened stays.
    void returnToCaller();
    // The keyboard focus on the first control of the page shown.
    void focusFirstField();

    std::unique_ptr<Ui::ProxySettings> ui;
};
