#pragma once

#include <QFrame>
#include <QPixmap>
#include <QPoint>

class QTimer;

// The program's single top-level window: frameless, translucent, fixed to the size of its background picture,
// dragged with the left mouse button. Every screen is a child of it.
class BaseScreen : public QFrame {
    Q_OBJECT

public:
    explicit BaseScreen(const QPixmap& pixmap);

    QPoint dragOffset() const { return dragOffset_; }

    // The "Always Top" preference as this window applies it. Setting it re-applies the window flags and keeps the
    // window where it is (and visible when it was).
    bool alwaysOnTop() const { return alwaysOnTop_; }
    void setAlwaysOnTop(bool onTop);

    // Where no tray exists, hiding would leave nothing to bring the window back: the window is then minimised to its
    // taskbar entry instead, whoever asks (a screen's Close button included). Off until the tray is known missing.
    bool minimisesInsteadOfHiding() const { return minimisesInsteadOfHiding_; }
    void setMinimisesInsteadOfHiding(bool minimises) { minimisesInsteadOfHiding_ = minimises; }
    void setVisible(bool visible) override;

signals:
    // The window was activated (wasActive false) or deactivated (true).
    void activationChanged(bool wasActive);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's shape while no compositing manager runs; none while one does.
    void updateShape();

    QPixmap background_;
    // Cursor position relative to the window's top-left corner at the last left-button press.
    QPoint dragOffset_;
    // How the drag since the last press moves the window: by the window system, or by this window's own move().
    enum class DragMode { NotStarted, System, Own };
    DragMode dragMode_ = DragMode::NotStarted;
    // Read from Proxy.dat when the window is built; false when there is none.
    bool alwaysOnTop_ = false;
    // While new window flags are applied, Qt hides the window on its way to showing it again.
    bool applyingFlags_ = false;
    bool minimisesInsteadOfHiding_ = false;
    // Coalesces the shape's updates after screens show or hide; null where the shape never changes.
    QTimer* reshapeTimer_ = nullptr;
    // Whether the shape was last made for a display without a compositing manager.
    bool shaped_ = false;
};
