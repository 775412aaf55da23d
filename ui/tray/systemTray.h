#pragma once

#include <QSystemTrayIcon>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QTimer;

namespace Ui {
class systemTray;
}

// The program's presence: the tray icon with its menu (Show, About, Exit), the start-up balloon, and the only way
// to end the program. The widget itself stays hidden. Where no tray exists, attachToContainer() puts the same menu
// on the container window instead, until a tray appears (trayAppeared).
class systemTray : public QWidget {
    Q_OBJECT

public:
    // The start-up balloon as handed to the tray icon.
    struct Balloon {
        QString title;
        QString text;
        QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::NoIcon;
        int durationMs = 0;
    };
    // Receives the balloon instead of the tray icon (tests read it); empty: the tray icon shows it.
    using BalloonSink = std::function<void(const Balloon&)>;
    static void setBalloonSink(BalloonSink sink);

    explicit systemTray(QWidget* parent = nullptr);
    ~systemTray() override;

    // Null under X11 and Wayland while the desktop offers no tray: Qt decides its tray route once, at the first
    // icon, so the icon waits for a tray instead of being made for none.
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;
    QAction* showAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* exitAction = nullptr;

    // The presence without a tray: the container gets the tray menu on a right click and a taskbar entry.
    void attachToContainer(QWidget* container);
    // Whether a system tray hosts the icon now.
    bool hasHost() const;
    // Whether the icon went the D-Bus route (a StatusNotifierItem host), whose hosts send single activations and
    // context menu requests instead of clicks.
    bool onStatusNotifierHost() const { return statusNotifierRoute_; }

signals:
    // A tray started after the program (a panel started late, or restarted) and took the icon.
    void trayAppeared();

public slots:
    void systemtrayOpenTokenManger();
    void showAbout();
    void ExistConfirm();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);

private slots:
    void on_pBExit_clicked();

private:
    void createTrayIcon();
    void showBalloon(const Balloon& balloon);
    void leaveContainerPresence();

    std::unique_ptr<Ui::systemTray> ui;
    QWidget* presenceContainer_ = nullptr;
    QTimer* trayPoll_ = nullptr;
    bool statusNotifierRoute_ = false;
};
